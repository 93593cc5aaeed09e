#ifndef BARBERSHOP_TRACE_READING_EVENT_LOG_H_
#define BARBERSHOP_TRACE_READING_EVENT_LOG_H_
// A run's event log (run-N.jsonl): one JSON object a line, a header with the roster, then one
// line per event, then how the run ended. Everything the page and the trace draw comes from
// here, so a log drawn again later gives the same files. docs/report-format.md describes it.
// Reading is linear in the log and never trusts it: any text that is not such a log is an error
// naming its line. Pure; single-threaded.

#include <string>

#include "trace/reading/run_record.h"

// The log's text: every line ends with a newline. An incomplete run is written without its end
// line, so it stays incomplete when read back.
std::string logText(const RunRecord& run);

// Reads a log back, re-reading each narration text with the program's formats and checking it
// against the kind, customer and lists the line names. A last line cut short is left out and the
// run marked incomplete, with `warning` set. False with `error` set to "NAME:LINE: what is wrong"
// for anything else that is not a log.
bool readLog(const std::string& text, const std::string& name, RunRecord* run, std::string* error,
             std::string* warning);

#endif  // BARBERSHOP_TRACE_READING_EVENT_LOG_H_
