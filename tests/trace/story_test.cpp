// The story of hand-written runs: the shop after every line, each visit's moments and places,
// the barber's day and the totals, including a customer let go before its cut was done and a
// lost hand-over; and what analyse() makes of them against the exact schedule.

#include "trace/judging/story.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/trace/known_runs.h"
#include "trace/judging/analysis.h"
#include "trace/judging/finish.h"

namespace {

class StoryShop : public testing::TestWithParam<KnownRun> {};

TEST_P(StoryShop, IsTheShopAsTheLinesAndBlocksTellIt) {
  const KnownRun& run = GetParam();
  const Story story = finish(recordOf(run)).story;
  EXPECT_EQ(described(story.shopAfter(0), run.roster),
            "asleep chair=- queue=[] door=[] cut=[] away=[] lists 0/0");
  for (std::size_t i = 0; i < run.steps.size(); ++i) {
    if (run.steps[i].after.empty()) continue;
    EXPECT_EQ(described(story.shopAfter(i + 1), run.roster), run.steps[i].after)
        << "after line " << i << ": " << run.steps[i].text;
  }
  // Kept only where it changed, and every visit's places follow the shop's.
  for (std::size_t k = 1; k < story.shop.size(); ++k) {
    EXPECT_NE(story.shop[k].shop, story.shop[k - 1].shop) << k;
  }
  for (const Visit& visit : story.visits) {
    for (const Stay& stay : visit.stays) EXPECT_LE(stay.from, stay.to);
  }
  EXPECT_GE(story.busyShare, 0.0);
  EXPECT_LE(story.busyShare, 1.0);
}

INSTANTIATE_TEST_SUITE_P(KnownRuns, StoryShop, testing::ValuesIn(knownRuns()),
                         [](const testing::TestParamInfo<KnownRun>& param) {
                           return std::string(param.param.name);
                         });

Event line(std::int64_t us, Kind kind, const std::string& id = "") {
  Event event;
  event.us = us;
  event.kind = kind;
  event.id = id;
  return event;
}

// Ann wakes the barber, Bob sits and waits, Cat finds the queue full; Cat's delay puts it after
// Bob's cut in the exact schedule: it finds the shop empty there.
RunRecord threeCustomers() {
  RunRecord run;
  run.roster = {{"Ann", 0, 200}, {"Bob", 100, 150}, {"Cat", 120, 100}};
  run.events = {line(300, Kind::kSeeSleeping, "Ann"),
                line(400, Kind::kWokeBarber, "Ann"),
                line(600, Kind::kBarberWokenUp),
                line(700, Kind::kStartCutting, "Ann"),
                line(100300, Kind::kSeeNotSleeping, "Bob"),
                line(100400, Kind::kGotChair, "Bob"),
                line(120300, Kind::kSeeNotSleeping, "Cat"),
                line(120400, Kind::kQueueFull, "Cat"),
                line(200700, Kind::kFinishCutting, "Ann"),
                line(200800, Kind::kLeaveCut, "Ann"),
                line(200900, Kind::kStartCutting, "Bob"),
                line(350900, Kind::kFinishCutting, "Bob"),
                line(351000, Kind::kLeaveCut, "Bob"),
                line(351100, Kind::kBarberToBed),
                line(351500, Kind::kClosing)};
  run.endUs = 351500;
  return run;
}

std::string at(const std::optional<Moment>& moment) {
  return moment ? std::to_string(moment->at.count) : "-";
}

// A visit in words: "woke: arrived 300 sat - woke 400 cut 700-200700 left 200800 | door chair..."
std::string described(const Visit& v) {
  std::string out = std::string(wordsOf(v.outcome).name) + ": arrived " + at(v.arrived) + " sat " +
                    at(v.sat) + " woke " + at(v.woke) + " cut " + at(v.cutStart) + "-" +
                    at(v.cutFinish) + " left " + at(v.left) + " |";
  for (const Stay& stay : v.stays)
    out += std::string(" ") + placeName(stay.place) + (stay.cutting ? "*" : "");
  return out;
}

TEST(Story, TellsEachVisitTheBarbersDayAndTheTotals) {
  const Story story = finish(threeCustomers()).story;
  const char* const kVisits[] = {
      "woke: arrived 300 sat - woke 400 cut 700-200700 left 200800 | door chair chair* chair cut",
      "waited: arrived 100300 sat 100400 woke - cut 200900-350900 left 351000 | door queue chair* "
      "chair cut",
      "queue-full: arrived 120300 sat - woke - cut --- left 120400 | door away",
  };
  ASSERT_EQ(story.visits.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(described(story.visits[i]), kVisits[i]);
  std::string day;
  for (const BarberStay& b : story.barber) {
    day += std::string(barberWord(b.doing)) + (b.who >= 0 ? " " + std::to_string(b.who) : "") +
           " " + std::to_string(b.from.count) + "-" + std::to_string(b.to.count) + ", ";
  }
  EXPECT_EQ(day,
            "asleep 0-600, awake 600-700, cutting 0 700-200700, awake 200700-200900, cutting 1 "
            "200900-350900, awake 350900-351100, asleep 351100-351500, ");
  EXPECT_EQ(story.cut, 2u);
  EXPECT_EQ(story.sentAway, 1u);
  EXPECT_EQ(story.longestQueue, 1u);
  EXPECT_EQ(story.closing, Micros{351500});
  EXPECT_EQ(story.end, Micros{351500});  // the run's own end, never the exact schedule's
  EXPECT_NEAR(story.busyShare, (200000.0 + 150000.0) / 351500.0, 1e-9);
}

TEST(Story, ACustomerLetGoBeforeTheFinishLeftEarlyAndTheRunEndsWhereItDid) {
  const KnownRun run = knownRuns()[4];
  ASSERT_EQ(std::string(run.name), "ReleasedBeforeTheFinish");
  const RunRecord record = recordOf(run);
  const Story story = finish(record).story;
  const Visit& ann = story.visits[0];
  EXPECT_TRUE(ann.leftEarly);
  EXPECT_EQ(story.leftEarly, 1u);
  EXPECT_FALSE(ann.cutFinish);
  EXPECT_EQ(ann.stays.back().place, Place::kLeftEarly);
  // The barber cuts on to the run's end, its last line, long before the cut's planned 500 ms.
  EXPECT_EQ(story.end, Micros{record.events.back().us});
  EXPECT_EQ(story.barber.back().doing, BarberDoing::kCutting);
  EXPECT_EQ(story.barber.back().to, story.end);
  EXPECT_LE(story.busyShare, 1.0);
}

TEST(Story, ALostHandOverWaitsAndIsNeverCut) {
  const Story story = finish(recordOf(knownRuns()[5])).story;
  const Visit& ann = story.visits[0];
  EXPECT_EQ(ann.outcome, Outcome::kStillThere);
  ASSERT_FALSE(ann.stays.empty());
  for (const Stay& stay : ann.stays) {
    EXPECT_FALSE(stay.cutting);
    EXPECT_TRUE(stay.place == Place::kDoor || stay.place == Place::kChair);
  }
  EXPECT_EQ(ann.stays.back().to, story.end);
}

// The summary's numbers are the story's, in milliseconds; the deviations are the analysis' own.
TEST(Analysis, TakesItsFactsFromTheStoryAndMeasuresThemAgainstTheSchedule) {
  const FinishedRun run = finish(threeCustomers());
  const Analysis& a = run.analysis;
  for (std::size_t i = 0; i < a.customers.size(); ++i) {
    const Visit& v = run.story.visits[i];
    EXPECT_EQ(a.customers[i].outcome, v.outcome) << i;
    EXPECT_EQ(a.customers[i].cutStartMs.value_or(-1), v.cutStart ? v.cutStart->at.ms() : -1) << i;
  }
  EXPECT_EQ(a.busyShare, run.story.busyShare);
  EXPECT_EQ(a.endMs, run.story.end.ms());
  EXPECT_EQ(a.lengthMs, 351.5);
  EXPECT_NEAR(*a.customers[1].startLateMs, 0.9, 1e-9);
  // Two cuts' starts and finishes, and the closing line, which the exact schedule puts at
  // 450 ms, after Cat's cut: Cat went away instead, so the run closed 98.5 ms before it.
  ASSERT_EQ(a.deviations.size(), 5u);
  EXPECT_EQ(a.deviations.back().kind, "closing");
  EXPECT_NEAR(a.worstDeviationMs, 98.5, 1e-9);
}

// Bob, listed second, wakes the barber and is cut first; Ann waits. `bobMs` is Bob's delay, and
// customers who never come, listed between them, may bridge the two arrivals a millisecond at a
// time.
RunRecord bobFirst(int bobMs, int bridge) {
  RunRecord run;
  run.roster = {{"Ann", 100, 1000}};
  for (int k = 1; k <= bridge; ++k) run.roster.push_back({"F" + std::to_string(k), 100 + k, 10});
  run.roster.push_back({"Bob", bobMs, 500});
  run.events = {
      line(100100, Kind::kSeeSleeping, "Bob"),    line(100150, Kind::kSeeSleeping, "Ann"),
      line(100200, Kind::kTryToWake, "Bob"),      line(100250, Kind::kTryToWake, "Ann"),
      line(100300, Kind::kBarberWokenUp),         line(100400, Kind::kStartCutting, "Bob"),
      line(100500, Kind::kWokeBarber, "Bob"),     line(100600, Kind::kFailedToWake, "Ann"),
      line(100700, Kind::kSeeNotSleeping, "Ann"), line(100800, Kind::kTryForChair, "Ann"),
      line(100900, Kind::kGotChair, "Ann"),       line(101000, Kind::kWaiting, "Ann"),
      line(101100, Kind::kWaiting, "Bob"),        line(600400, Kind::kFinishCutting, "Bob"),
      line(600500, Kind::kStartCutting, "Ann"),   line(600600, Kind::kLeaveCut, "Bob"),
      line(1600500, Kind::kFinishCutting, "Ann"), line(1600600, Kind::kLeaveCut, "Ann"),
      line(1600700, Kind::kBarberToBed),          line(1600800, Kind::kClosing)};
  run.endUs = 1600800;
  return run;
}

// A race is between customers planned for one moment, the same millisecond: delays are whole
// milliseconds, so any other pair is planned apart and served in the schedule's order, and
// serving them otherwise is the machine's lateness, not a race.
TEST(Analysis, ARaceIsOnlyBetweenArrivalsPlannedForOneMillisecond) {
  struct Case {
    const char* name;
    int bobMs, bridge;
    bool race;
  } const kCases[] = {
      {"one moment", 100, 0, true},
      {"a millisecond apart", 101, 0, false},
      {"10 ms apart, bridged a millisecond at a time", 110, 9, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Analysis a = finish(bobFirst(c.bobMs, c.bridge)).analysis;
    const int bob = c.bridge + 1;
    ASSERT_EQ(a.races.size(), c.race ? 1u : 0u);
    if (!c.race) {
      // Measured against the roster's order: Bob's start is late by Ann's whole cut.
      EXPECT_GT(a.worstDeviationMs, 500.0);
      continue;
    }
    EXPECT_EQ(a.races[0].winner, bob);
    EXPECT_EQ(a.races[0].loser, 0);
    // Measured against the order that happened, every moment is on time.
    EXPECT_LT(a.worstDeviationMs, 1.0);
    EXPECT_EQ(a.customers[static_cast<std::size_t>(bob)].planned.outcome, Planned::kWakes);
  }
}

}  // namespace
