// The story of hand-written runs: the shop after every line, each visit's moments and places,
// the barber's day and the totals, including a customer let go before its cut was done and a
// lost hand-over.

#include "trace/judging/story.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/trace/known_runs.h"
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

// Ann wakes the barber, Bob sits and waits, Cat finds the queue full.
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

std::int64_t us(const std::optional<Moment>& moment) { return moment ? moment->at.count : -1; }

TEST(Story, TellsEachVisit) {
  const Story story = finish(threeCustomers()).story;
  struct Want {
    Outcome outcome;
    std::int64_t arrived, sat, woke, start, finish, left;
    std::vector<Place> places;
  } const kWant[] = {
      {Outcome::kWoke,
       300,
       -1,
       400,
       700,
       200700,
       200800,
       {Place::kDoor, Place::kChair, Place::kChair, Place::kChair, Place::kLeftCut}},
      {Outcome::kWaited,
       100300,
       100400,
       -1,
       200900,
       350900,
       351000,
       {Place::kDoor, Place::kQueue, Place::kChair, Place::kChair, Place::kLeftCut}},
      {Outcome::kAwayQueueFull, 120300, -1, -1, -1, -1, 120400, {Place::kDoor, Place::kWentAway}},
  };
  ASSERT_EQ(story.visits.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Visit& v = story.visits[i];
    EXPECT_EQ(v.outcome, kWant[i].outcome);
    EXPECT_EQ(us(v.arrived), kWant[i].arrived);
    EXPECT_EQ(us(v.sat), kWant[i].sat);
    EXPECT_EQ(us(v.woke), kWant[i].woke);
    EXPECT_EQ(us(v.cutStart), kWant[i].start);
    EXPECT_EQ(us(v.cutFinish), kWant[i].finish);
    EXPECT_EQ(us(v.left), kWant[i].left);
    EXPECT_FALSE(v.leftEarly);
    std::vector<Place> places;
    for (const Stay& stay : v.stays) places.push_back(stay.place);
    EXPECT_EQ(places, kWant[i].places);
  }
  // The chair while the barber cuts: from his start line to his finish line.
  const Stay& cut = story.visits[1].stays[2];
  EXPECT_TRUE(cut.cutting);
  EXPECT_EQ(cut.from.count, 200900);
  EXPECT_EQ(cut.line, 10u);
}

TEST(Story, TellsTheBarbersDayAndTheTotals) {
  const Story story = finish(threeCustomers()).story;
  EXPECT_EQ(story.cut, 2u);
  EXPECT_EQ(story.sentAway, 1u);
  EXPECT_EQ(story.longestQueue, 1u);
  EXPECT_EQ(story.closing, Micros{351500});
  EXPECT_EQ(story.end, Micros{351500});  // the run's own end, never the exact schedule's
  struct Want {
    BarberDoing doing;
    int who;
    std::int64_t from, to;
  } const kWant[] = {
      {BarberDoing::kAsleep, -1, 0, 600},         {BarberDoing::kAwake, -1, 600, 700},
      {BarberDoing::kCutting, 0, 700, 200700},    {BarberDoing::kAwake, -1, 200700, 200900},
      {BarberDoing::kCutting, 1, 200900, 350900}, {BarberDoing::kAwake, -1, 350900, 351100},
      {BarberDoing::kAsleep, -1, 351100, 351500}};
  ASSERT_EQ(story.barber.size(), std::size(kWant));
  for (std::size_t i = 0; i < std::size(kWant); ++i) {
    EXPECT_EQ(story.barber[i].doing, kWant[i].doing) << i;
    EXPECT_EQ(story.barber[i].who, kWant[i].who) << i;
    EXPECT_EQ(story.barber[i].from.count, kWant[i].from) << i;
    EXPECT_EQ(story.barber[i].to.count, kWant[i].to) << i;
  }
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

}  // namespace
