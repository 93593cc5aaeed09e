#ifndef BARBERSHOP_TRACE_JUDGING_FINISH_H_
#define BARBERSHOP_TRACE_JUDGING_FINISH_H_
// A logged run as the trace and the page draw it: measured and checked again from the log alone,
// and the small pieces both drawings share. Pure; single-threaded.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "trace/judging/analysis.h"
#include "trace/judging/check.h"
#include "trace/reading/event_log.h"

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

#endif  // BARBERSHOP_TRACE_JUDGING_FINISH_H_
