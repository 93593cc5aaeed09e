// What analyse() makes of a hand-written run: Ann wakes the barber, Bob sits and waits, Cat
// finds the queue full.

#include "trace/judging/analysis.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

Event line(std::int64_t us, Kind kind, const std::string& id = "") {
  Event event;
  event.us = us;
  event.kind = kind;
  event.customer = id;
  return event;
}

Event block(std::int64_t us, std::vector<std::string> queue) {
  Event event = line(us, Kind::kState);
  event.state.queue = std::move(queue);
  return event;
}

RunRecord shop() {
  RunRecord run;
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

Schedule exact() {
  Schedule schedule;
  schedule.visits = {{"Ann", 0, Planned::kWakes, 0, 200},
                     {"Bob", 100, Planned::kWaits, 200, 350},
                     {"Cat", 120, Planned::kSentAway, -1, -1}};
  schedule.closingMs = 350;
  return schedule;
}

TEST(Analysis, TellsEachCustomersStory) {
  Analysis a = analyse(shop(), exact());
  struct Want {
    const char* id;
    Outcome outcome;
    double arrival;
    std::optional<double> sat, start, finish, left, startLate;
  } const kWant[] = {
      {"Ann", Outcome::kWoke, 0.3, std::nullopt, 0.7, 200.7, 200.8, 0.7},
      {"Bob", Outcome::kWaited, 100.3, 100.4, 200.9, 350.9, 351.0, 0.9},
      {"Cat", Outcome::kAwayQueueFull, 120.3, std::nullopt, std::nullopt, std::nullopt, 120.4,
       std::nullopt},
  };
  ASSERT_EQ(a.customers.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const CustomerStory& s = a.customers[i];
    SCOPED_TRACE(kWant[i].id);
    EXPECT_EQ(s.id, kWant[i].id);
    EXPECT_EQ(s.outcome, kWant[i].outcome);
    EXPECT_DOUBLE_EQ(s.arrivalMs.value_or(-1), kWant[i].arrival);
    EXPECT_EQ(s.satMs, kWant[i].sat);
    EXPECT_EQ(s.cutStartMs, kWant[i].start);
    EXPECT_EQ(s.cutFinishMs, kWant[i].finish);
    EXPECT_EQ(s.leftMs, kWant[i].left);
    ASSERT_EQ(s.startLateMs.has_value(), kWant[i].startLate.has_value());
    if (s.startLateMs) {
      EXPECT_NEAR(*s.startLateMs, *kWant[i].startLate, 1e-9);
    }
  }
}

TEST(Analysis, TotalsDeviationsAndTheBarbersDay) {
  Analysis a = analyse(shop(), exact());
  EXPECT_EQ(a.cut, 2u);
  EXPECT_EQ(a.sentAway, 1u);
  EXPECT_EQ(a.longestQueue, 1u);
  EXPECT_EQ(a.lengthMs, 351.5);
  EXPECT_DOUBLE_EQ(a.endMs, 351.5);
  EXPECT_NEAR(a.busyShare, (200.0 + 150.0) / 351.5, 1e-9);
  // Two cuts' starts and finishes, and the closing line, 1.5 ms after its exact time.
  ASSERT_EQ(a.deviations.size(), 5u);
  EXPECT_EQ(a.deviations.back().kind, "closing");
  EXPECT_NEAR(a.worstDeviationMs, 1.5, 1e-9);

  struct Span {
    double from, to;
    const char* customer;
  } const kSpans[] = {{0, 0.6, ""}, {0.7, 200.7, "Ann"}, {200.9, 350.9, "Bob"}, {351.1, 351.5, ""}};
  ASSERT_EQ(a.barber.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(a.barber[i].fromMs, kSpans[i].from) << i;
    EXPECT_DOUBLE_EQ(a.barber[i].toMs, kSpans[i].to) << i;
    EXPECT_EQ(a.barber[i].customer, kSpans[i].customer) << i;
  }
}

// Runs that bend the usual order of lines.
TEST(Analysis, QueueAndUnfinishedRuns) {
  struct Case {
    const char* name;
    std::vector<Event> events;
    std::size_t longestQueue, queueAtEnd;
    Outcome bob;
  };
  const Case kCases[] = {
      // The barber takes Bob from the queue before Bob prints that he sat.
      {"taken before the chair line",
       {line(100, Kind::kStartCutting, "Bob"), line(200, Kind::kGotChair, "Bob"),
        line(300, Kind::kFinishCutting, "Bob"), line(400, Kind::kLeaveCut, "Bob")},
       0,
       0,
       Outcome::kWaited},
      // A state block can show a queue the lines never did.
      {"state block",
       {line(100, Kind::kGotChair, "Bob"), block(200, {"Bob", "Ann", "Cat"})},
       3,
       1,
       Outcome::kStillThere},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    RunRecord run;
    run.roster = {{"Bob", 0, 100}};
    run.events = c.events;
    run.endUs = 5000;
    Analysis a = analyse(run, Schedule{});
    EXPECT_EQ(a.longestQueue, c.longestQueue);
    EXPECT_EQ(a.queue.back().length, c.queueAtEnd);
    EXPECT_EQ(a.customers[0].outcome, c.bob);
    EXPECT_FALSE(a.lengthMs);
    EXPECT_DOUBLE_EQ(a.endMs, 5.0);
  }
}

}  // namespace
