#ifndef BARBERSHOP_TRACE_EXPLORE_SEARCH_H_
#define BARBERSHOP_TRACE_EXPLORE_SEARCH_H_
// The search for a failing interleaving. Schedule 0 is the plain order. When every schedule
// within two switches of it may fit in the budget (estimated from the plain run's choice
// points), they come next, one switch before two, each learned from the run one switch nearer;
// the rest of the budget takes seeded walks: random walk and PCT at depth 1, 2 and 3 in turn.
// The search stops at the lowest-numbered schedule that breaks a rule or gets stuck.
// Single-threaded; the schedules themselves may run in forked workers (trace/explore/workers.h).

#include <cstdint>
#include <optional>
#include <string>

#include "trace/explore/plan.h"
#include "trace/explore/runner.h"

struct ExploreOptions {
  std::int64_t budget = 1000;  // schedules in the whole search
  std::uint64_t seed = 1;
  int jobs = 1;
  std::int64_t from = 0;  // only the schedules numbered from..to-1 (--seeds A:B)
  std::int64_t to = -1;   // -1: the budget
};

// How many schedules held (up to the failure, when one failed), and of which kind.
struct Tally {
  std::int64_t plain = 0, bounded = 0, walks = 0;
  // The schedules within two switches of the plain order: -1 when they were not enumerated (the
  // estimate below said they would not fit), else their exact number.
  std::int64_t boundedSpace = -1;
  std::int64_t boundedEstimate = 0;  // from the plain run's choice points
  bool boundedAll = false;           // every one of them was tried
  std::int64_t total() const { return plain + bounded + walks; }
};

struct Found {
  std::int64_t index = 0;
  Strategy strategy = Strategy::kPlain;
  std::uint64_t seed = 0;  // for a walk
  std::string plan;
  std::string failure;
};

struct Exploration {
  Tally tally;
  std::optional<Found> found;
  bool programFailed = false;  // the program could not be run; `status` says how
  int status = 0;
  int steps = 0;  // the plain run's
};

Exploration explore(const Runner& runner, const ExploreOptions& options);

// The walk schedule `index` takes, from the search's seed and the index alone: the same whatever
// the budget or the number of workers.
Found walkSchedule(std::int64_t index, std::uint64_t seed, int steps);

#endif  // BARBERSHOP_TRACE_EXPLORE_SEARCH_H_
