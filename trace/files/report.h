#ifndef BARBERSHOP_TRACE_FILES_REPORT_H_
#define BARBERSHOP_TRACE_FILES_REPORT_H_
// A run's report files: the event log (run-N.jsonl), the Chrome trace (run-N.trace.json) and the
// page (run-N.html), written into one directory. A run read back from its log is judged the
// same way (trace/judging/finish.h), so `render` of a saved log gives the same files.
// Single-threaded.

#include <string>
#include <vector>

#include "trace/judging/finish.h"

// Writes the three files of `run`, each as trace/files/write_whole.h writes files (whole or not at
// all); `written` gets their paths.
// False with `error` set to "PATH: why" at the first that cannot be written.
bool writeReport(const std::string& dir, const FinishedRun& run, std::vector<std::string>* written,
                 std::string* error);

#endif  // BARBERSHOP_TRACE_FILES_REPORT_H_
