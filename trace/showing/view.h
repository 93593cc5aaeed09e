#ifndef BARBERSHOP_TRACE_SHOWING_VIEW_H_
#define BARBERSHOP_TRACE_SHOWING_VIEW_H_
// What barbershop-trace prints of its own, set apart in a frame so it is never mistaken for the
// program's output: the summary after every run (a row per customer, the totals, a timeline as
// wide as the terminal and the verdict; compact when the terminal is too short for it), a broken
// variant's change once before the first summary, the line per run of --runs and the aggregate
// after them. Text only; pure.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trace/judging/finish.h"

enum class SummaryForm { kAuto, kFull, kCompact };

struct ViewStyle {
  std::size_t width = 80;  // the terminal's columns
  std::size_t height = 0;  // its rows; 0 when not a terminal (the summary is then full)
  bool colour = false;     // ANSI colours: only on a terminal, never with NO_COLOR
  bool unicode = true;     // box-drawing and block characters; ASCII otherwise
  SummaryForm form = SummaryForm::kAuto;
};

// The framed summary of one run, ending with a newline.
std::string renderSummary(const FinishedRun& run, const ViewStyle& style);

// The line --runs prints for a run that kept every rule, wrapped to the width.
std::string renderDigest(const FinishedRun& run, int runs, const ViewStyle& style);

// A broken variant's change to the shop, framed: what goes wrong (`fault`), then each file the
// patch changes, by name, with the lines it adds and takes away, wrapped to the width. Shown once
// per session, so the summaries leave it out.
std::string renderChange(const std::string& variant, const std::string& fault,
                         const std::string& patch, const ViewStyle& style);

// The percentile every view shows, by nearest rank: the value at rank ceil(percent/100 * n) of
// the values sorted, the least that at least `percent` % of them are at or below. So each figure
// shown is one a run measured, and "half took at most" is true of it. 0 for no values.
double nearestRank(std::vector<double> values, int percent);

// What --runs N adds after its runs, gathered run by run: counts, one number per measured moment
// (8 bytes each; at most 21 a run), and the verdict of the last run that failed, never the runs
// themselves.
class Aggregate {
 public:
  using Counts = std::array<std::size_t, 6>;  // runs, one count per Outcome
  void add(const FinishedRun& run);
  std::size_t runs() const { return runs_; }
  // Compact when the terminal is too short for the whole, so that its last screen holds the
  // aggregate and the last failing run's verdict.
  std::string render(const ViewStyle& style) const;

 private:
  struct Failure {
    int number = 0;
    RunEnd end = RunEnd::kClosed;
    Verdict verdict;
  };
  // `rows`: the most the whole may take, the last failing verdict cut to fit; 0 for no limit.
  std::string renderAs(const ViewStyle& style, bool compact, std::size_t rows) const;

  std::vector<std::string> names_;  // customers in the order they first appear
  std::map<std::string, Counts> outcomes_;
  std::map<std::pair<std::string, std::string>, std::size_t> races_;  // winner, loser
  std::map<std::string, std::size_t> broken_;                         // rule: runs
  std::vector<int> stuck_, unfinished_;                               // run numbers
  std::size_t runs_ = 0, held_ = 0, raced_ = 0;
  std::vector<double> deviations_;  // ms each planned moment was missed by, either way
  std::vector<double> lengths_;     // ms each finished run took
  std::optional<Failure> lastFailure_;
};

#endif  // BARBERSHOP_TRACE_SHOWING_VIEW_H_
