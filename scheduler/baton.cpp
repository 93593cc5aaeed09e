// The baton's hand-over through raw futex calls: a futex wait, retried on interruptions; the
// giver makes the wake call only for a thread that sleeps. No spinning: on two busy cores a
// spinning thread only takes time from the one that runs (a switch measured 2-3 us without a
// spin, 7-9 us with 200 pauses; bench/scheduler_switch.c).

#include "scheduler/baton.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace sched {

namespace {

// The baton word: kHeld when the thread may run, kWaiting once it has given the baton away,
// kSleeping once it waits in the kernel, so a hand-over wakes it only then.
constexpr int kWaiting = 0;
constexpr int kHeld = 1;
constexpr int kSleeping = 2;

int* word(Thread* thread) { return reinterpret_cast<int*>(&thread->baton); }

}  // namespace

void waitForBaton(Thread* thread) {
  int saved = errno;
  int expected = kWaiting;
  if (thread->baton.compare_exchange_strong(expected, kSleeping, std::memory_order_acquire)) {
    expected = kSleeping;
  }
  while (expected != kHeld) {
    (void)syscall(SYS_futex, word(thread), FUTEX_WAIT_PRIVATE, kSleeping, nullptr, nullptr, 0);
    expected = thread->baton.load(std::memory_order_acquire);
  }
  errno = saved;
}

void giveBaton(Thread* next) {
  if (next->baton.exchange(kHeld, std::memory_order_release) != kSleeping) return;
  int saved = errno;
  (void)syscall(SYS_futex, word(next), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
  errno = saved;
}

void handOver(Thread* me, Thread* next) {
  me->baton.store(kWaiting, std::memory_order_relaxed);
  giveBaton(next);
  waitForBaton(me);
}

void parkForever() {
  int never = 0;
  for (;;) (void)syscall(SYS_futex, &never, FUTEX_WAIT_PRIVATE, 0, nullptr, nullptr, 0);
}

}  // namespace sched
