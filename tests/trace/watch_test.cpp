// Watching the program: what its threads tell, its own time, and when a run is stuck.

#include "trace/relay/watch.h"

#include <gtest/gtest.h>

namespace {

struct SampleCase {
  const char* name;
  std::vector<ThreadState> threads;
  bool stopped, waitNamed, allBlocked;
};

class Samples : public testing::TestWithParam<SampleCase> {};

TEST_P(Samples, TellWhetherAnyoneCanMove) {
  const SampleCase& c = GetParam();
  const ThreadSample sample = classify(c.threads);
  EXPECT_EQ(sample.read, !c.threads.empty());
  EXPECT_EQ(sample.stopped, c.stopped);
  EXPECT_EQ(sample.waitNamed, c.waitNamed);
  EXPECT_EQ(sample.allBlocked, c.allBlocked);
}

const ThreadState kLock{'S', "futex_do_wait"};

INSTANTIATE_TEST_SUITE_P(
    Threads, Samples,
    testing::Values(
        SampleCase{"AllInFutexWaits", {kLock, kLock, {'Z', "0"}}, false, true, true},
        SampleCase{"OneAsleepInATimer", {kLock, {'S', "hrtimer_nanosleep"}}, false, true, false},
        SampleCase{"OneRunning", {kLock, {'R', "0"}}, false, true, false},
        // Ctrl-Z or SIGSTOP: stopped threads are no evidence, and their time does not run.
        SampleCase{
            "Stopped", {{'T', "do_signal_stop"}, {'T', "do_signal_stop"}}, true, false, false},
        // A kernel that names no wait: nothing can be told from it.
        SampleCase{"WaitsUnnamed", {{'S', "0"}, {'S', ""}}, false, false, false},
        SampleCase{"Gone", {}, false, false, false}),
    [](const testing::TestParamInfo<SampleCase>& each) { return std::string(each.param.name); });

TEST(ProgramClock, CountsCappedStepsAndNothingWhileStopped) {
  ProgramClock clock(1000000);
  clock.advance(1200000, false);  // a tick
  EXPECT_EQ(clock.nowUs(), 200000);
  clock.advance(11200000, false);  // the companion was away ten seconds: one capped step
  EXPECT_EQ(clock.nowUs(), 200000 + ProgramClock::kCapUs);
  clock.advance(11400000, true);  // the program is stopped
  EXPECT_EQ(clock.nowUs(), 200000 + ProgramClock::kCapUs);
  clock.advance(11300000, false);  // a clock that went back counts nothing
  EXPECT_EQ(clock.nowUs(), 200000 + ProgramClock::kCapUs);
}

const ThreadSample kBlocked{true, false, true, true};
const ThreadSample kSleeping{true, false, true, false};
const ThreadSample kUnnamed{true, false, false, false};

constexpr std::int64_t kSecond = 1000000;  // microseconds

// A schedule that closes at once: the margin is 2 s.
TEST(StuckWatch, NeedsTheMarginAndTwoBlockedLooksWithNothingPrinted) {
  StuckWatch watch(kSecond, 0);
  EXPECT_FALSE(watch.look(kSecond + 500000, kBlocked));
  EXPECT_FALSE(watch.look(3 * kSecond - 1, kBlocked));  // blocked, but within the margin
  EXPECT_TRUE(watch.look(3 * kSecond, kBlocked));

  StuckWatch printing(0, 0);
  EXPECT_FALSE(printing.look(2 * kSecond, kBlocked));
  printing.output();
  EXPECT_FALSE(printing.look(2 * kSecond + 200000, kBlocked));  // the evidence starts again
  EXPECT_TRUE(printing.look(2 * kSecond + 400000, kBlocked));

  StuckWatch sleeping(0, 0);
  for (std::int64_t us = 200000; us < 4 * kSecond; us += 200000) {
    EXPECT_FALSE(sleeping.look(us, kSleeping));
  }
  EXPECT_FALSE(sleeping.look(4 * kSecond, kBlocked));
}

TEST(StuckWatch, FallsBackToTheMarginWhenNoWaitIsEverNamed) {
  StuckWatch watch(0, 0);
  EXPECT_FALSE(watch.look(2 * kSecond - 1, kUnnamed));
  EXPECT_TRUE(watch.look(2 * kSecond, kUnnamed));

  StuckWatch named(0, 0);
  EXPECT_FALSE(named.look(kSecond, kSleeping));  // this machine names waits: evidence is needed
  EXPECT_FALSE(named.look(2 * kSecond, kUnnamed));
}

// A run of long delays and cuts prints nothing for seconds: its threads sleep in timers, which
// some kernels do not name, or in timed waits that read as locks. Looked at once a tick with
// nothing printed, it must not be called stuck before its schedule has had its time.
TEST(StuckWatch, GivesASilentRunItsScheduleAndMore) {
  for (const std::int64_t closingMs : {0, 4000, 9000, 60000}) {
    for (const ThreadSample& sample : {kUnnamed, kBlocked}) {
      StuckWatch watch(0, closingMs);
      std::int64_t stuckAtMs = -1;
      for (std::int64_t ms = 200; stuckAtMs < 0 && ms <= 3 * closingMs + 4000; ms += 200) {
        if (watch.look(ms * 1000, sample)) stuckAtMs = ms;
      }
      SCOPED_TRACE(closingMs);
      EXPECT_GE(stuckAtMs, closingMs + 2000);      // late by 2 s is not stuck yet
      EXPECT_LE(stuckAtMs, 2 * closingMs + 2200);  // but it is called stuck in the end
    }
  }
}

}  // namespace
