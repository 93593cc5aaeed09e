// What a run measured: one pass over the events in printed order, then the races, the schedule
// of the order they chose and the deviations from it. Pure and single-threaded.

#include "trace/judging/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <tuple>

namespace {

// Arrivals planned less than this apart are one moment to a real machine.
constexpr double kSameMomentMs = 1.0;

double toMs(std::int64_t us) { return static_cast<double>(us) / 1000.0; }

// The pass over the events: the barber's sleep and cuts, each customer's moments, the queue.
class Measure {
 public:
  explicit Measure(Analysis* a) : a_(*a), woke_(a->customers.size()) {
    a_.queue.push_back(QueuePoint{0, 0});
  }

  void event(const Event& event, std::size_t line) {
    line_ = line;
    const double ms = toMs(event.us);
    switch (event.kind) {
      case Kind::kBarberToBed:
        if (!asleep_) {
          asleep_ = true;
          asleepSince_ = ms;
          asleepLine_ = line;
        }
        return;
      case Kind::kBarberWokenUp:
        wakeUp(ms);
        return;
      case Kind::kStartCutting:
        return start(event.who, ms);
      case Kind::kFinishCutting:
        return finish(event.who, ms);
      case Kind::kState:
        // A block shows the queue whole, even where the lines missed a change.
        a_.longestQueue = std::max(a_.longestQueue, event.state.fewestWaiting);
        return;
      default:
        if (event.actor() == Actor::kCustomer && event.who >= 0) customer(event, ms);
    }
  }

  void end() {
    if (asleep_) a_.barber.push_back(BarberSpan{asleepSince_, a_.endMs, -1, asleepLine_});
    std::stable_sort(a_.barber.begin(), a_.barber.end(),
                     [](const BarberSpan& x, const BarberSpan& y) { return x.fromMs < y.fromMs; });
  }

 private:
  void setQueue(double ms, std::size_t length) {
    queueLength_ = length;
    a_.queue.push_back(QueuePoint{ms, length});
    a_.longestQueue = std::max(a_.longestQueue, length);
  }

  void wakeUp(double ms) {
    if (!asleep_) return;
    a_.barber.push_back(BarberSpan{asleepSince_, ms, -1, asleepLine_});
    asleep_ = false;
  }

  void start(int who, double ms) {
    wakeUp(ms);  // a cut without its wake-up line still ends his sleep
    open_.push_back(a_.barber.size());
    a_.barber.push_back(BarberSpan{ms, a_.endMs, who, line_});
    if (who < 0) return;
    CustomerStory& story = a_.customers[static_cast<std::size_t>(who)];
    if (story.cutStartMs) return;
    story.cutStartMs = ms;
    story.cutStartLine = line_;
    if (story.satMs && queueLength_ > 0) setQueue(ms, queueLength_ - 1);
  }

  void finish(int who, double ms) {
    auto open = std::find_if(open_.begin(), open_.end(),
                             [&](std::size_t span) { return a_.barber[span].who == who; });
    if (open != open_.end()) {
      a_.barber[*open].toMs = ms;
      open_.erase(open);
    }
    if (who >= 0 && !a_.customers[static_cast<std::size_t>(who)].cutFinishMs) {
      a_.customers[static_cast<std::size_t>(who)].cutFinishMs = ms;
      a_.customers[static_cast<std::size_t>(who)].cutFinishLine = line_;
    }
  }

  void customer(const Event& event, double ms) {
    CustomerStory& story = a_.customers[static_cast<std::size_t>(event.who)];
    if (!story.arrivalMs) {
      story.arrivalMs = ms;
      story.arrivalLine = line_;
    }
    if (event.kind == Kind::kWokeBarber) woke_[static_cast<std::size_t>(event.who)] = true;
    if (event.kind == Kind::kGotChair && !story.satMs) {
      story.satMs = ms;
      story.satLine = line_;
      // The barber may take it from the queue before it prints that it sat: then it has
      // already left the queue again.
      if (!story.cutStartMs) setQueue(ms, queueLength_ + 1);
    }
    if (story.leftMs) return;  // a second way out is the check's to report
    if (event.kind == Kind::kLeaveCut || event.kind == Kind::kQueueFull ||
        event.kind == Kind::kNoChair) {
      story.leftLine = line_;
    }
    if (event.kind == Kind::kLeaveCut) {
      story.leftMs = ms;
      // Cut without having woken the barber: it can only have come through the queue.
      story.outcome =
          woke_[static_cast<std::size_t>(event.who)] ? Outcome::kWoke : Outcome::kWaited;
    } else if (event.kind == Kind::kQueueFull || event.kind == Kind::kNoChair) {
      story.leftMs = ms;
      story.outcome =
          event.kind == Kind::kQueueFull ? Outcome::kAwayQueueFull : Outcome::kAwayNoChair;
    }
  }

  Analysis& a_;
  std::vector<bool> woke_;
  bool asleep_ = true;  // he went to bed at the end of the run before
  double asleepSince_ = 0;
  std::vector<std::size_t> open_;  // the barber's cuts not yet finished
  std::optional<std::size_t> asleepLine_;
  std::size_t line_ = 0;
  std::size_t queueLength_ = 0;
};

std::int64_t plannedArrival(const CustomerStory& story) { return std::max(0, story.delayMs); }

// Orders the customers as the run served them where their arrivals were one moment: by the start
// of their cut, then by when they left. Notes a race where that is not the roster's order.
std::vector<std::size_t> raceOrder(Analysis* a) {
  const std::vector<CustomerStory>& stories = a->customers;
  constexpr double kNever = std::numeric_limits<double>::infinity();
  auto served = [&](std::size_t i) {
    const CustomerStory& s = stories[i];
    return std::make_tuple(s.cutStartMs.value_or(kNever), s.leftMs.value_or(kNever), i);
  };
  std::vector<std::size_t> order(stories.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    return plannedArrival(stories[x]) < plannedArrival(stories[y]);
  });
  std::vector<std::size_t> rank(stories.size());
  for (std::size_t from = 0, to; from < order.size(); from = to) {
    for (to = from + 1; to < order.size() && plannedArrival(stories[order[to]]) -
                                                     plannedArrival(stories[order[to - 1]]) <=
                                                 kSameMomentMs;
         ++to) {
    }
    const std::size_t expected = order[from];
    std::sort(order.begin() + from, order.begin() + to,
              [&](std::size_t x, std::size_t y) { return served(x) < served(y); });
    if (order[from] != expected) {
      const double apart = std::fabs(static_cast<double>(plannedArrival(stories[order[from]]) -
                                                         plannedArrival(stories[expected])));
      a->races.push_back(Race{static_cast<int>(order[from]), static_cast<int>(expected), apart});
    }
  }
  for (std::size_t place = 0; place < order.size(); ++place) rank[order[place]] = place;
  return rank;
}

void compare(const Schedule& schedule, const std::optional<double>& closingMs, Analysis* a) {
  a->exactLengthMs = static_cast<double>(schedule.closingMs);
  for (CustomerStory& story : a->customers) {
    story.planned = schedule.visits[static_cast<std::size_t>(story.who)];
    if (story.planned.startMs < 0) continue;  // the schedule sends it away: nothing to compare
    const double exactStart = static_cast<double>(story.planned.startMs);
    const double exactFinish = static_cast<double>(story.planned.finishMs);
    if (story.cutStartMs) {
      story.startLateMs = *story.cutStartMs - exactStart;
      a->deviations.push_back(Deviation{"start", story.who, exactStart, *story.cutStartMs});
    }
    if (story.cutFinishMs) {
      story.finishLateMs = *story.cutFinishMs - exactFinish;
      a->deviations.push_back(Deviation{"finish", story.who, exactFinish, *story.cutFinishMs});
    }
  }
  if (closingMs) a->deviations.push_back(Deviation{"closing", -1, a->exactLengthMs, *closingMs});
  for (const Deviation& d : a->deviations) {
    a->worstDeviationMs = std::max(a->worstDeviationMs, std::fabs(d.measuredMs - d.exactMs));
  }
}

void totals(Analysis* a) {
  double cuttingMs = 0;
  for (const BarberSpan& span : a->barber) {
    if (span.who >= 0) cuttingMs += span.toMs - span.fromMs;
  }
  const double lengthMs = a->lengthMs.value_or(a->endMs);
  a->busyShare = lengthMs > 0 ? cuttingMs / lengthMs : 0;
  for (CustomerStory& story : a->customers) {
    if (!story.leftMs && story.arrivalMs) story.outcome = Outcome::kStillThere;
    if (story.outcome == Outcome::kWoke || story.outcome == Outcome::kWaited || story.cutFinishMs) {
      ++a->cut;
    }
    if (wentAway(story.outcome)) ++a->sentAway;
  }
}

}  // namespace

Analysis analyse(const RunRecord& run) {
  Analysis a;
  for (std::size_t i = 0; i < run.roster.size(); ++i) {
    CustomerStory story;
    story.who = static_cast<int>(i);
    story.id = run.roster[i].id;
    story.delayMs = run.roster[i].delayMs;
    story.cuttingMs = run.roster[i].cuttingMs;
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
  const Schedule roster = exactSchedule(run.roster);
  a.endMs = run.end == RunEnd::kClosed ? std::max({closingMs.value_or(0), lastMs, toMs(run.endUs),
                                                   static_cast<double>(roster.closingMs)})
                                       : std::max(lastMs, toMs(run.endUs));
  Measure measure(&a);
  for (std::size_t i = 0; i < run.events.size(); ++i) measure.event(run.events[i], i);
  measure.end();
  compare(exactSchedule(run.roster, raceOrder(&a)), closingMs, &a);
  if (run.end == RunEnd::kClosed && a.exactLengthMs > a.endMs) {
    // The order the races chose may close the schedule later: the drawing runs on to it.
    for (BarberSpan& span : a.barber) {
      if (span.toMs == a.endMs) span.toMs = a.exactLengthMs;
    }
    a.endMs = a.exactLengthMs;
  }
  totals(&a);
  return a;
}
