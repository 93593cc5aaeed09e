// The exact schedule of a roster: the shop replayed arrival by arrival with machinery that takes
// no time. A pure function; no shared state.

#include "trace/judging/schedule.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <limits>
#include <numeric>

#include "core/constants.h"

namespace {

// The program sleeps nothing for a negative time.
std::int64_t atLeastZero(int ms) { return std::max<std::int64_t>(ms, 0); }

}  // namespace

Schedule exactSchedule(const Roster& roster, const std::vector<std::size_t>& rank) {
  Schedule schedule;
  std::vector<PlannedVisit>& visits = schedule.visits;
  visits.resize(roster.size());
  for (std::size_t i = 0; i < roster.size(); ++i) {
    visits[i].arrivalMs = atLeastZero(roster[i].delayMs);
  }
  // Arrivals at one moment keep roster order, the order in which the run starts the threads,
  // or the order given.
  std::vector<std::size_t> arrivals(roster.size());
  std::iota(arrivals.begin(), arrivals.end(), 0);
  auto place = [&](std::size_t i) { return rank.size() == roster.size() ? rank[i] : i; };
  std::stable_sort(arrivals.begin(), arrivals.end(), [&](std::size_t a, std::size_t b) {
    if (visits[a].arrivalMs != visits[b].arrivalMs)
      return visits[a].arrivalMs < visits[b].arrivalMs;
    return place(a) < place(b);
  });

  std::deque<std::size_t> queue;  // the waiting chairs, front served first
  bool busy = false;
  std::int64_t freeAt = 0;  // when the cut in progress ends; meaningful while busy
  auto cut = [&](std::size_t i, std::int64_t start) {
    visits[i].startMs = start;
    visits[i].finishMs = start + atLeastZero(roster[i].cuttingMs);
    freeAt = visits[i].finishMs;
  };
  // Lets the barber work through the queue up to `moment`; a cut ending at `moment` ends
  // before anyone arriving then looks at him, so with nobody waiting he is back in bed.
  auto serveUntil = [&](std::int64_t moment) {
    while (busy && freeAt <= moment) {
      if (queue.empty()) {
        busy = false;
      } else {
        cut(queue.front(), freeAt);
        queue.pop_front();
      }
    }
  };

  for (std::size_t i : arrivals) {
    PlannedVisit& visit = visits[i];
    serveUntil(visit.arrivalMs);
    if (!busy) {
      visit.outcome = Planned::kWakes;
      cut(i, visit.arrivalMs);
      busy = true;
    } else if (queue.size() < WAIT_CHAIRS) {
      visit.outcome = Planned::kWaits;
      queue.push_back(i);
      schedule.longestQueue = std::max(schedule.longestQueue, queue.size());
    } else {
      visit.outcome = Planned::kSentAway;
    }
  }
  serveUntil(std::numeric_limits<std::int64_t>::max());

  for (const PlannedVisit& visit : visits) {
    schedule.closingMs = std::max(schedule.closingMs, visit.leavesMs());
  }
  return schedule;
}
