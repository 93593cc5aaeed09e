// Plans as text, and the seed of each walk.

#include "trace/explore/plan.h"

namespace {

struct StrategyInfo {
  Strategy strategy;
  const char* name;
  const char* words;
  int depth;  // for PCT, else 0
};

constexpr StrategyInfo kStrategies[] = {
    {Strategy::kPlain, "plain", "plain", 0},
    {Strategy::kBounded, "bounded", "within two switches", 0},
    {Strategy::kRandom, "random", "random walk", 0},
    {Strategy::kPct1, "pct1", "PCT depth 1", 1},
    {Strategy::kPct2, "pct2", "PCT depth 2", 2},
    {Strategy::kPct3, "pct3", "PCT depth 3", 3},
};

const StrategyInfo& infoOf(Strategy strategy) {
  for (const StrategyInfo& info : kStrategies) {
    if (info.strategy == strategy) return info;
  }
  return kStrategies[0];
}

}  // namespace

const char* strategyWords(Strategy strategy) { return infoOf(strategy).words; }
const char* strategyName(Strategy strategy) { return infoOf(strategy).name; }

std::string plainPlan() { return "then=first"; }

std::string overridePlan(const std::vector<Override>& overrides) {
  if (overrides.empty()) return plainPlan();
  std::string plan = "over=";
  for (std::size_t i = 0; i < overrides.size(); ++i) {
    plan += (i == 0 ? "" : ",") + std::to_string(overrides[i].k) + ":" +
            std::to_string(overrides[i].tid);
  }
  return plan + ";" + plainPlan();
}

Strategy walkStrategy(std::int64_t index) {
  constexpr Strategy kTurns[] = {Strategy::kRandom, Strategy::kPct1, Strategy::kPct2,
                                 Strategy::kPct3};
  return kTurns[static_cast<std::uint64_t>(index) % 4];
}

// splitmix64 over the pair: neighbouring indices get unrelated seeds.
std::uint64_t walkSeed(std::uint64_t searchSeed, std::int64_t index) {
  std::uint64_t z = searchSeed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(index) + 1;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string walkPlan(Strategy strategy, std::uint64_t seed, int steps) {
  const std::string seedPart = "seed=" + std::to_string(seed);
  const int depth = infoOf(strategy).depth;
  if (depth == 0) return "then=random;" + seedPart;
  return "then=pct;depth=" + std::to_string(depth) + ";steps=" + std::to_string(steps) + ";" +
         seedPart;
}
