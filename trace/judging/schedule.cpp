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

// The shop replayed with machinery that takes no time: the barber and the waiting chairs.
class Replay {
 public:
  Replay(const Roster& roster, Schedule* schedule) : roster_(roster), schedule_(*schedule) {}

  void arrive(std::size_t i) {
    PlannedVisit& visit = schedule_.visits[i];
    serveUntil(visit.arrivalMs);
    if (!busy_) {
      visit.outcome = Planned::kWakes;
      cut(i, visit.arrivalMs);
      busy_ = true;
    } else if (queue_.size() < WAIT_CHAIRS) {
      visit.outcome = Planned::kWaits;
      queue_.push_back(i);
      schedule_.longestQueue = std::max(schedule_.longestQueue, queue_.size());
    } else {
      visit.outcome = Planned::kSentAway;
    }
  }

  // Lets the barber work through the queue up to `moment`; a cut ending at `moment` ends
  // before anyone arriving then looks at him, so with nobody waiting he is back in bed.
  void serveUntil(std::int64_t moment) {
    while (busy_ && freeAt_ <= moment) {
      if (queue_.empty()) {
        busy_ = false;
      } else {
        cut(queue_.front(), freeAt_);
        queue_.pop_front();
      }
    }
  }

 private:
  void cut(std::size_t i, std::int64_t start) {
    PlannedVisit& visit = schedule_.visits[i];
    visit.startMs = start;
    visit.finishMs = start + atLeastZero(roster_[i].cuttingMs);
    freeAt_ = visit.finishMs;
  }

  const Roster& roster_;
  Schedule& schedule_;
  std::deque<std::size_t> queue_;  // the waiting chairs, front served first
  bool busy_ = false;
  std::int64_t freeAt_ = 0;  // when the cut in progress ends; meaningful while busy
};

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
    if (visits[a].arrivalMs != visits[b].arrivalMs) {
      return visits[a].arrivalMs < visits[b].arrivalMs;
    }
    return place(a) < place(b);
  });
  Replay replay(roster, &schedule);
  for (std::size_t i : arrivals) replay.arrive(i);
  replay.serveUntil(std::numeric_limits<std::int64_t>::max());
  for (const PlannedVisit& visit : visits) {
    schedule.closingMs = std::max(schedule.closingMs, visit.leavesMs());
  }
  return schedule;
}
