// The baton's hand-over through raw futex calls: a short spin first (the next thread is often
// handing it back within microseconds), then a futex wait, retried on interruptions.

#include "scheduler/baton.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace sched {

namespace {

constexpr int kSpins = 200;

int* word(Thread* thread) { return reinterpret_cast<int*>(&thread->baton); }

void futexWait(int* address, int expected) {
  (void)syscall(SYS_futex, address, FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

}  // namespace

void waitForBaton(Thread* thread) {
  int saved = errno;
  for (int i = 0; i < kSpins; ++i) {
    if (thread->baton.load(std::memory_order_acquire) == 1) {
      errno = saved;
      return;
    }
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  while (thread->baton.load(std::memory_order_acquire) == 0) futexWait(word(thread), 0);
  errno = saved;
}

void giveBaton(Thread* next) {
  int saved = errno;
  next->baton.store(1, std::memory_order_release);
  (void)syscall(SYS_futex, word(next), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
  errno = saved;
}

void handOver(Thread* me, Thread* next) {
  me->baton.store(0, std::memory_order_relaxed);
  giveBaton(next);
  waitForBaton(me);
}

void parkForever() {
  int never = 0;
  for (;;) futexWait(&never, 0);
}

}  // namespace sched
