// The exact schedule of known rosters, worked out by hand.

#include "trace/judging/schedule.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

// "Ann:0/500 Bob:100/50": IDs with their delays and cutting times.
Roster people(const std::string& text) {
  Roster roster;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    RosterEntry entry;
    entry.id = word.substr(0, word.find(':'));
    std::sscanf(word.c_str() + entry.id.size(), ":%d/%d", &entry.delayMs, &entry.cuttingMs);
    roster.push_back(entry);
  }
  return roster;
}

// One word per visit, in roster order: w (wakes the barber) or q (waits on a chair) with the
// cut's start-finish, or x (sent away); then the closing time and the longest queue.
std::string plan(const Schedule& schedule) {
  std::string text;
  for (const PlannedVisit& visit : schedule.visits) {
    if (visit.outcome == Planned::kSentAway) {
      text += "x ";
      continue;
    }
    text += visit.outcome == Planned::kWakes ? 'w' : 'q';
    text += std::to_string(visit.startMs) + "-" + std::to_string(visit.finishMs) + " ";
  }
  return text + "| closes " + std::to_string(schedule.closingMs) + ", queue " +
         std::to_string(schedule.longestQueue);
}

struct ScheduleCase {
  std::string what, roster, plan;
};

class ExactSchedule : public testing::TestWithParam<ScheduleCase> {};

TEST_P(ExactSchedule, PlansEveryVisit) {
  Roster roster = people(GetParam().roster);
  Schedule schedule = exactSchedule(roster);
  EXPECT_EQ(plan(schedule), GetParam().plan);
  for (std::size_t i = 0; i < schedule.visits.size(); ++i) {
    EXPECT_EQ(schedule.visits[i].id, roster[i].id);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rosters, ExactSchedule,
    testing::Values(
        ScheduleCase{"Empty", "", "| closes 0, queue 0"},
        ScheduleCase{"OneCustomer", "Ann:50/500", "w50-550 | closes 550, queue 0"},
        ScheduleCase{"SameMomentRosterOrderWakes", "Zed:100/1000 Amy:100/500",
                     "w100-1100 q1100-1600 | closes 1600, queue 1"},
        // Listed first but arriving last, Hal finds all six chairs taken.
        ScheduleCase{"FullHouse",
                     "Hal:70/100 Ann:0/1000 Bob:10/100 Cat:20/100 Dan:30/100 Eve:40/100 "
                     "Fay:50/100 Gus:60/100",
                     "x w0-1000 q1000-1100 q1100-1200 q1200-1300 q1300-1400 q1400-1500 "
                     "q1500-1600 | closes 1600, queue 6"},
        ScheduleCase{"FinishAtArrivalWakesAgain", "A:0/100 B:100/50",
                     "w0-100 w100-150 | closes 150, queue 0"},
        ScheduleCase{"ZeroCutsAllWake",
                     "c0:0/0 c1:0/0 c2:0/0 c3:0/0 c4:0/0 c5:0/0 c6:0/0 c7:0/0 "
                     "c8:0/0 c9:0/0",
                     "w0-0 w0-0 w0-0 w0-0 w0-0 w0-0 w0-0 w0-0 w0-0 w0-0 | closes 0, queue 0"},
        ScheduleCase{"NegativeTimesCountAsZero", "A:-20/-50 B:0/100",
                     "w0-0 w0-100 | closes 100, queue 0"},
        // C is listed before B but arrives after it; D comes while B is in the chair.
        ScheduleCase{"WakerFirstThenFirstComeFirstServed", "A:0/300 C:20/100 B:10/100 D:350/100",
                     "w0-300 q400-500 q300-400 q500-600 | closes 600, queue 2"}),
    [](const testing::TestParamInfo<ScheduleCase>& tested) { return tested.param.what; });

}  // namespace
