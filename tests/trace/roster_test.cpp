// Roster files, the built-in scenarios and the seeded draw.

#include "trace/reading/roster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "trace/judging/schedule.h"

namespace {

const std::string kHeader = "id,delay_ms,cut_ms\n";

// "id:delay/cut" for each customer, space-separated.
std::string listed(const Roster& roster) {
  std::string text;
  for (const RosterEntry& entry : roster) {
    text += (text.empty() ? "" : " ") + entry.id + ":" + std::to_string(entry.delayMs) + "/" +
            std::to_string(entry.cuttingMs);
  }
  return text;
}

std::string rows(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "c" + std::to_string(i) + ",0,1\n";
  return text;
}

struct BadRoster {
  int line;
  std::string phrase;  // what the message must say
  std::string text;
};

class RosterFile : public testing::TestWithParam<BadRoster> {};

TEST_P(RosterFile, NamesTheLineAndTheFault) {
  Roster roster;
  std::string error;
  ASSERT_FALSE(parseRoster(GetParam().text, "roster.csv", &roster, &error));
  EXPECT_EQ(error.rfind("roster.csv:" + std::to_string(GetParam().line) + ": ", 0), 0u) << error;
  EXPECT_NE(error.find(GetParam().phrase), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RosterFile,
    testing::Values(BadRoster{1, "expected the header id,delay_ms,cut_ms", "Ann,0,500\n"},
                    BadRoster{2, "expected the header", "# shop\nid,delay,cut\nAnn,0,1\n"},
                    BadRoster{1, "no customers", ""},
                    BadRoster{3, "no customers", kHeader + "\n# none\n"},
                    BadRoster{2, "expected 3 fields (id,delay_ms,cut_ms), found 2",
                              kHeader + "Ann,0\n"},
                    BadRoster{2, "delay_ms must be a whole number", kHeader + "Ann,soon,1\n"},
                    BadRoster{2, "delay_ms must be", kHeader + "Ann,-5,1\n"},
                    BadRoster{2, "delay_ms must be", kHeader + "Ann,1 0,1\n"},
                    BadRoster{2, "cut_ms must be", kHeader + "Ann,0,3600001\n"},
                    BadRoster{4, "cut_ms must be a whole number from 0 to 3600000, not \"12.5\"",
                              kHeader + "\nAnn,0,1\nBob,0,12.5\n"},
                    BadRoster{2, "the ID is 35 bytes long; at most 34 fit",
                              kHeader + std::string(35, 'x') + ",0,1\n"},
                    BadRoster{2, "line break", kHeader + "A\rB,0,1\n"},
                    BadRoster{12, "more than 10 customers", kHeader + rows(11)},
                    BadRoster{2, "unterminated quote", kHeader + "\"Ann,0,1\n"},
                    BadRoster{2, "misplaced quote", kHeader + "An\"n,0,1\n"}));

TEST(RosterFile, ReadsQuotesCommentsAndCrlf) {
  const std::string k34(34, 'x');
  const std::string text =
      "\xEF\xBB\xBF# Tuesday\r\n\r\n id , delay_ms , cut_ms\r\n\"Lee, Ann\",0,500\r\n"
      "\"Bob \"\"the Knife\"\"\",  100 ,3600000\r\n   # after a blank\r\n,7,0\r\n" +
      k34 + ",1,2\r\nLee\xff,3,3\r\nLee\xff,4,4";
  Roster roster;
  std::string error;
  ASSERT_TRUE(parseRoster(text, "r.csv", &roster, &error)) << error;
  // An empty ID, namesakes and bytes that are not UTF-8 are all the menu's to take.
  EXPECT_EQ(listed(roster), "Lee, Ann:0/500 Bob \"the Knife\":100/3600000 :7/0 " + k34 +
                                ":1/2 Lee\xff:3/3 Lee\xff:4/4");
}

TEST(RosterFile, SaysWhyItCannotRead) {
  Roster roster;
  std::string error;
  EXPECT_FALSE(readRosterFile("/nonexistent/roster.csv", &roster, &error));
  EXPECT_EQ(error, "/nonexistent/roster.csv: cannot read: No such file or directory");
}

TEST(RandomRoster, DrawsAsTheProgramDoes) {
  // Computed once with the program's own draw: std::minstd_rand0 seeded with 5, then
  // uniform_int_distribution<int>(0, 10000) for a delay and (500, 2000) for a cutting time,
  // alternately.
  EXPECT_EQ(listed(randomRoster(10, 5)),
            "0:0/1487 1:7781/940 2:6639/642 3:2352/1091 4:3965/1510 5:9176/1396 6:1548/759 "
            "7:2673/1473 8:3557/557 9:9171/1001");
  EXPECT_EQ(listed(randomRoster(2, 5)), "0:0/1487 1:7781/940");
  // Seeds that reduce to 0 start the engine from 1, as in the program.
  for (std::uint32_t seed : {0u, 2147483647u, 4294967294u}) {
    EXPECT_EQ(listed(randomRoster(1, seed)), "0:0/697") << seed;
  }
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    for (const RosterEntry& entry : randomRoster(10, seed)) {
      EXPECT_TRUE(entry.delayMs >= 0 && entry.delayMs <= 10000) << seed;
      EXPECT_TRUE(entry.cuttingMs >= 500 && entry.cuttingMs <= 2000) << seed;
    }
  }
  EXPECT_EQ(listed(slowed({{"a", 7, 3600000}}, kMaxSlow)), "a:700/360000000");
}

TEST(Scenarios, AreValidRostersThatShowTheirLesson) {
  // Each scenario's name and its outcomes: wakes the barber / waits / sent away.
  const std::vector<std::pair<std::string, std::vector<int>>> shapes = {
      {"lone", {1, 0, 0}},      {"wake-up-race", {1, 1, 0}}, {"full-house", {1, 6, 3}},
      {"trickle", {5, 0, 0}},   {"zero-cuts", {10, 0, 0}},   {"last-chair", {1, 6, 1}},
      {"close-call", {2, 0, 0}}};
  ASSERT_EQ(scenarios().size(), shapes.size());
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const Scenario& scenario = scenarios()[i];
    EXPECT_EQ(scenario.name, shapes[i].first);
    EXPECT_EQ(findScenario(scenario.name), &scenario);
    EXPECT_FALSE(scenario.lesson.empty());
    // Written out as a roster file, it must pass every check a user's file does.
    std::string text = kHeader;
    for (const RosterEntry& entry : scenario.roster) {
      text += "\"" + entry.id + "\"," + std::to_string(entry.delayMs) + "," +
              std::to_string(entry.cuttingMs) + "\n";
    }
    Roster parsed;
    std::string error;
    EXPECT_TRUE(parseRoster(text, scenario.name, &parsed, &error)) << error;
    std::vector<int> outcomes(3);
    for (const PlannedVisit& visit : exactSchedule(scenario.roster).visits) {
      ++outcomes[static_cast<int>(visit.outcome)];
    }
    EXPECT_EQ(outcomes, shapes[i].second) << scenario.name;
  }
  EXPECT_EQ(findScenario("Lone"), nullptr);
}

}  // namespace
