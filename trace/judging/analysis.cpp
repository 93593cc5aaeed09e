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

std::optional<double> msOf(const std::optional<Moment>& moment) {
  if (!moment) return std::nullopt;
  return moment->at.ms();
}
std::optional<std::size_t> lineOf(const std::optional<Moment>& moment) {
  if (!moment) return std::nullopt;
  return moment->line;
}

// The story's visits, barber and queue, in the milliseconds the summary and timeline read.
void retell(const Story& story, Analysis* a) {
  for (CustomerStory& c : a->customers) {
    const Visit& visit = story.visits[static_cast<std::size_t>(c.who)];
    c.outcome = visit.outcome;
    c.arrivalMs = msOf(visit.arrived);
    c.satMs = msOf(visit.sat);
    c.cutStartMs = msOf(visit.cutStart);
    c.cutFinishMs = msOf(visit.cutFinish);
    c.leftMs = msOf(visit.left);
    c.arrivalLine = lineOf(visit.arrived);
    c.satLine = lineOf(visit.sat);
    c.cutStartLine = lineOf(visit.cutStart);
    c.cutFinishLine = lineOf(visit.cutFinish);
    c.leftLine = lineOf(visit.left);
  }
  for (const BarberStay& stay : story.barber) {
    if (stay.doing == BarberDoing::kAwake) continue;
    a->barber.push_back(BarberSpan{stay.from.ms(), stay.to.ms(),
                                   stay.doing == BarberDoing::kCutting ? stay.who : -1, stay.line});
  }
  for (const QueueStep& step : story.queue)
    a->queue.push_back(QueuePoint{step.at.ms(), step.length});
  a->cut = story.cut;
  a->sentAway = story.sentAway;
  a->busyShare = story.busyShare;
  a->longestQueue = story.longestQueue;
  if (story.closing) a->lengthMs = story.closing->ms();
  a->endMs = story.end.ms();
}

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
    // One moment is one planned millisecond: delays are whole milliseconds, the program's own
    // grain, so arrivals planned apart are at least a millisecond apart and their order is the
    // schedule's, never the machine's to pick.
    for (to = from + 1; to < order.size() &&
                        plannedArrival(stories[order[to]]) == plannedArrival(stories[order[from]]);
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

}  // namespace

Analysis analyse(const RunRecord& run, const Story& story) {
  Analysis a;
  for (std::size_t i = 0; i < run.roster.size(); ++i) {
    CustomerStory c;
    c.who = static_cast<int>(i);
    c.id = run.roster[i].id;
    c.delayMs = run.roster[i].delayMs;
    c.cuttingMs = run.roster[i].cuttingMs;
    a.customers.push_back(c);
  }
  retell(story, &a);
  compare(exactSchedule(run.roster, raceOrder(&a)), a.lengthMs, &a);
  return a;
}
