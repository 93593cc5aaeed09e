#ifndef BARBERSHOP_TRACE_REPORT_H_
#define BARBERSHOP_TRACE_REPORT_H_
// A run's report files: the event log (run-N.jsonl), the Chrome trace (run-N.trace.json) and the
// page (run-N.html), written into one directory. The trace and the page are drawn from the log
// alone, so `render` of a saved log gives the same files as the run that wrote it.
// Single-threaded.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "trace/analysis.h"
#include "trace/check.h"
#include "trace/report_log.h"

// What the trace and the page draw: the logged run, measured and checked again.
struct ReportRun {
  LoggedRun logged;
  Analysis analysis;
  Verdict verdict;
};

ReportRun measured(LoggedRun logged);

// The event behind a mark: the first line of `id` printed at `ms` whose kind is one of `kinds`,
// or any of its own lines when `kinds` is empty.
std::optional<std::size_t> lineAt(const RunRecord& record, const std::string& id, double ms,
                                  std::initializer_list<Kind> kinds = {});
// The verdict in a sentence: "every rule holds", "2 rules broken", "the run did not finish".
std::string verdictHeadline(const ReportRun& run);
// Milliseconds with one decimal, and microseconds as milliseconds.
std::string msText(double ms);
std::int64_t usOf(double ms);

// Creates `dir` (and its parents) when missing and makes sure a file can be written in it.
// False with `error` set to "DIR: why" when not.
bool prepareReportDir(const std::string& dir, std::string* error);

// Writes the three files of `run`, each whole or not at all; `written` gets their paths.
// False with `error` set to "PATH: why" at the first that cannot be written.
bool writeReport(const std::string& dir, const LoggedRun& run, std::vector<std::string>* written,
                 std::string* error);

#endif  // BARBERSHOP_TRACE_REPORT_H_
