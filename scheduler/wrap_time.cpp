// The sleeps and the clocks on the virtual clock: a sleep is a step that can go when the clock
// has reached its end, and never really sleeps; the program reads the real clock's value at the
// library's start plus the virtual time (reading it is not a step). A sleep shorter than the
// clock's tick, a millisecond, takes no virtual time: it is a yield, as the program's microsecond
// after a release is meant to be ("so that a waiting thread gets its turn"), and the program's
// own delays and cuts, in whole milliseconds, then start and end on the tick, where they meet.

#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "scheduler/schedule.h"

using sched::Op;

namespace {

constexpr std::int64_t kSecond = 1000000000;
constexpr std::int64_t kTick = 1000000;

std::int64_t now() { return sched::gNow.load(std::memory_order_relaxed); }

// Sleeps until the virtual deadline AT; less than a tick away, only yields.
void sleepUntil(std::int64_t at) {
  if (at - now() < kTick) at = now();
  sched::await(Op::kSleep, nullptr, at);
  (void)sched::recordStep(Op::kSleep, nullptr, at, 0, 0);
}

std::int64_t length(const struct timespec& span) {
  return static_cast<std::int64_t>(span.tv_sec) * kSecond + span.tv_nsec;
}

bool virtualClock(clockid_t clock) {
  return clock == CLOCK_REALTIME || clock == CLOCK_MONOTONIC || clock == CLOCK_REALTIME_COARSE ||
         clock == CLOCK_MONOTONIC_COARSE || clock == CLOCK_MONOTONIC_RAW || clock == CLOCK_BOOTTIME;
}

std::int64_t virtualNow(clockid_t clock) {
  bool wall = clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE;
  return (wall ? sched::gRealtimeBase : sched::gMonotonicBase) + now();
}

}  // namespace

extern "C" {

int usleep(useconds_t micros) {
  if (!sched::controlled()) return sched::real().usleep(micros);
  sleepUntil(now() + static_cast<std::int64_t>(micros) * 1000);
  return 0;
}

unsigned sleep(unsigned seconds) {
  if (!sched::controlled()) return sched::real().sleep(seconds);
  sleepUntil(now() + static_cast<std::int64_t>(seconds) * kSecond);
  return 0;
}

int nanosleep(const struct timespec* span, struct timespec* left) {
  if (!sched::controlled()) return sched::real().nanosleep(span, left);
  sleepUntil(now() + length(*span));
  if (left != nullptr) *left = timespec{0, 0};
  return 0;
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* at, struct timespec* left) {
  if (!sched::controlled() || !virtualClock(clock))
    return sched::real().clock_nanosleep(clock, flags, at, left);
  bool absolute = (flags & TIMER_ABSTIME) != 0;
  sleepUntil(absolute ? sched::virtualDeadline(clock, *at) : now() + length(*at));
  if (left != nullptr && !absolute) *left = timespec{0, 0};
  return 0;
}

int clock_gettime(clockid_t clock, struct timespec* value) {
  if (!sched::gActive || !virtualClock(clock)) return sched::real().clock_gettime(clock, value);
  std::int64_t ns = virtualNow(clock);
  value->tv_sec = static_cast<time_t>(ns / kSecond);
  value->tv_nsec = static_cast<long>(ns % kSecond);
  return 0;
}

int gettimeofday(struct timeval* value, void* zone) {
  if (!sched::gActive) return sched::real().gettimeofday(value, zone);
  std::int64_t ns = virtualNow(CLOCK_REALTIME);
  value->tv_sec = static_cast<time_t>(ns / kSecond);
  value->tv_usec = static_cast<suseconds_t>(ns % kSecond / 1000);
  return 0;
}

time_t time(time_t* value) {
  if (!sched::gActive) return sched::real().time(value);
  auto seconds = static_cast<time_t>(virtualNow(CLOCK_REALTIME) / kSecond);
  if (value != nullptr) *value = seconds;
  return seconds;
}

}  // extern "C"
