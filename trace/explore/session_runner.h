#ifndef BARBERSHOP_TRACE_EXPLORE_SESSION_RUNNER_H_
#define BARBERSHOP_TRACE_EXPLORE_SESSION_RUNNER_H_
// The real runner: each plan one session of one controlled run of the program, quiet, its judged
// run kept for the story and the files. Single-threaded, as a session is.

#include "trace/explore/runner.h"
#include "trace/relay/session.h"

// `base` names the program and the roster; the runner sets the rest.
Runner sessionRunner(const SessionOptions& base);

#endif  // BARBERSHOP_TRACE_EXPLORE_SESSION_RUNNER_H_
