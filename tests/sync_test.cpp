// The timed helpers' deadline arithmetic and the console lock's hold on every simulation print.

#include "core/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "core/shop.h"
#include "sim/state_display.h"

namespace {

struct DeadlineCase {
  timespec now;
  std::uint32_t timeoutMs;
  timespec deadline;
};

class Deadline : public testing::TestWithParam<DeadlineCase> {};

TEST_P(Deadline, CarriesWholeSecondsOutOfNanoseconds) {
  timespec got = deadlineAfter(GetParam().now, GetParam().timeoutMs);
  EXPECT_EQ(got.tv_sec, GetParam().deadline.tv_sec);
  EXPECT_EQ(got.tv_nsec, GetParam().deadline.tv_nsec);
}

INSTANTIATE_TEST_SUITE_P(Timeouts, Deadline,
                         testing::Values(DeadlineCase{{100, 800000000}, 1500, {102, 300000000}},
                                         DeadlineCase{{100, 800000000}, 0, {100, 800000000}},
                                         DeadlineCase{{100, 0}, 999, {100, 999000000}},
                                         DeadlineCase{{100, 999999999}, 1, {101, 999999}},
                                         DeadlineCase{
                                             {0, 500000000}, 4294967294u, {4294967, 794000000}}));

class ConsoleLock : public testing::TestWithParam<std::function<void()>> {};

// A print of the simulation waits while another thread holds the console lock, and goes on
// once it is released.
TEST_P(ConsoleLock, PrintWaitsForTheHolder) {
  ASSERT_EQ(sem_wait(&gHCout), 0);
  std::atomic<bool> printed{false};
  std::thread printer([&] {
    GetParam()();
    printed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(printed);
  sem_post(&gHCout);
  printer.join();
  EXPECT_TRUE(printed);
}

INSTANTIATE_TEST_SUITE_P(Printers, ConsoleLock,
                         testing::Values([] { concurrentPrintf("\n<<narration>>\n"); },
                                         [] { concurrentDisplayState(); }));

}  // namespace
