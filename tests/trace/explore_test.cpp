// The search on a small simulated program whose fault needs two switches, the shortest failing
// schedule, and the numbered story of a hand-made controlled run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>

#include "trace/explore/search.h"
#include "trace/explore/shortest.h"
#include "trace/judging/numbered_story.h"
// After the companion's kinds, whose names it shares.
#include "core/narration.h"

namespace {

// The plain order: the running thread goes on while it can, else the next above it, wrapping.
int plainPick(const std::vector<int>& left, const std::vector<int>& live, int running) {
  if (left[static_cast<std::size_t>(running - 1)] > 0) return running;
  for (int t : live) {
    if (t > running) return t;
  }
  return live.front();
}

// Threads 1..n, each a number of steps that can always go. The fault: thread 2's first step
// falls between thread 1's first two, and thread 1's second before thread 2's second.
struct FakeProgram {
  std::vector<int> steps;  // steps[t - 1]: thread t's
  bool faulty = true;

  RunOutcome operator()(const std::string& plan) const {
    std::map<std::string, std::string> keys;
    std::istringstream parts(plan);
    for (std::string part; std::getline(parts, part, ';');) {
      keys[part.substr(0, part.find('='))] = part.substr(part.find('=') + 1);
    }
    std::map<int, int> over;
    std::istringstream pairs(keys["over"]);
    for (std::string pair; std::getline(pairs, pair, ',');) {
      over[std::stoi(pair)] = std::stoi(pair.substr(pair.find(':') + 1));
    }
    std::uint64_t state = keys.count("seed") ? std::stoull(keys["seed"]) : 0;
    const bool walk = keys["then"] != "first";
    std::vector<int> left = steps;
    std::vector<int> order;  // the thread of each step
    RunOutcome out;
    for (int running = 1;;) {
      std::vector<int> live;
      for (int t = 1; t <= static_cast<int>(left.size()); ++t) {
        if (left[t - 1] > 0) live.push_back(t);
      }
      if (live.empty()) break;
      const int plain = plainPick(left, live, running);
      int pick = plain;
      if (live.size() > 1) {
        Choice choice;
        choice.k = static_cast<int>(out.choices.size()) + 1;
        choice.beforeStep = static_cast<int>(order.size()) + 1;
        choice.plainPick = plain;
        for (int t : live) choice.threads.push_back(PendingStep{t, SyncOp::kPrint, 0, 0, true});
        if (over.count(choice.k) && left[over[choice.k] - 1] > 0) {
          pick = over[choice.k];
        } else if (walk) {
          state = state * 6364136223846793005ull + 1442695040888963407ull;
          pick = live[(state >> 33) % live.size()];
        }
        choice.pick = pick;
        out.choices.push_back(choice);
      }
      --left[pick - 1];
      order.push_back(pick);
      running = pick;
    }
    out.steps = static_cast<int>(order.size());
    std::vector<int> seen(steps.size() + 1, 0);
    std::vector<std::pair<int, int>> at;  // (thread, its step number), in order
    for (int t : order) at.push_back({t, ++seen[t]});
    auto where = [&](int t, int n) {
      return std::find(at.begin(), at.end(), std::make_pair(t, n)) - at.begin();
    };
    if (faulty && where(1, 1) < where(2, 1) && where(2, 1) < where(1, 2) &&
        where(1, 2) < where(2, 2)) {
      out.failure = "order";
    }
    return out;
  }
};

// Every interleaving of the threads' steps, with its number of switches from the plain order.
void interleavings(std::vector<int> left, int running, int switches, std::vector<int>* counts) {
  std::vector<int> live;
  for (int t = 1; t <= static_cast<int>(left.size()); ++t) {
    if (left[t - 1] > 0) live.push_back(t);
  }
  if (live.empty()) {
    ++(*counts)[static_cast<std::size_t>(std::min(switches, 3))];
    return;
  }
  const int plain = plainPick(left, live, running);
  for (int t : live) {
    --left[t - 1];
    interleavings(left, t, switches + (live.size() > 1 && t != plain), counts);
    ++left[t - 1];
  }
}

TEST(Explore, BoundedSearchFindsTheTwoSwitchFaultAndCountsItsSpace) {
  struct Case {
    bool faulty;
    std::vector<int> steps;
  };
  for (const Case& c : {Case{true, {4, 2}}, Case{false, {4, 2}}, Case{false, {3, 2, 2}}}) {
    SCOPED_TRACE(c.steps.size());
    std::vector<int> counts(4, 0);
    interleavings(c.steps, 1, 0, &counts);
    const FakeProgram program{c.steps, c.faulty};
    ExploreOptions options;
    options.budget = 1 + counts[1] + counts[2] + 10;
    const Exploration result = explore(program, options);
    if (c.faulty) {
      ASSERT_TRUE(result.found);
      EXPECT_EQ(result.found->strategy, Strategy::kBounded);
      EXPECT_EQ(result.found->failure, "order");
      EXPECT_EQ(result.tally.total(), result.found->index);
      continue;
    }
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.tally.boundedSpace, counts[1] + counts[2]);
    EXPECT_TRUE(result.tally.boundedAll);
    EXPECT_EQ(result.tally.total(), options.budget);
    EXPECT_EQ(result.tally.walks, 10);
  }
}

TEST(Explore, ShortestDropsTheSwitchesTheFaultDoesNotNeed) {
  const FakeProgram program{{4, 2, 3}};
  // Thread 3 cut in twice, which the fault needs not; then the two switches it needs.
  const std::string plan = overridePlan({{1, 3}, {2, 1}, {3, 2}, {4, 1}});
  ASSERT_EQ(program(plan).failure, "order");
  ASSERT_GT(switchesOf(program(plan)).size(), 2u);
  const Shortest shortest = shortestFailing(program, plan, "order");
  ASSERT_TRUE(shortest.reproduced);
  EXPECT_EQ(shortest.overrides.size(), 2u);
  EXPECT_EQ(program(shortest.plan).failure, "order");
}

TEST(Explore, ScheduleIsTheSameWhateverTheBudgetOrTheWorkers) {
  // Too many near schedules for the budget: the walks find it.
  const FakeProgram program{{10, 10, 10}};
  std::optional<Found> first;
  for (const auto& [budget, jobs] : {std::pair{300, 1}, std::pair{300, 3}, std::pair{400, 2}}) {
    ExploreOptions options;
    options.budget = budget;
    options.jobs = jobs;
    options.seed = 7;
    const Exploration result = explore(program, options);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.tally.bounded, 0);
    EXPECT_EQ(result.tally.total(), result.found->index);
    if (!first) first = result.found;
    EXPECT_EQ(result.found->index, first->index);
    EXPECT_EQ(result.found->plan, first->plan);
    EXPECT_EQ(program(result.found->plan).failure, "order");
  }
}

// Bob sees the barber awake; the barber, let go in his place, finds the queue empty and goes
// to bed; then Bob sits down. Bob prints his sitting down before the barber prints his going to
// bed, and waits: the story follows the queue lock, not the prints, and leaves the wait out.
TEST(NumberedStory, TellsTheCriticalSectionsInTheOrderTheyHappened) {
  RunRecord run;
  run.roster = {{"Ann", 0, 100}, {"Bob", 50, 100}};
  run.end = RunEnd::kStuck;
  run.control.controlled = true;
  SyncObject queue;
  queue.oid = 1;
  queue.symbol = "WaitQueue::fgLock";
  run.control.objects.push_back(queue);
  struct Step {
    int tid;
    SyncOp op;
    const char* format;  // a print's line, else null
    Kind kind;
  };
  constexpr int kBob = 1;
  const Step steps[] = {{3, SyncOp::kSleep, nullptr, Kind::kTorn},
                        {3, SyncOp::kPrint, kSeeNotSleeping, Kind::kSeeNotSleeping},
                        {1, SyncOp::kLock, nullptr, Kind::kTorn},
                        {1, SyncOp::kUnlock, nullptr, Kind::kTorn},
                        {3, SyncOp::kLock, nullptr, Kind::kTorn},
                        {3, SyncOp::kUnlock, nullptr, Kind::kTorn},
                        {3, SyncOp::kPrint, kGotChair, Kind::kGotChair},
                        {3, SyncOp::kPrint, kWaiting, Kind::kWaiting},
                        {1, SyncOp::kPrint, kBarberToBed, Kind::kBarberToBed}};
  for (const Step& s : steps) {
    SyncStep step;
    step.n = static_cast<int>(run.control.steps.size()) + 1;
    step.tid = s.tid;
    step.at = Micros{1000 * step.n};
    step.op = s.op;
    step.oid = s.op == SyncOp::kLock || s.op == SyncOp::kUnlock ? queue.oid : 0;
    if (s.format != nullptr) {
      std::string text = s.format;
      const bool aboutBob = text.find("%s") != std::string::npos;
      if (aboutBob) text.replace(text.find("%s"), 2, "Bob");
      Event event;
      event.us = step.at.count;
      event.kind = s.kind;
      event.who = aboutBob ? kBob : -1;
      event.text = text;
      run.events.push_back(event);
      step.arg = static_cast<std::int64_t>(text.size());
    }
    run.control.steps.push_back(step);
  }
  Choice choice;
  choice.k = 1;
  choice.beforeStep = 3;
  choice.pick = 1;
  choice.plainPick = 3;
  run.control.choices.push_back(choice);
  Verdict verdict;
  verdict.complete = false;
  verdict.stuck = true;
  verdict.unfinished = {kBob};
  const std::vector<StoryStep> story = numberedStory(run, verdict);
  std::vector<std::string> texts;
  for (const StoryStep& step : story) texts.push_back(step.text);
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Bob sees the barber awake",
                                      "the barber finds the queue empty and goes to bed",
                                      "Bob sits down in a waiting chair: nobody will wake him"}));
  // Each at its action: the look just after Bob's arrival, the two unlocks of the queue lock.
  ASSERT_EQ(story.size(), 3u);
  EXPECT_EQ(story[0].at.count, 1000);
  EXPECT_EQ(story[1].at.count, 4000);
  EXPECT_EQ(story[2].at.count, 6000);
  EXPECT_EQ(stepNumber(2), "\u2461");
  EXPECT_EQ(stepNumber(21), "(21)");
  verdict.complete = true;
  verdict.stuck = false;
  EXPECT_TRUE(numberedStory(run, verdict).empty());
}

}  // namespace
