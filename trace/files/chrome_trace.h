#ifndef BARBERSHOP_TRACE_FILES_CHROME_TRACE_H_
#define BARBERSHOP_TRACE_FILES_CHROME_TRACE_H_
// A run in the Chrome Trace Event format (run-N.trace.json), for the Perfetto UI and
// chrome://tracing: a named thread per actor, complete events for the barber's sleep and cuts and
// for each customer's wait and cut, a counter for the queue, instants for arrivals and departures
// and for broken rules, and the narration line behind each in its args. Pure.

#include <string>

#include "trace/judging/finish.h"

std::string traceText(const FinishedRun& run);

#endif  // BARBERSHOP_TRACE_FILES_CHROME_TRACE_H_
