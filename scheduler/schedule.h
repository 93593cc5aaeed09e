#ifndef BARBERSHOP_SCHEDULER_SCHEDULE_H_
#define BARBERSHOP_SCHEDULER_SCHEDULE_H_
// The rule (scheduler/protocol.h): before each visible operation its thread stops, the library
// picks one of the threads that can go and lets it carry out its pending operation. The caller
// of each function here holds the baton.

#include <time.h>

#include <cstdint>

#include "scheduler/state.h"

namespace sched {

// Stops the calling thread before OP (on OBJECT, with ARG) and returns once it may carry it out.
void await(Op op, Object* object, std::int64_t arg);

// Records the calling thread's step, carried out now; returns its number.
std::int64_t recordStep(Op op, Object* object, std::int64_t arg, int result, std::int64_t cause);

// The calling thread's `exit` step: it ends and the baton passes on for good.
void leave();

// The step that let the caller's lock or wait on OBJECT go on, when it had to wait; else 0.
std::int64_t causeFor(const Object* object);

// A deadline on CLOCK (an absolute time of the program's) in virtual nanoseconds.
std::int64_t virtualDeadline(clockid_t clock, const struct timespec& at);

// Writes `stuck` and parks the caller for good.
[[noreturn]] void stuck();

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_SCHEDULE_H_
