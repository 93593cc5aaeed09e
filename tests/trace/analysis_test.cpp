// What analyse() makes of a hand-written run: Ann wakes the barber, Bob sits and waits, Cat
// finds the queue full.

#include "trace/judging/analysis.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trace/judging/finish.h"

namespace {

Event line(std::int64_t us, Kind kind, const std::string& id = "") {
  Event event;
  event.us = us;
  event.kind = kind;
  event.id = id;
  return event;
}

Event block(std::int64_t us, std::vector<std::string> queue) {
  Event event = line(us, Kind::kState);
  event.state.fewestWaiting = queue.size();
  event.state.queue = std::move(queue);
  return event;
}

RunRecord shop() {
  RunRecord run;
  // Cat's delay puts it after Bob's cut in the exact schedule: it finds the shop empty there.
  run.roster = {{"Ann", 0, 200}, {"Bob", 100, 150}, {"Cat", 120, 100}};
  run.events = {line(300, Kind::kSeeSleeping, "Ann"),
                line(400, Kind::kWokeBarber, "Ann"),
                line(600, Kind::kBarberWokenUp),
                line(700, Kind::kStartCutting, "Ann"),
                line(100300, Kind::kSeeNotSleeping, "Bob"),
                line(100400, Kind::kGotChair, "Bob"),
                block(100450, {"Bob"}),
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

// The run judged as the companion judges it: its lines attributed first.
Analysis analysed(RunRecord run) { return finish(std::move(run)).analysis; }

// The summary's numbers are the story's, in milliseconds; the deviations are the analysis' own.
TEST(Analysis, TakesItsFactsFromTheStoryAndMeasuresThemAgainstTheSchedule) {
  const FinishedRun run = finish(shop());
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
    const Analysis a = analysed(bobFirst(c.bobMs, c.bridge));
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
