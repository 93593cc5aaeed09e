// What a run measured against its exact schedule: one pass over the events, in printed order.
// Pure and single-threaded.

#include "trace/judging/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

double toMs(std::int64_t us) { return static_cast<double>(us) / 1000.0; }

// Several roster entries may share an ID; each line goes to the first of them whose visit it
// can still belong to, so two namesakes are read as two visits one after the other.
class Stories {
 public:
  explicit Stories(std::vector<CustomerStory>* stories) : stories_(stories) {
    for (std::size_t i = 0; i < stories->size(); ++i) byId_[(*stories)[i].id].push_back(i);
  }

  // A customer's own line belongs to the first namesake that has not left yet.
  CustomerStory* visitor(const std::string& id) {
    return pick(id, [](const CustomerStory& s) { return !s.leftMs; });
  }
  // A start line belongs to the first namesake not yet started, a finish line to the first
  // started and not yet finished.
  CustomerStory* toStart(const std::string& id) {
    return pick(id, [](const CustomerStory& s) { return !s.cutStartMs; });
  }
  CustomerStory* toFinish(const std::string& id) {
    return pick(id, [](const CustomerStory& s) { return s.cutStartMs && !s.cutFinishMs; });
  }

 private:
  template <typename Open>
  CustomerStory* pick(const std::string& id, Open open) {
    auto found = byId_.find(id);
    if (found == byId_.end()) return nullptr;
    for (std::size_t i : found->second) {
      if (open((*stories_)[i])) return &(*stories_)[i];
    }
    return &(*stories_)[found->second.back()];
  }

  std::vector<CustomerStory>* stories_;
  std::map<std::string, std::vector<std::size_t>> byId_;
};

// The roster's visit in the schedule: at the same place when the schedule follows the roster,
// otherwise by ID.
PlannedVisit plannedFor(const Schedule& schedule, std::size_t index, const std::string& id) {
  if (index < schedule.visits.size() && schedule.visits[index].id == id) {
    return schedule.visits[index];
  }
  for (const PlannedVisit& visit : schedule.visits) {
    if (visit.id == id) return visit;
  }
  PlannedVisit none;
  none.id = id;
  return none;
}

}  // namespace

Analysis analyse(const RunRecord& run, const Schedule& schedule) {
  Analysis a;
  a.exactLengthMs = static_cast<double>(schedule.closingMs);
  for (std::size_t i = 0; i < run.roster.size(); ++i) {
    CustomerStory story;
    story.id = run.roster[i].id;
    story.delayMs = run.roster[i].delayMs;
    story.cuttingMs = run.roster[i].cuttingMs;
    story.planned = plannedFor(schedule, i, story.id);
    a.customers.push_back(story);
  }

  std::optional<double> closingMs;
  double lastMs = 0;
  for (const Event& event : run.events) {
    lastMs = std::max(lastMs, toMs(event.us));
    if (event.kind == Kind::kClosing && !closingMs) closingMs = toMs(event.us);
  }
  a.lengthMs = closingMs;
  // A run cut short is drawn to where it stopped: what the schedule says after that never
  // happened, and a cut still under way ends there.
  a.endMs = run.end == RunEnd::kClosed
                ? std::max({closingMs.value_or(0), lastMs, toMs(run.endUs), a.exactLengthMs})
                : std::max(lastMs, toMs(run.endUs));

  // The barber starts the run asleep: he went to bed at the end of the one before.
  bool asleep = true;
  double asleepSince = 0;
  std::map<std::string, std::vector<std::size_t>> openCuts;  // ID -> its spans still open
  std::vector<bool> woke(a.customers.size()), sat(a.customers.size());
  std::size_t queueLength = 0;
  a.queue.push_back(QueuePoint{0, 0});
  auto setQueue = [&](double ms, std::size_t length) {
    queueLength = length;
    a.queue.push_back(QueuePoint{ms, length});
    a.longestQueue = std::max(a.longestQueue, length);
  };
  auto wakeUp = [&](double ms) {
    if (!asleep) return;
    a.barber.push_back(BarberSpan{asleepSince, ms, ""});
    asleep = false;
  };

  Stories stories(&a.customers);
  auto index = [&](const CustomerStory* story) {
    return static_cast<std::size_t>(story - a.customers.data());
  };
  for (const Event& event : run.events) {
    double ms = toMs(event.us);
    switch (event.kind) {
      case Kind::kBarberToBed:
        if (!asleep) {
          asleep = true;
          asleepSince = ms;
        }
        break;
      case Kind::kBarberWokenUp:
        wakeUp(ms);
        break;
      case Kind::kStartCutting: {
        wakeUp(ms);  // a cut without its wake-up line still ends his sleep
        openCuts[event.customer].push_back(a.barber.size());
        a.barber.push_back(BarberSpan{ms, a.endMs, event.customer});
        CustomerStory* story = stories.toStart(event.customer);
        if (story && !story->cutStartMs) {
          story->cutStartMs = ms;
          if (sat[index(story)] && queueLength > 0) setQueue(ms, queueLength - 1);
        }
        break;
      }
      case Kind::kFinishCutting: {
        auto open = openCuts.find(event.customer);
        if (open != openCuts.end() && !open->second.empty()) {
          a.barber[open->second.front()].toMs = ms;
          open->second.erase(open->second.begin());
        }
        CustomerStory* story = stories.toFinish(event.customer);
        if (story && !story->cutFinishMs) story->cutFinishMs = ms;
        break;
      }
      case Kind::kState:
        a.longestQueue = std::max(a.longestQueue, event.state.queue.size());
        break;
      case Kind::kClosing:
      case Kind::kTorn:
        break;
      default: {  // a customer's own line
        CustomerStory* story = stories.visitor(event.customer);
        if (!story) break;
        if (!story->arrivalMs) story->arrivalMs = ms;
        std::size_t i = index(story);
        if (event.kind == Kind::kWokeBarber) woke[i] = true;
        if (event.kind == Kind::kGotChair && !sat[i]) {
          sat[i] = true;
          story->satMs = ms;
          // The barber may take it from the queue before it prints that it sat: then it has
          // already left the queue again.
          if (!story->cutStartMs) setQueue(ms, queueLength + 1);
        }
        if (story->leftMs) break;  // a second way out is the check's to report
        if (event.kind == Kind::kLeaveCut) {
          story->leftMs = ms;
          // Cut without having woken the barber: it can only have come through the queue.
          story->outcome = woke[i] ? Outcome::kWoke : Outcome::kWaited;
        } else if (event.kind == Kind::kQueueFull || event.kind == Kind::kNoChair) {
          story->leftMs = ms;
          story->outcome =
              event.kind == Kind::kQueueFull ? Outcome::kAwayQueueFull : Outcome::kAwayNoChair;
        }
        break;
      }
    }
  }
  if (asleep) a.barber.push_back(BarberSpan{asleepSince, a.endMs, ""});
  std::stable_sort(a.barber.begin(), a.barber.end(),
                   [](const BarberSpan& x, const BarberSpan& y) { return x.fromMs < y.fromMs; });

  double cuttingMs = 0;
  for (const BarberSpan& span : a.barber) {
    if (!span.customer.empty()) cuttingMs += span.toMs - span.fromMs;
  }
  double lengthMs = a.lengthMs.value_or(a.endMs);
  a.busyShare = lengthMs > 0 ? cuttingMs / lengthMs : 0;

  for (CustomerStory& story : a.customers) {
    if (story.outcome == Outcome::kWoke || story.outcome == Outcome::kWaited || story.cutFinishMs) {
      ++a.cut;
    }
    if (story.outcome == Outcome::kAwayQueueFull || story.outcome == Outcome::kAwayNoChair)
      ++a.sentAway;
    if (story.planned.startMs < 0) continue;  // the schedule sends it away: nothing to compare
    double exactStart = static_cast<double>(story.planned.startMs);
    double exactFinish = static_cast<double>(story.planned.finishMs);
    if (story.cutStartMs) {
      story.startLateMs = *story.cutStartMs - exactStart;
      a.deviations.push_back(Deviation{"start", story.id, exactStart, *story.cutStartMs});
    }
    if (story.cutFinishMs) {
      story.finishLateMs = *story.cutFinishMs - exactFinish;
      a.deviations.push_back(Deviation{"finish", story.id, exactFinish, *story.cutFinishMs});
    }
  }
  if (closingMs) a.deviations.push_back(Deviation{"closing", "", a.exactLengthMs, *closingMs});
  for (const Deviation& d : a.deviations) {
    a.worstDeviationMs = std::max(a.worstDeviationMs, std::fabs(d.measuredMs - d.exactMs));
  }
  return a;
}

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kWoke:
      return "woke the barber";
    case Outcome::kWaited:
      return "waited in the queue";
    case Outcome::kAwayQueueFull:
      return "went away: queue full";
    case Outcome::kAwayNoChair:
      return "went away: no chair";
    case Outcome::kStillThere:
      return "still in the shop";
  }
  return "?";
}
