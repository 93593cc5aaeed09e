#ifndef BARBERSHOP_TRACE_EXPLORE_PLAN_H_
#define BARBERSHOP_TRACE_EXPLORE_PLAN_H_
// The schedules an exploration tries, as the plans the scheduler library follows
// (scheduler/protocol.h): the plain order, the plain order with a few choices overridden, and the
// seeded walks. A walk's strategy and seed are a function of the search's seed and the
// schedule's index alone, so schedule i is the same however the search is split. Pure.

#include <cstdint>
#include <string>
#include <vector>

enum class Strategy { kPlain, kBounded, kRandom, kPct1, kPct2, kPct3 };

// Choice `k` goes to thread `tid`: one switch away from the plain order.
struct Override {
  int k = 0;
  int tid = 0;
  bool operator==(const Override& other) const { return k == other.k && tid == other.tid; }
};

// "plain", "within two switches", "random walk", "PCT depth 2".
const char* strategyWords(Strategy strategy);
// A stable name for files: "plain", "bounded", "random", "pct1".
const char* strategyName(Strategy strategy);

std::string plainPlan();
// The plain order but for `overrides`: "over=3:2,7:1;then=first".
std::string overridePlan(const std::vector<Override>& overrides);

// The walk the schedule numbered `index` takes: random walk and PCT at depth 1, 2 and 3 in turn.
Strategy walkStrategy(std::int64_t index);
// Its seed, mixed from the search's seed and the index.
std::uint64_t walkSeed(std::uint64_t searchSeed, std::int64_t index);
// Its plan; `steps` is the plain run's step count, over which PCT spreads its change points.
std::string walkPlan(Strategy strategy, std::uint64_t seed, int steps);

#endif  // BARBERSHOP_TRACE_EXPLORE_PLAN_H_
