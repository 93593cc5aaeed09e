#ifndef BARBERSHOP_TRACE_FILES_PAGE_SPREAD_H_
#define BARBERSHOP_TRACE_FILES_PAGE_SPREAD_H_
// Where the page's lanes draw each moment of a run. A real-time run is drawn at its times. A
// controlled run computes in no time, so dozens of its steps share one virtual instant: each step
// (and each line, at the step that printed it) is drawn at least kSpreadGap after the one before,
// the gaps then catching up with the clock. Only x positions use these drawing times; every time
// the page reads out stays virtual. Pure; built once per page.

#include <cstddef>
#include <utility>
#include <vector>

#include "trace/common/micros.h"
#include "trace/judging/finish.h"

// The least room a step takes on the drawing, in drawing microseconds.
constexpr Micros kSpreadGap{1};

class Spread {
 public:
  explicit Spread(const FinishedRun& run);

  bool spread() const { return !knots_.empty(); }
  Micros line(std::size_t event) const;  // where the run's line `event` is drawn
  Micros step(int n) const;              // where the controlled run's step `n` is drawn
  Micros at(Micros t) const;             // the first place virtual instant `t` is drawn
  Micros end() const { return end_; }    // where the run's end is drawn
  Micros virtualAt(Micros drawn) const;  // the virtual instant drawn at `drawn`, for the ruler
  // (drawn, virtual) at each step and at the end, for the player to read the ruler; empty for a
  // real-time run.
  const std::vector<std::pair<Micros, Micros>>& knots() const { return knots_; }
  const std::vector<Micros>& lines() const { return lines_; }

 private:
  std::vector<std::pair<Micros, Micros>> knots_;
  std::vector<Micros> steps_;  // by step number - 1
  std::vector<Micros> lines_;  // by event
  Micros end_;
};

#endif  // BARBERSHOP_TRACE_FILES_PAGE_SPREAD_H_
