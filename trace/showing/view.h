#ifndef BARBERSHOP_TRACE_SHOWING_VIEW_H_
#define BARBERSHOP_TRACE_SHOWING_VIEW_H_
// The summary barbershop-trace prints after every run, set apart in a frame so it is never
// mistaken for the program's output: a row per customer, the totals, a timeline as wide as the
// terminal and the verdict. Also the aggregate over --runs. Text only; pure.

#include <cstddef>
#include <string>
#include <vector>

#include "trace/judging/analysis.h"
#include "trace/judging/check.h"
#include "trace/reading/run_record.h"

struct ViewStyle {
  std::size_t width = 80;  // the terminal's columns
  bool colour = false;     // ANSI colours: only on a terminal, never with NO_COLOR
  bool unicode = true;     // box-drawing and block characters; ASCII otherwise
};

// The framed summary of one run, ending with a newline.
std::string renderSummary(const RunRecord& run, const Analysis& analysis, const Verdict& verdict,
                          const ViewStyle& style);

// The timeline alone (lanes for the barber, each customer and the queue, and a time axis),
// `style.width` columns wide at most. Part of the summary.
std::vector<std::string> renderTimeline(const Analysis& analysis, const ViewStyle& style);

// What --runs N adds after its runs.
struct RunDigest {
  Verdict verdict;
  Analysis analysis;
};
std::string renderAggregate(const std::vector<RunDigest>& runs, const ViewStyle& style);

#endif  // BARBERSHOP_TRACE_SHOWING_VIEW_H_
