#ifndef BARBERSHOP_TRACE_CLI_TOOL_H_
#define BARBERSHOP_TRACE_CLI_TOOL_H_
// What barbershop-trace does once its command line is read: list the scenarios, print a
// schedule, or run a session and hand each run to the summary and the files.

#include "trace/cli/options.h"

// Returns the exit status.
int runTool(const TraceOptions& options);

#endif  // BARBERSHOP_TRACE_CLI_TOOL_H_
