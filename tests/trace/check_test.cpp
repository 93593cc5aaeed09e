// The verdict: a run that keeps the rules holds, and each rule, broken on purpose, is named.

#include "trace/judging/check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/narration.h"
#include "trace/judging/analysis.h"
#include "trace/reading/events.h"
#include "trace/judging/schedule.h"

namespace {

// A run written step by step with the program's own formats, then read back by the parser.
class Script {
 public:
  Script& at(double ms) {
    us_ = static_cast<std::int64_t>(ms * 1000);
    return *this;
  }
  Script& say(std::string format, const char* id = "") {
    std::size_t hole = format.find("%s");
    if (hole != std::string::npos) format.replace(hole, 2, id);
    return text(format);
  }
  Script& block(const std::string& chair, const std::string& queue,
                const std::string& finished = "", const std::string& gone = "") {
    if (std::exchange(skip_block_, false)) return *this;
    std::string text = std::string(kCurrLabel) + (chair.empty() ? "" : "{" + chair + "}") + "\n" +
                       kWaitLabel + queue + "\n";
    if (!finished.empty()) text += kFinishedLabel + finished + "\n";
    if (!gone.empty()) text += kGoneLabel + gone + "\n";
    return this->text(text + kBlockRule);
  }
  Script& skipNextBlock() {
    skip_block_ = true;
    return *this;
  }
  Script& text(const std::string& bytes) {
    chunks_.emplace_back(bytes, us_);
    return *this;
  }

  RunRecord record(const Roster& roster, RunEnd end = RunEnd::kClosed) const {
    RunRecord run;
    run.roster = roster;
    std::vector<std::string> ids;
    for (const RosterEntry& entry : roster) ids.push_back(entry.id);
    RunParser parser(ids);
    for (const auto& [bytes, us] : chunks_) {
      for (Event& event : parser.feed(bytes, us)) run.events.push_back(event);
    }
    for (Event& event : parser.finish(us_)) run.events.push_back(event);
    run.end = end;
    run.endUs = us_;
    return run;
  }

 private:
  std::int64_t us_ = 0;
  bool skip_block_ = false;
  std::vector<std::pair<std::string, std::int64_t>> chunks_;
};

const Roster kThree = {{"A", 0, 100}, {"B", 10, 50}, {"C", 20, 50}};

// A wakes the barber; B and C sit and are cut in turn.
Script threeCustomers(const std::function<void(Script&, int)>& change = nullptr) {
  Script s;
  auto step = [&](int n) {
    if (change) change(s, n);
  };
  s.at(0).say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp);
  s.say(kStartCutting, "A").say(kWokeBarber, "A").block("A", "").say(kWaiting, "A");
  step(1);
  s.at(10).say(kSeeNotSleeping, "B").say(kTryForChair, "B").block("A", "");
  s.say(kGotChair, "B").block("A", "[B]").say(kWaiting, "B");
  step(2);
  s.at(20).say(kSeeNotSleeping, "C").say(kTryForChair, "C").block("A", "[B]");
  s.say(kGotChair, "C").block("A", "[B][C]").say(kWaiting, "C");
  step(3);
  s.at(100).say(kFinishCutting, "A").say(kLeaveCut, "A").block("", "[B][C]", "[A]");
  step(4);
  s.say(kStartCutting, "B");
  step(5);
  s.at(150).say(kFinishCutting, "B").say(kStartCutting, "C").say(kLeaveCut, "B");
  s.block("C", "", "[A][B]");
  step(6);
  s.at(200).say(kFinishCutting, "C").say(kLeaveCut, "C").block("", "", "[A][B][C]");
  s.say(kBarberToBed).say(kClosing);
  return s;
}

// The start of several planted runs: A wakes the barber at 0, B sits down at 10.
Script aWakesBSits() {
  Script s;
  s.at(0).say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp);
  s.say(kStartCutting, "A").say(kWokeBarber, "A").block("A", "").say(kWaiting, "A");
  s.at(10).say(kSeeNotSleeping, "B").say(kTryForChair, "B").block("A", "");
  s.say(kGotChair, "B").block("A", "[B]").say(kWaiting, "B");
  return s;
}

// And C sits down behind B at 20.
Script aWakesBAndCSit() {
  Script s = aWakesBSits();
  s.at(20).say(kSeeNotSleeping, "C").say(kTryForChair, "C").block("A", "[B]");
  s.say(kGotChair, "C").block("A", "[B][C]").say(kWaiting, "C");
  return s;
}

Verdict verdictOf(const RunRecord& run) {
  return checkRun(run, analyse(run, exactSchedule(run.roster)));
}

std::vector<std::string> rules(const Verdict& verdict) {
  std::vector<std::string> found;
  for (const Finding& finding : verdict.broken) found.push_back(finding.rule);
  return found;
}

TEST(Check, ARunThatKeepsTheRulesHolds) {
  Verdict verdict = verdictOf(threeCustomers().record(kThree));
  EXPECT_TRUE(verdict.holds()) << testing::PrintToString(rules(verdict));
  EXPECT_TRUE(verdict.races.empty());
}

struct Planted {
  const char* what;
  std::function<Script()> run;
  const char* rule;  // the rule the verdict must name
};

class BrokenRule : public testing::TestWithParam<Planted> {};

TEST_P(BrokenRule, IsNamed) {
  Verdict verdict = verdictOf(GetParam().run().record(kThree));
  std::vector<std::string> found = rules(verdict);
  EXPECT_NE(std::find(found.begin(), found.end(), GetParam().rule), found.end())
      << GetParam().what << ": " << testing::PrintToString(found);
  for (const Finding& finding : verdict.broken) EXPECT_FALSE(finding.what.empty());
}

INSTANTIATE_TEST_SUITE_P(
    OnePerRule, BrokenRule,
    testing::Values(
        Planted{"A leaves twice",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 4) s.say(kLeaveCut, "A").block("", "[B][C]", "[A]");
                  });
                },
                "one-way-out"},
        Planted{"C is cut while B is in the chair",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 5) s.say(kStartCutting, "C");
                  });
                },
                "one-in-chair"},
        Planted{"seven wait on six chairs",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 3) s.block("", "[B][C][B][C][B][C][B]", "[A]");
                  });
                },
                "queue-capacity"},
        Planted{"C is served before B, who sat first",
                [] {
                  Script s = aWakesBAndCSit();
                  s.at(100).say(kFinishCutting, "A").say(kLeaveCut, "A");
                  s.block("", "[B][C]", "[A]").say(kStartCutting, "C").at(150);
                  s.say(kFinishCutting, "C").say(kStartCutting, "B").say(kLeaveCut, "C");
                  s.block("B", "", "[A][C]").at(200).say(kFinishCutting, "B").say(kLeaveCut, "B");
                  s.block("", "", "[A][C][B]").say(kBarberToBed).say(kClosing);
                  return s;
                },
                "served-in-order"},
        Planted{"B leaves before its finish line",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 5) s.say(kLeaveCut, "B").block("B", "[C]", "[A]");
                  });
                },
                "released-after-finish"},
        Planted{"the last run's finished list was never emptied",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 6) s.block("", "", "[Z][A][B]");
                  });
                },
                "block-shows-shop"},
        Planted{"a line written into another",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 2) s.text("\n<<Customer C: see Ba\n[[Barber woken up]]\n");
                  });
                },
                "no-torn-line"},
        Planted{"a state block missing",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 5) s.skipNextBlock();
                  });
                },
                "state-blocks"},
        Planted{"C goes away with one chair taken",
                [] {
                  Script s = aWakesBSits();
                  s.at(20).say(kSeeNotSleeping, "C").say(kQueueFull, "C");
                  s.block("A", "[B]", "", "[C]").at(100).say(kFinishCutting, "A");
                  s.say(kLeaveCut, "A").block("", "[B]", "[A]", "[C]").say(kStartCutting, "B");
                  s.at(150).say(kFinishCutting, "B").say(kLeaveCut, "B");
                  s.block("", "", "[A][B]", "[C]").say(kBarberToBed).say(kClosing);
                  return s;
                },
                "outcome-as-scheduled"},
        Planted{"a customer nobody has heard of",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 1) s.say(kSeeNotSleeping, "Zed");
                  });
                },
                "known-customers"},
        Planted{"the barber woken twice by one wake-up",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 1) s.say(kBarberWokenUp);
                  });
                },
                "one-wake-up-each"},
        Planted{"B, who sat, is cut straight after a wake-up",
                [] {
                  return threeCustomers([](Script& s, int n) {
                    if (n == 4) s.say(kBarberWokenUp);
                  });
                },
                "cut-as-handed-over"},
        Planted{"C sits and is never cut",
                [] {
                  Script s = aWakesBAndCSit();
                  s.at(100).say(kFinishCutting, "A").say(kLeaveCut, "A");
                  s.block("", "[B][C]", "[A]").say(kStartCutting, "B").at(150);
                  s.say(kFinishCutting, "B").say(kLeaveCut, "B").block("", "", "[A][B]");
                  s.say(kBarberToBed).say(kClosing);
                  return s;
                },
                "everyone-seated-is-cut"}));

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
  Verdict verdict = verdictOf(s.record(roster));
  EXPECT_TRUE(verdict.holds()) << testing::PrintToString(rules(verdict));
  ASSERT_FALSE(verdict.races.empty());
  EXPECT_EQ(verdict.races[0].apartMs, 0);
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
  std::vector<std::string> found = rules(verdictOf(s.record(roster)));
  EXPECT_NE(std::find(found.begin(), found.end(), "no-sleep-while-waiting"), found.end())
      << testing::PrintToString(found);
}

TEST(Check, AStuckRunNamesWhoIsStuckAndHow) {
  // The lost wake-up: B sits down just as the barber goes to bed, and nobody comes after.
  const Roster roster = {{"A", 0, 100}, {"B", 100, 50}};
  Script s;
  s.say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp).say(kStartCutting, "A");
  s.say(kWokeBarber, "A").block("A", "").say(kWaiting, "A").at(100).say(kFinishCutting, "A");
  s.say(kSeeNotSleeping, "B").say(kLeaveCut, "A").say(kTryForChair, "B");
  s.block("", "", "[A]").say(kBarberToBed).block("", "", "[A]").say(kGotChair, "B");
  s.block("", "[B]", "[A]").say(kWaiting, "B").at(2250);
  Verdict verdict = verdictOf(s.record(roster, RunEnd::kStuck));
  EXPECT_FALSE(verdict.holds());
  EXPECT_FALSE(verdict.complete);
  EXPECT_NE(verdict.stuck.find("B sat in the queue"), std::string::npos) << verdict.stuck;
  EXPECT_NE(verdict.stuck.find("nobody woke him"), std::string::npos) << verdict.stuck;
}

}  // namespace
