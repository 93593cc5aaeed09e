#ifndef BARBERSHOP_TRACE_SHOWING_VIEW_H_
#define BARBERSHOP_TRACE_SHOWING_VIEW_H_
// What barbershop-trace prints of its own, set apart in a frame so it is never mistaken for the
// program's output: the summary after every run (a row per customer, the totals, a timeline as
// wide as the terminal and the verdict; compact when the terminal is too short for it), the
// line per run of --runs and the aggregate after them. Text only; pure.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
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

// Counts of values in microseconds, in buckets 1/64 of a power of two wide (exact below
// 1024 µs), so that a hundred thousand runs take no more room than one.
class Histogram {
 public:
  void add(double ms);
  std::size_t count() const { return count_; }
  // The value at quantile `q` by nearest rank, to within its bucket, in ms.
  double at(double q) const;
  double most() const { return mostMs_; }

 private:
  std::map<std::int64_t, std::size_t> buckets_;
  std::size_t count_ = 0;
  double mostMs_ = 0;
};

// What --runs N adds after its runs, gathered run by run: counts, never the runs themselves.
class Aggregate {
 public:
  void add(const FinishedRun& run);
  std::size_t runs() const { return runs_; }
  std::string render(const ViewStyle& style) const;

 private:
  static constexpr std::size_t kOutcomes = 6;
  std::vector<std::string> names_;  // customers in the order they first appear
  std::map<std::string, std::array<std::size_t, kOutcomes>> outcomes_;
  std::map<std::pair<std::string, std::string>, std::size_t> races_;  // winner, loser
  std::map<std::string, std::size_t> broken_;                         // rule: runs
  std::vector<int> stuck_, unfinished_;                               // run numbers
  std::size_t runs_ = 0, held_ = 0, raced_ = 0;
  Histogram deviations_, lengths_;
};

#endif  // BARBERSHOP_TRACE_SHOWING_VIEW_H_
