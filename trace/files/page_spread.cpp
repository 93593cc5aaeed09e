// The drawing times of a run's lanes: each controlled step a little after the one before, lines
// at the steps that printed them, and virtual instants between steps placed in proportion.

#include "trace/files/page_spread.h"

#include <algorithm>
#include <cmath>

#include "trace/judging/numbered_story.h"

namespace {

using Knot = std::pair<Micros, Micros>;  // (drawn, virtual)

// A knot on a stretch of slope one between its neighbours adds nothing to the scale.
std::vector<Knot> pruned(const std::vector<Knot>& knots) {
  std::vector<Knot> kept;
  for (std::size_t k = 0; k < knots.size(); ++k) {
    const auto offset = [&knots](std::size_t i) { return knots[i].first - knots[i].second; };
    if (k > 0 && k + 1 < knots.size() && offset(k - 1) == offset(k) && offset(k + 1) == offset(k))
      continue;
    kept.push_back(knots[k]);
  }
  return kept;
}

}  // namespace

Spread::Spread(const FinishedRun& run) : end_(std::max(run.story.end, Micros{1})) {
  const RunRecord& record = run.record;
  const std::vector<SyncStep>& steps = record.control.steps;
  if (!record.control.controlled || steps.empty()) {
    for (const Event& event : record.events) lines_.push_back(Micros{event.us});
    return;
  }
  std::vector<Knot> knots;
  for (const SyncStep& step : steps) {
    Micros drawn = step.at, virtualAt = step.at;
    if (!knots.empty()) {
      virtualAt = std::max(step.at, knots.back().second);
      drawn = std::max(virtualAt, knots.back().first + kSpreadGap);
    }
    knots.push_back({drawn, virtualAt});
    if (step.n >= 1) {
      const auto n = static_cast<std::size_t>(step.n);
      if (steps_.size() < n) steps_.resize(n, drawn);
      steps_[n - 1] = drawn;
    }
  }
  // The run's end: after the last step of its instant, or at its own later time.
  if (run.story.end > knots.back().second) {
    knots.push_back({std::max(run.story.end, knots.back().first + kSpreadGap), run.story.end});
  }
  knots_ = pruned(knots);
  Micros last{0};
  for (const Knot& knot : knots) {
    if (knot.second <= run.story.end) last = std::max(last, knot.first);
  }
  const Printed printed = whoPrinted(record);
  for (std::size_t e = 0; e < record.events.size(); ++e) {
    const int n = printed.step[e];
    Micros drawn = n >= 1 ? step(n) : at(Micros{record.events[e].us});
    if (!lines_.empty()) drawn = std::max(drawn, lines_.back());
    lines_.push_back(drawn);
    last = std::max(last, drawn);
  }
  end_ = std::max(last, Micros{1});
}

Micros Spread::line(std::size_t event) const {
  return event < lines_.size() ? lines_[event] : end_;
}

Micros Spread::step(int n) const {
  if (n < 1 || static_cast<std::size_t>(n) > steps_.size()) return end_;
  return steps_[static_cast<std::size_t>(n) - 1];
}

Micros Spread::at(Micros t) const {
  if (knots_.empty()) return t;
  const auto after = std::lower_bound(knots_.begin(), knots_.end(), t,
                                      [](const Knot& knot, Micros v) { return knot.second < v; });
  if (after == knots_.end()) return t + (knots_.back().first - knots_.back().second);
  if (after->second == t || after == knots_.begin()) return after->second == t ? after->first : t;
  const Knot& before = *(after - 1);
  const double share = static_cast<double>((t - before.second).count) /
                       static_cast<double>((after->second - before.second).count);
  return before.first +
         Micros{std::llround(share * static_cast<double>((after->first - before.first).count))};
}

Micros Spread::virtualAt(Micros drawn) const {
  if (knots_.empty()) return drawn;
  const auto after = std::lower_bound(knots_.begin(), knots_.end(), drawn,
                                      [](const Knot& knot, Micros d) { return knot.first < d; });
  if (after == knots_.end()) return drawn - (knots_.back().first - knots_.back().second);
  if (after->first == drawn || after == knots_.begin())
    return after->first == drawn ? after->second : drawn;
  const Knot& before = *(after - 1);
  const double share = static_cast<double>((drawn - before.first).count) /
                       static_cast<double>((after->first - before.first).count);
  return before.second +
         Micros{std::llround(share * static_cast<double>((after->second - before.second).count))};
}
