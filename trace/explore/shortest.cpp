// Dropping switches while the run still fails.

#include "trace/explore/shortest.h"

#include <algorithm>

std::vector<Override> switchesOf(const RunOutcome& outcome) {
  std::vector<Override> switches;
  for (const Choice& choice : outcome.choices) {
    if (choice.pick != choice.plainPick) switches.push_back(Override{choice.k, choice.pick});
  }
  return switches;
}

namespace {

// Tries the overrides without the `piece` of them from `at`. A dropped switch changes how many
// choices come after it (a thread that no longer cut in makes none), so the later overrides are
// also tried a few choices earlier or later.
template <typename FailsAlike>
bool dropPiece(const std::vector<Override>& overrides, std::size_t at, std::size_t piece,
               const FailsAlike& failsAlike, RunOutcome* tried) {
  constexpr int kShifts[] = {0, -1, -2, 1, -3};
  const std::size_t end = std::min(overrides.size(), at + piece);
  for (int shift : kShifts) {
    std::vector<Override> fewer(overrides.begin(),
                                overrides.begin() + static_cast<std::ptrdiff_t>(at));
    const int after = at == 0 ? 0 : overrides[at - 1].k;
    for (std::size_t i = end; i < overrides.size(); ++i) {
      fewer.push_back(Override{overrides[i].k + shift, overrides[i].tid});
    }
    if (shift != 0 && (end == overrides.size() || fewer[at].k <= after)) continue;
    if (failsAlike(overridePlan(fewer), tried)) return true;
  }
  return false;
}

}  // namespace

Shortest shortestFailing(const Runner& runner, const std::string& plan, const std::string& failure,
                         int maxTrials) {
  Shortest shortest;
  auto failsAlike = [&](const std::string& tried, RunOutcome* out) {
    ++shortest.trials;
    *out = runner(tried);
    return out->ran && out->failure == failure;
  };
  RunOutcome first;
  if (!failsAlike(plan, &first)) return shortest;
  shortest.reproduced = true;
  shortest.outcome = first;
  shortest.overrides = switchesOf(first);
  // Pieces of half the overrides first, then ever smaller: a long walk sheds most of its
  // switches in a few runs, and the last pass tries each one alone.
  std::size_t piece = std::max<std::size_t>(1, shortest.overrides.size() / 2);
  while (!shortest.overrides.empty() && shortest.trials < maxTrials) {
    bool dropped = false;
    for (std::size_t at = 0; at < shortest.overrides.size() && shortest.trials < maxTrials;) {
      RunOutcome tried;
      if (dropPiece(shortest.overrides, at, piece, failsAlike, &tried)) {
        // The run's own switches, not the plan's: an override that no longer mattered is gone.
        shortest.overrides = switchesOf(tried);
        shortest.outcome = tried;
        dropped = true;
      } else {
        at += piece;
      }
    }
    if (piece == 1 && !dropped) break;
    piece = std::max<std::size_t>(1, piece / 2);
  }
  shortest.plan = overridePlan(shortest.overrides);
  return shortest;
}
