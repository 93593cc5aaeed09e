// The verdict: a run that keeps the rules holds, and each rule, broken on purpose, is named.

#include "trace/judging/check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/trace/known_runs.h"
#include "trace/judging/finish.h"
#include "trace/reading/event_log.h"

namespace {

const Roster kThree = {{"A", 0, 100}, {"B", 10, 50}, {"C", 20, 50}};

// The start of several planted runs: A wakes the barber at 0, B sits down at 10.
Script aWakesBSits() {
  Script s;
  s.at(0).say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp);
  s.say(kStartCutting, "A").say(kWokeBarber, "A").block("A", "").say(kWaiting, "A");
  s.at(10).say(kSeeNotSleeping, "B").say(kTryForChair, "B").block("A", "");
  s.say(kGotChair, "B").block("A", "[B]").say(kWaiting, "B");
  return s;
}

// And after `beforeC`, C sits down behind B at 20; A leaves at 100, then `rest`.
Script upToALeaves(const std::function<void(Script&)>& rest,
                   const std::function<void(Script&)>& beforeC = nullptr) {
  Script s = aWakesBSits();
  if (beforeC) beforeC(s);
  s.at(20).say(kSeeNotSleeping, "C").say(kTryForChair, "C").block("A", "[B]");
  s.say(kGotChair, "C").block("A", "[B][C]").say(kWaiting, "C");
  s.at(100).say(kFinishCutting, "A").say(kLeaveCut, "A").block("", "[B][C]", "[A]");
  rest(s);
  return s;
}

// The rest of a run that keeps the rules: B and C are cut in turn and the shop closes.
void bThenC(Script& s) {
  s.say(kStartCutting, "B").at(150).say(kFinishCutting, "B").say(kStartCutting, "C");
  s.say(kLeaveCut, "B").block("C", "", "[A][B]").at(200).say(kFinishCutting, "C");
  s.say(kLeaveCut, "C").block("", "", "[A][B][C]").say(kBarberToBed).say(kClosing);
}

Verdict verdictOf(const RunRecord& run) { return finish(run).verdict; }

std::vector<std::string> rules(const Verdict& verdict) {
  std::vector<std::string> found;
  for (const Finding& finding : verdict.broken) {
    if (std::find(found.begin(), found.end(), finding.rule) == found.end()) {
      found.push_back(finding.rule);
    }
  }
  return found;
}

TEST(Check, ARunThatKeepsTheRulesHolds) {
  Verdict verdict = verdictOf(upToALeaves(bThenC).record(kThree));
  EXPECT_TRUE(verdict.holds()) << testing::PrintToString(rules(verdict));
  EXPECT_TRUE(verdict.notes.empty()) << testing::PrintToString(verdict.notes);
}

struct Planted {
  const char* what;
  std::function<Script()> run;
  const char* rule;  // the one rule the verdict must name
};

class BrokenRule : public testing::TestWithParam<Planted> {};

TEST_P(BrokenRule, IsTheOneNamed) {
  Verdict verdict = verdictOf(GetParam().run().record(kThree));
  EXPECT_EQ(rules(verdict), std::vector<std::string>{GetParam().rule}) << GetParam().what;
  for (const Finding& finding : verdict.broken) EXPECT_FALSE(finding.what.empty());
}

INSTANTIATE_TEST_SUITE_P(
    OnePerRule, BrokenRule,
    testing::Values(
        Planted{"A leaves twice",
                [] {
                  return upToALeaves(
                      [](Script& s) { bThenC(s.say(kLeaveCut, "A").block("", "[B][C]", "[A]")); });
                },
                "one-way-out"},
        Planted{"a customer nobody has heard of",
                [] { return upToALeaves([](Script& s) { bThenC(s.say(kSeeSleeping, "Zed")); }); },
                "one-way-out"},
        Planted{"C is cut while B is in the chair, and B finished after",
                [] {
                  return upToALeaves([](Script& s) {
                    s.say(kStartCutting, "B").say(kStartCutting, "C").at(150);
                    s.say(kFinishCutting, "B").say(kLeaveCut, "B").block("C", "", "[A][B]");
                    s.at(200).say(kFinishCutting, "C").say(kLeaveCut, "C");
                    s.block("", "", "[A][B][C]").say(kBarberToBed).say(kClosing);
                  });
                },
                "one-in-chair"},
        Planted{"seven wait on six chairs",
                [] {
                  return upToALeaves(
                      [](Script& s) { bThenC(s.block("", "[B][B][B][B][B][B][B]", "[A]")); });
                },
                "queue-capacity"},
        Planted{"C is served before B, who sat first",
                [] {
                  return upToALeaves([](Script& s) {
                    s.say(kStartCutting, "C").at(150);
                    s.say(kFinishCutting, "C").say(kStartCutting, "B").say(kLeaveCut, "C");
                    s.block("B", "", "[A][C]").at(200).say(kFinishCutting, "B");
                    s.say(kLeaveCut, "B").block("", "", "[A][C][B]").say(kBarberToBed);
                    s.say(kClosing);
                  });
                },
                "served-in-order"},
        Planted{"B is cut twice",
                [] {
                  return upToALeaves([](Script& s) {
                    s.say(kStartCutting, "B").at(150).say(kFinishCutting, "B");
                    s.say(kStartCutting, "B").say(kFinishCutting, "B").say(kLeaveCut, "B");
                    s.block("", "[C]", "[A][B][B]").say(kStartCutting, "C").at(200);
                    s.say(kFinishCutting, "C").say(kLeaveCut, "C");
                    s.block("", "", "[A][B][B][C]").say(kBarberToBed).say(kClosing);
                  });
                },
                "everyone-seated-is-cut"},
        Planted{"B leaves before its finish line",
                [] {
                  return upToALeaves([](Script& s) {
                    s.say(kStartCutting, "B").say(kLeaveCut, "B").block("B", "[C]", "[A]");
                    s.at(150).say(kFinishCutting, "B").say(kStartCutting, "C").at(200);
                    s.say(kFinishCutting, "C").say(kLeaveCut, "C");
                    s.block("", "", "[A][B][C]").say(kBarberToBed).say(kClosing);
                  });
                },
                "released-after-finish"},
        Planted{"a line written into another",
                [] {
                  // The block that took the rest of C's line shows a chair nobody is in.
                  return upToALeaves(bThenC, [](Script& s) {
                    s.text("\n<<Customer C: see Ba\n").block("A<C", "[B]");
                  });
                },
                "no-torn-line"}),
    [](const testing::TestParamInfo<Planted>& planted) {
      std::string name = planted.param.rule + std::to_string(planted.index);
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

TEST(Check, ArrivalsAtOneMomentAreARaceNotAFault) {
  // Both come at 0; the schedule has A, first on the roster, wake him, but B got there first.
  const Roster roster = {{"A", 0, 100}, {"B", 0, 50}};
  Script s;
  s.say(kSeeSleeping, "B").say(kSeeSleeping, "A").say(kTryToWake, "B").say(kTryToWake, "A");
  s.say(kBarberWokenUp).say(kStartCutting, "B").say(kWokeBarber, "B").block("B", "");
  s.say(kFailedToWake, "A").say(kSeeNotSleeping, "A").say(kWaiting, "B").say(kTryForChair, "A");
  s.block("B", "").say(kGotChair, "A").block("B", "[A]").say(kWaiting, "A");
  s.at(50).say(kFinishCutting, "B").say(kStartCutting, "A").say(kLeaveCut, "B");
  s.block("A", "", "[B]").at(150).say(kFinishCutting, "A").say(kLeaveCut, "A");
  s.block("", "", "[B][A]").say(kBarberToBed).say(kClosing);
  const FinishedRun run = finish(s.record(roster));
  EXPECT_TRUE(run.verdict.holds()) << testing::PrintToString(rules(run.verdict));
  ASSERT_EQ(run.analysis.races.size(), 1u);
  EXPECT_EQ(run.analysis.races[0].winner, 1);
}

TEST(Check, AnOutcomeTheScheduleDidNotPlanIsANoteNotAFault) {
  // C comes at 20 and finds every chair taken though only B waits: a late or racing thread, or
  // a program that turns customers away too soon; the lines alone cannot say, so it is a note.
  Script s = aWakesBSits();
  s.at(20).say(kSeeNotSleeping, "C").say(kQueueFull, "C");
  s.block("A", "[B]", "", "[C]").at(100).say(kFinishCutting, "A");
  s.say(kLeaveCut, "A").block("", "[B]", "[A]", "[C]").say(kStartCutting, "B");
  s.at(150).say(kFinishCutting, "B").say(kLeaveCut, "B");
  s.block("", "", "[A][B]", "[C]").say(kBarberToBed).say(kClosing);
  const Verdict verdict = verdictOf(s.record(kThree));
  EXPECT_TRUE(verdict.holds()) << testing::PrintToString(rules(verdict));
  ASSERT_EQ(verdict.notes.size(), 1u);
  EXPECT_NE(verdict.notes[0].find("C went away: every chair taken; the plan has it wait"),
            std::string::npos)
      << verdict.notes[0];
}

TEST(Check, NamesakesAreToldApartByTheOrderOfTheirLines) {
  // Two customers called A: the first has gone when the second comes.
  const Roster roster = {{"A", 0, 100}, {"A", 200, 100}};
  Script s;
  for (int start : {0, 200}) {
    s.at(start).say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp);
    s.say(kStartCutting, "A").say(kWokeBarber, "A");
    s.block("A", "", start == 0 ? "" : "[A]").say(kWaiting, "A").at(start + 100);
    s.say(kFinishCutting, "A").say(kLeaveCut, "A");
    s.block("A", "", start == 0 ? "[A]" : "[A][A]").say(kBarberToBed);
  }
  s.say(kClosing);
  const FinishedRun run = finish(s.record(roster));
  EXPECT_TRUE(run.verdict.holds()) << testing::PrintToString(rules(run.verdict));
  EXPECT_DOUBLE_EQ(run.analysis.customers[1].cutStartMs.value_or(0), 200);
  EXPECT_TRUE(run.attribution.alike.empty());
}

// Two customers called A come together: one wakes the barber and is cut for `first` ms, the
// other sits and is cut for `second`.
Script twoAsTogether(int first, int second) {
  Script s;
  s.say(kSeeSleeping, "A").say(kSeeSleeping, "A").say(kTryToWake, "A").say(kTryToWake, "A");
  s.say(kBarberWokenUp).say(kStartCutting, "A").say(kWokeBarber, "A").block("A", "");
  s.say(kFailedToWake, "A").say(kSeeNotSleeping, "A").say(kWaiting, "A").say(kTryForChair, "A");
  s.block("A", "").say(kGotChair, "A").block("A", "[A]").say(kWaiting, "A");
  s.at(first).say(kFinishCutting, "A").say(kStartCutting, "A").say(kLeaveCut, "A");
  s.block("A", "", "[A]").at(first + second).say(kFinishCutting, "A").say(kLeaveCut, "A");
  s.block("", "", "[A][A]").say(kBarberToBed).say(kClosing);
  return s;
}

TEST(Check, NamesakesTheTextCannotTellApartAreSaidSoNeverBroken) {
  // Their cuts a millisecond apart: who woke him and who sat is a guess.
  const Verdict verdict = verdictOf(twoAsTogether(50, 50).record({{"A", 0, 50}, {"A", 0, 51}}));
  EXPECT_TRUE(verdict.holds()) << testing::PrintToString(rules(verdict));
  ASSERT_FALSE(verdict.notes.empty());
  EXPECT_EQ(verdict.notes[0].rfind("A #1 and A #2 cannot be told apart here", 0), 0u)
      << testing::PrintToString(verdict.notes);
}

TEST(Check, NamesakesAreToldApartByTheLengthOfTheirCuts) {
  // The second on the roster woke him: the 300 ms cut came first.
  const FinishedRun run = finish(twoAsTogether(300, 50).record({{"A", 0, 50}, {"A", 0, 300}}));
  EXPECT_TRUE(run.verdict.holds()) << testing::PrintToString(rules(run.verdict));
  EXPECT_TRUE(run.attribution.alike.empty());
  EXPECT_DOUBLE_EQ(run.analysis.customers[1].cutStartMs.value_or(-1), 0);
  EXPECT_DOUBLE_EQ(run.analysis.customers[0].cutStartMs.value_or(-1), 300);
}

TEST(Check, ABarberAsleepWithSomebodyWaitingIsALostWakeUp) {
  // B sits down just as the barber goes to bed; only C, coming later, gets him up again.
  const Roster roster = {{"A", 0, 100}, {"B", 100, 50}, {"C", 300, 50}};
  Script s;
  s.say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp).say(kStartCutting, "A");
  s.say(kWokeBarber, "A").block("A", "").say(kWaiting, "A").at(100).say(kFinishCutting, "A");
  s.say(kSeeNotSleeping, "B").say(kLeaveCut, "A").say(kTryForChair, "B");
  s.block("", "", "[A]").say(kBarberToBed).say(kGotChair, "B").block("", "[B]", "[A]");
  s.say(kWaiting, "B").at(300).say(kSeeSleeping, "C").say(kTryToWake, "C").say(kBarberWokenUp);
  s.say(kStartCutting, "C").say(kWokeBarber, "C").block("C", "[B]", "[A]").say(kWaiting, "C");
  s.at(350).say(kFinishCutting, "C").say(kStartCutting, "B").say(kLeaveCut, "C");
  s.block("B", "", "[A][C]").at(400).say(kFinishCutting, "B").say(kLeaveCut, "B");
  s.block("", "", "[A][C][B]").say(kBarberToBed).say(kClosing);
  const Verdict verdict = verdictOf(s.record(roster));
  ASSERT_EQ(rules(verdict), std::vector<std::string>{"served-in-order"});
  EXPECT_NE(verdict.broken[0].what.find("a lost wake-up"), std::string::npos);
}

// Runs of the correct shop in which ten customers share one ID, saved when a reading that kept
// only a ranked few sharings of their lines judged them broken.
TEST(Check, NamesakesOfTheCorrectShopNeverBreakARule) {
  for (const char* name : {"ten-called-a.jsonl", "ten-called-a-2.jsonl"}) {
    std::ifstream file(std::string(BARBERSHOP_SOURCE_DIR) + "/tests/trace/logs/" + name);
    std::stringstream text;
    text << file.rdbuf();
    RunRecord run;
    std::string error, warning;
    ASSERT_TRUE(readLog(text.str(), name, &run, &error, &warning)) << error;
    const Verdict verdict = verdictOf(run);
    EXPECT_TRUE(verdict.holds()) << name << ": " << verdict.broken.at(0).what;
  }
}

struct Stuck {
  const char* what;
  Roster roster;
  std::function<Script()> run;
  std::vector<const char*> story;  // pieces the stuck verdict's story must tell
};

class StuckRun : public testing::TestWithParam<Stuck> {};

TEST_P(StuckRun, NamesWhoIsStuckAndHow) {
  Verdict verdict = verdictOf(GetParam().run().record(GetParam().roster, RunEnd::kStuck));
  EXPECT_FALSE(verdict.holds());
  EXPECT_TRUE(verdict.stuck);
  for (const char* piece : GetParam().story) {
    EXPECT_NE(verdict.stuckStory.find(piece), std::string::npos) << verdict.stuckStory;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stories, StuckRun,
    testing::Values(
        Stuck{"B sits down just as the barber goes to bed, and nobody comes after",
              {{"A", 0, 100}, {"B", 100, 50}},
              [] {
                Script s;
                s.say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp);
                s.say(kStartCutting, "A").say(kWokeBarber, "A").block("A", "").say(kWaiting, "A");
                s.at(100).say(kFinishCutting, "A").say(kSeeNotSleeping, "B").say(kLeaveCut, "A");
                s.say(kTryForChair, "B").block("", "", "[A]").say(kBarberToBed);
                s.block("", "", "[A]").say(kGotChair, "B").block("", "[B]", "[A]");
                s.say(kWaiting, "B").at(2250);
                return s;
              },
              {"B sat in the queue", "the barber went to bed at 100.0 ms and nobody woke him"}},
        Stuck{"A and B both wake him; he cuts B only and goes to bed",
              {{"A", 100, 500}, {"B", 100, 500}},
              [] {
                Script s;
                s.at(100).say(kSeeSleeping, "A").say(kSeeSleeping, "B").say(kTryToWake, "B");
                s.say(kTryToWake, "A").say(kBarberWokenUp).say(kWokeBarber, "B");
                s.block("B", "").say(kStartCutting, "B").say(kWokeBarber, "A").block("B", "");
                s.say(kWaiting, "B").say(kWaiting, "A").at(600).say(kFinishCutting, "B");
                s.say(kLeaveCut, "B").block("", "", "[B]").say(kBarberToBed).at(2250);
                return s;
              },
              {"A woke the barber at 100.0 ms but was never cut (B woke him too",
               "went to bed at 600.0 ms"}}));

TEST(Check, ATearIsShownWithWhatCameBetweenItsPieces) {
  // C's line comes out in the middle of B's block.
  Script s = aWakesBSits();
  s.text(std::string(kCurrLabel) + "{A}\nWait Qu").say(kSeeNotSleeping, "C");
  s.text("eue: [B]\n" + std::string(kBlockRule));
  const FinishedRun run = finish(s.record(kThree, RunEnd::kStuck));
  ASSERT_EQ(rules(run.verdict), std::vector<std::string>{"no-torn-line"});
  std::string shown;
  for (std::size_t line : run.verdict.broken[0].events) shown += run.record.events[line].text;
  EXPECT_NE(shown.find("Curr: {A}"), std::string::npos) << shown;
  EXPECT_NE(shown.find("C: see Barber not sleeping"), std::string::npos) << shown;
  EXPECT_NE(shown.find("eue: [B]"), std::string::npos) << shown;
}

}  // namespace
