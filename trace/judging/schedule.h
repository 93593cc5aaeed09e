#ifndef BARBERSHOP_TRACE_JUDGING_SCHEDULE_H_
#define BARBERSHOP_TRACE_JUDGING_SCHEDULE_H_
// The exact schedule of a roster: what a run would do if the shop's machinery took no time.
// One barber, the waiting chairs served first come first served; a customer who finds the
// barber asleep wakes him and is cut at once, one who finds him busy sits down or, with every
// chair taken, goes away. Arrivals at one moment go in roster order unless an order is given; a
// cut that ends at the moment of an arrival ends first. Negative times count as zero, as the
// program sleeps them. Pure.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "trace/common/words.h"
#include "trace/reading/roster.h"

struct PlannedVisit {
  std::int64_t arrivalMs = 0;
  Planned outcome = Planned::kSentAway;
  std::int64_t startMs = -1;   // cut start; -1 when sent away
  std::int64_t finishMs = -1;  // cut finish; -1 when sent away
  std::int64_t leavesMs() const { return outcome == Planned::kSentAway ? arrivalMs : finishMs; }
};

struct Schedule {
  std::vector<PlannedVisit> visits;  // by roster position
  std::int64_t closingMs = 0;        // when the last customer has left
  std::size_t longestQueue = 0;
};

// `rank`, when given, orders customers who arrive at one moment (lower first); by default they
// come in roster order, the order in which the run starts their threads.
Schedule exactSchedule(const Roster& roster, const std::vector<std::size_t>& rank = {});

#endif  // BARBERSHOP_TRACE_JUDGING_SCHEDULE_H_
