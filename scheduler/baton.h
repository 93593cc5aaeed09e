#ifndef BARBERSHOP_SCHEDULER_BATON_H_
#define BARBERSHOP_SCHEDULER_BATON_H_
// The baton: exactly one controlled thread runs at a time, the one whose Thread::baton is 1.
// A thread parks on its own futex word (never inside libc) until another hands the baton over.

#include "scheduler/state.h"

namespace sched {

// Waits until THREAD holds the baton.
void waitForBaton(Thread* thread);

// Gives the baton to NEXT and returns at once (for a thread that ends).
void giveBaton(Thread* next);

// Gives the baton from ME to NEXT and waits until it comes back.
void handOver(Thread* me, Thread* next);

// Parks the caller for good (after stuck or diverged: the companion ends the process).
[[noreturn]] void parkForever();

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_BATON_H_
