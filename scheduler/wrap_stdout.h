#ifndef BARBERSHOP_SCHEDULER_WRAP_STDOUT_H_
#define BARBERSHOP_SCHEDULER_WRAP_STDOUT_H_
// What the stdout wrappers offer the rest of the library. Called by the thread holding the baton.

namespace sched {

// At a normal exit stdio writes what it still holds for standard output; this makes that a
// `print` step of its own, before the `exit` record.
void flushStdoutAtExit();

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_WRAP_STDOUT_H_
