#ifndef BARBERSHOP_TRACE_FILES_REPORT_H_
#define BARBERSHOP_TRACE_FILES_REPORT_H_
// A run's report files: the event log (run-N.jsonl), the Chrome trace (run-N.trace.json) and the
// page (run-N.html), written into one directory. The trace and the page are drawn from the log
// alone, so `render` of a saved log gives the same files as the run that wrote it.
// Single-threaded.

#include <string>
#include <vector>

#include "trace/reading/event_log.h"

// Creates `dir` (and its parents) when missing and makes sure a file can be written in it.
// False with `error` set to "DIR: why" when not.
bool prepareReportDir(const std::string& dir, std::string* error);

// Writes the three files of `run`, each whole or not at all; `written` gets their paths.
// False with `error` set to "PATH: why" at the first that cannot be written.
bool writeReport(const std::string& dir, const LoggedRun& run, std::vector<std::string>* written,
                 std::string* error);

#endif  // BARBERSHOP_TRACE_FILES_REPORT_H_
