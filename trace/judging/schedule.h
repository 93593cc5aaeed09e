#ifndef BARBERSHOP_TRACE_JUDGING_SCHEDULE_H_
#define BARBERSHOP_TRACE_JUDGING_SCHEDULE_H_
// The exact schedule of a roster: what a run would do if the shop's machinery took no time.
// One barber, six waiting chairs served first come first served; a customer who finds the
// barber asleep wakes him and is cut at once, one who finds him busy sits down or, with every
// chair taken, goes away. Arrivals at one moment go in roster order; a cut that ends at the
// moment of an arrival ends first. Negative times count as zero, as the program sleeps them.

#include <cstdint>
#include <string>
#include <vector>

#include "trace/reading/roster.h"

enum class Planned { kWakes, kWaits, kSentAway };

struct PlannedVisit {
  std::string id;
  std::int64_t arrivalMs = 0;
  Planned outcome = Planned::kSentAway;
  std::int64_t startMs = -1;   // cut start; -1 when sent away
  std::int64_t finishMs = -1;  // cut finish; -1 when sent away
  std::int64_t leavesMs() const { return outcome == Planned::kSentAway ? arrivalMs : finishMs; }
};

struct Schedule {
  std::vector<PlannedVisit> visits;  // in roster order
  std::int64_t closingMs = 0;        // when the last customer has left
  std::size_t longestQueue = 0;
};

Schedule exactSchedule(const Roster& roster);

#endif  // BARBERSHOP_TRACE_JUDGING_SCHEDULE_H_
