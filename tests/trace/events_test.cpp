// Reading the program's run output back: every narration form, state blocks, torn text.

#include "trace/reading/events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

Roster rosterOf(const std::vector<std::string>& ids) {
  Roster roster;
  for (const std::string& id : ids) roster.push_back({id, 0, 0});
  return roster;
}

struct LineCase {
  std::string text;  // as the program prints it
  Kind kind;
  std::string id;
};

class Narration : public testing::TestWithParam<LineCase> {};

TEST_P(Narration, IsReadAsItsKindAndCustomer) {
  RunParser parser(rosterOf({"Ann", "%s", "a: b"}));
  std::vector<Event> events = parser.feed(GetParam().text, 1500);
  // Torn text waits to see what follows it; the end of the run settles it.
  for (Event& event : parser.finish(1500)) events.push_back(event);
  ASSERT_EQ(events.size(), 1u) << GetParam().text;
  EXPECT_EQ(events[0].kind, GetParam().kind);
  EXPECT_EQ(events[0].id, GetParam().id);
  if (GetParam().kind != Kind::kTorn) {
    EXPECT_EQ(events[0].text, GetParam().text);
  }
  EXPECT_EQ(events[0].us, 1500);
}

// The texts are the program's own, copied as it prints them.
INSTANTIATE_TEST_SUITE_P(
    EveryForm, Narration,
    testing::Values(
        LineCase{"\n[[Barber going to bed]]\n", Kind::kBarberToBed, ""},
        LineCase{"\n[[Barber woken up]]\n", Kind::kBarberWokenUp, ""},
        LineCase{"\n[[start cutting: customer Ann]]\n", Kind::kStartCutting, "Ann"},
        LineCase{"\n[[finish cutting: customer Ann]]\n", Kind::kFinishCutting, "Ann"},
        LineCase{"\n<<Customer Ann: see Barber sleeping>>\n", Kind::kSeeSleeping, "Ann"},
        LineCase{"\n<<Customer Ann: try to wake up barber>>\n", Kind::kTryToWake, "Ann"},
        LineCase{"\n<<Customer Ann: woken up barber successfully>>\n", Kind::kWokeBarber, "Ann"},
        LineCase{"\n<<Customer Ann: failed to wake up barber>>\n", Kind::kFailedToWake, "Ann"},
        LineCase{"\n<<Customer Ann: see Barber not sleeping>>\n", Kind::kSeeNotSleeping, "Ann"},
        LineCase{"\n<<Customer Ann: see WaitQueue full, go away>>\n", Kind::kQueueFull, "Ann"},
        LineCase{"\n<<Customer Ann: see WaitQueue not full, try to get a chair to sit down>>\n",
                 Kind::kTryForChair, "Ann"},
        LineCase{"\n<<Customer Ann: got a chair successfully>>\n", Kind::kGotChair, "Ann"},
        LineCase{"\n<<Customer Ann: failed to get a chair, go away>>\n", Kind::kNoChair, "Ann"},
        LineCase{"\n<<Customer Ann : waiting>>\n", Kind::kWaiting, "Ann"},
        LineCase{"\n<<Customer Ann: go away after being cut>>\n", Kind::kLeaveCut, "Ann"},
        LineCase{"\nFinished all customers.\n", Kind::kClosing, ""},
        // IDs print as they are: a format in an ID, or an ID that looks like a line's end.
        LineCase{"\n<<Customer %s: got a chair successfully>>\n", Kind::kGotChair, "%s"},
        LineCase{"\n<<Customer a: b: see Barber sleeping>>\n", Kind::kSeeSleeping, "a: b"},
        LineCase{"\n<<Customer Ann: see Barber sleepy>>\n", Kind::kTorn, ""},
        LineCase{"\n<<Customer Ann: see Barber\n", Kind::kTorn, ""}));

TEST(StateBlock, IsSplitIntoItsListsWithRosterIdsSettlingBrackets) {
  RunParser parser(rosterOf({"a]", "[b", "c", "d"}));
  std::vector<Event> events = parser.feed(
      "Curr: {c}\nWait Queue: [a]][[b]\nFinished: [d]\nGo away: [c]\n"
      "------------------------\n",
      7);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Kind::kState);
  EXPECT_EQ(events[0].state.chair, "c");
  EXPECT_EQ(events[0].state.queue, (std::vector<std::string>{"a]", "[b"}));
  EXPECT_EQ(events[0].state.finished, std::vector<std::string>{"d"});
  EXPECT_EQ(events[0].state.gone, std::vector<std::string>{"c"});

  events = parser.feed("Curr: \nWait Queue: \n------------------------\n", 8);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_FALSE(events[0].state.chair);
  EXPECT_TRUE(events[0].state.queue.empty() && events[0].state.gone.empty());
}

TEST(StateBlock, ListsThatSplitTwoWaysAreMarkedAndCountedAtTheFewest) {
  // "[a][b]" is one customer "a][b" or two, "a" and "b": the block cannot tell.
  RunParser parser(rosterOf({"a][b", "a", "b"}));
  std::vector<Event> events =
      parser.feed("Curr: \nWait Queue: [a][b][a][b][a][b][a][b]\n------------------------\n", 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].state.ambiguous);
  EXPECT_EQ(events[0].state.fewestWaiting, 4u);
  // With only "a][b" and "a" on the roster, "Finished: [a][b]" is the one customer.
  RunParser two(rosterOf({"a][b", "a"}));
  events = two.feed("Curr: \nWait Queue: \nFinished: [a][b]\n------------------------\n", 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_FALSE(events[0].state.ambiguous);
  EXPECT_EQ(events[0].state.finished, std::vector<std::string>{"a][b"});
}

TEST(StateBlock, ThatCannotBeSplitIsTornTextReadInLinearTime) {
  // Every prefix of "[a][a]...[a]x" splits, the whole never does: a search that backtracks
  // doubles its work with each entry. Forty thousand entries must still be read at once.
  std::string queue;
  for (int i = 0; i < 40000; ++i) queue += "[a]";
  RunParser parser(rosterOf({"a", "a]["}));
  std::vector<Event> events =
      parser.feed("Curr: \nWait Queue: " + queue + "x\n------------------------\n", 1);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].kind, Kind::kTorn);
}

TEST(RunParser, GivesTheSameEventsHoweverTheOutputIsCut) {
  const std::string run =
      "\n<<Customer A: see Barber sleeping>>\n\n[[Barber woken up]]\n"
      "Curr: {A}\nWait Queue: \n------------------------\n"
      "\n<<Customer A : waiting>>\n\nFinished all customers.\nMenu:\n";
  for (std::size_t cut = 0; cut <= run.size(); ++cut) {
    RunParser parser(rosterOf({"A"}));
    std::vector<Event> events = parser.feed(run.substr(0, cut), 1);
    for (Event& event : parser.feed(run.substr(cut), 2)) events.push_back(event);
    ASSERT_EQ(events.size(), 5u) << cut;
    EXPECT_EQ(events[2].kind, Kind::kState);
    EXPECT_EQ(events[4].kind, Kind::kClosing);
    EXPECT_EQ(events[4].us, cut >= run.find("Menu:") ? 1 : 2);  // when its last byte came
    EXPECT_TRUE(parser.closed());
    EXPECT_EQ(parser.takeRest(), "Menu:\n") << cut;
  }
}

TEST(RunParser, ReadsTheLinesInsideATornBlock) {
  RunParser parser(rosterOf({"A", "B"}));
  std::vector<Event> events = parser.feed(
      "Curr: {A}\nWait Queue: \n<<Customer B: got a chair successfully>>\n"
      "------------------------\n\nFinished all customers.\n",
      3);
  std::vector<Kind> kinds;
  for (const Event& event : events) kinds.push_back(event.kind);
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::kTorn, Kind::kTorn, Kind::kGotChair, Kind::kTorn,
                                      Kind::kClosing}));
}

TEST(RunParser, FinishTurnsWhatIsLeftIntoTornText) {
  RunParser parser(rosterOf({"A"}));
  EXPECT_TRUE(parser.feed("\n<<Customer A: see Bar", 1).empty());
  std::vector<Event> events = parser.finish(9);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Kind::kTorn);
  EXPECT_EQ(events[0].text, "\n<<Customer A: see Bar");
}

}  // namespace
