#ifndef BARBERSHOP_TRACE_CLI_STEP_H_
#define BARBERSHOP_TRACE_CLI_STEP_H_
// --step: the person at the terminal is the scheduler. One controlled run of the roster; at each
// of its choices the narration so far is shown, then every thread's next step in the shop's
// words, and a line is read: a thread's number, Enter for the plain order's pick, `b` to take
// back the last decision (the run is started again, replaying the picks before it off the
// screen), `q` to stop. The shop's set-up before the first customer's thread goes in the plain
// order. Single-threaded, inside the session's loop.

#include "trace/cli/options.h"
#include "trace/live/feed.h"

// Returns the exit status: as for a run (0 every rule held, 1 broken or stuck), kExitStopped
// for `q`, 128 + the signal for one that ended it at the question. With `page` (--live), the
// page answers too, and once the run is over either may take its last decision back or try
// again, until one of them ends it.
int runStep(const TraceOptions& options, LiveFeed* page);

#endif  // BARBERSHOP_TRACE_CLI_STEP_H_
