// The run page and the session page draw the story of a few hand-written runs: the player's data
// and the lanes say what the story says, a controlled run's locks, waits and numbered story, and
// the session page's rows.

#include "trace/files/page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tests/trace/known_runs.h"
#include "trace/files/page_sync.h"
#include "trace/files/session_page.h"

namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The JSON inside the element that opens with `open`.
nlohmann::json embedded(const std::string& page, const std::string& open) {
  const std::size_t from = page.find(open);
  EXPECT_NE(from, std::string::npos) << open;
  const std::size_t start = from + open.size();
  return nlohmann::json::parse(page.substr(start, page.find("</script>", start) - start));
}

const KnownRun& wakeThenWait() { return knownRuns()[0]; }

class RunPage : public testing::TestWithParam<KnownRun> {};

// The player draws the story's shop: the same moments, read by name.
TEST_P(RunPage, CarriesTheStorysShopForThePlayer) {
  const FinishedRun run = finish(recordOf(GetParam()));
  const std::string page = htmlPage(run);
  const nlohmann::json data =
      embedded(page, "<script type=\"application/json\" id=\"player-data\">");
  ASSERT_EQ(data["lineUs"].size(), run.record.events.size());
  EXPECT_EQ(data["endUs"], run.story.end.count);
  ASSERT_EQ(data["shop"].size(), run.story.shop.size());
  for (std::size_t k = 0; k < run.story.shop.size(); ++k) {
    const ShopMoment& m = run.story.shop[k];
    const nlohmann::json& d = data["shop"][k];
    EXPECT_EQ(d["lines"], m.lines);
    EXPECT_EQ(d["barber"], barberWord(m.shop.barber));
    EXPECT_EQ(d["chair"], m.shop.chair);
    EXPECT_EQ(d["queue"].get<std::vector<int>>(), m.shop.queue);
    EXPECT_EQ(d["door"].get<std::vector<int>>(), m.shop.door);
    EXPECT_EQ(d["cut"].get<std::vector<int>>(), m.shop.cut);
    EXPECT_EQ(d["away"].get<std::vector<int>>(), m.shop.away);
    EXPECT_EQ(d["early"].get<std::vector<int>>(), m.shop.early);
  }
}

// Each customer's lane has a bar for each stay the story has it waiting or being cut, over the
// same microseconds.
TEST_P(RunPage, DrawsEachLaneFromTheStorysStays) {
  const FinishedRun run = finish(recordOf(GetParam()));
  const std::string page = htmlPage(run);
  for (std::size_t who = 0; who < run.story.visits.size(); ++who) {
    SCOPED_TRACE(who);
    const std::size_t from =
        page.find("<g data-lane=\"customer\" data-who=\"" + std::to_string(who) + "\"");
    ASSERT_NE(from, std::string::npos);
    const std::string lane = page.substr(from, page.find("</g>", from) - from);
    for (const Stay& stay : run.story.visits[who].stays) {
      const bool drawn =
          stay.to > stay.from && (stay.cutting || stay.place == Place::kQueue ||
                                  stay.place == Place::kDoor || stay.place == Place::kChair);
      const std::string bar = std::string("class=\"") + (stay.cutting ? "cut" : "wait") + "\"";
      const std::string times = "data-t0=\"" + std::to_string(stay.from.count) + "\" data-t1=\"" +
                                std::to_string(stay.to.count) + "\"";
      const std::size_t at = lane.find(times);
      EXPECT_EQ(at != std::string::npos, drawn) << placeName(stay.place) << " " << times;
      if (drawn && at != std::string::npos) {
        const std::size_t open = lane.rfind("<rect", at);
        EXPECT_NE(lane.substr(open, at - open).find(bar), std::string::npos) << times;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(KnownRuns, RunPage, testing::ValuesIn(knownRuns()),
                         [](const testing::TestParamInfo<KnownRun>& param) {
                           return std::string(param.param.name);
                         });

TEST(RunPage, CountsItsCustomersInItsTitle) {
  for (std::size_t customers : {1, 2}) {
    KnownRun run = wakeThenWait();
    run.roster.resize(customers);
    const std::string page = htmlPage(finish(recordOf(run)));
    const std::string title =
        customers == 1 ? "\xC2\xB7 1 customer \xC2\xB7" : "\xC2\xB7 2 customers \xC2\xB7";
    EXPECT_NE(page.find("<title>barbershop run 1 " + title), std::string::npos) << customers;
  }
}

struct Marked {
  const char* what;
  std::vector<int> broken;  // the positions a finding names
  bool complete;
  std::vector<int> unfinished;
  std::vector<bool> marked;  // Ann's lane and Bob's
};

void PrintTo(const Marked& marked, std::ostream* out) { *out << marked.what; }

class MarkedLanes : public testing::TestWithParam<Marked> {};

TEST_P(MarkedLanes, AreTheCustomersTheVerdictNames) {
  FinishedRun run = finish(recordOf(wakeThenWait()));
  if (!GetParam().broken.empty())
    run.verdict.broken.push_back({"one-in-chair", "two in the chair", {3}, GetParam().broken});
  run.verdict.complete = GetParam().complete;
  run.verdict.unfinished = GetParam().unfinished;
  const std::string page = htmlPage(run);
  const char* lanes[] = {"data-who=\"0\" data-id=\"Ann\" class=\"fault\"",
                         "data-who=\"1\" data-id=\"Bob\" class=\"fault\""};
  const char* tokens[] = {"token fault\" data-who=\"0\"", "token fault\" data-who=\"1\""};
  for (std::size_t who = 0; who < 2; ++who) {
    EXPECT_EQ(count(page, lanes[who]), GetParam().marked[who] ? 1u : 0u) << who;
    EXPECT_EQ(count(page, tokens[who]) > 0, GetParam().marked[who]) << who;
  }
  const bool any = GetParam().marked[0] || GetParam().marked[1];
  EXPECT_EQ(page.find("a customer the verdict names") != std::string::npos, any);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, MarkedLanes,
    testing::Values(Marked{"None", {}, true, {}, {false, false}},
                    Marked{"AFinding", {1}, true, {}, {false, true}},
                    // Those left in a finished run's shop are no fault of it.
                    Marked{"FinishedRunsUnfinished", {}, true, {0}, {false, false}},
                    Marked{"AStuckRun", {}, false, {0}, {true, false}},
                    Marked{"Both", {0}, false, {1}, {true, true}}),
    [](const testing::TestParamInfo<Marked>& param) { return std::string(param.param.what); });

TEST(RunPage, NamesAVariantAndShowsItsChangeAsText) {
  FinishedRun run = finish(recordOf(wakeThenWait()));
  EXPECT_EQ(htmlPage(run).find("class=\"variant\""), std::string::npos);
  run.record.variant = "late-clear";
  run.record.variantChange = "--- a/sim/barber.cpp\n+  if (a < b && <script>) {}\n";
  const std::string page = htmlPage(run);
  const std::size_t variant = page.find("<h2>A broken variant: late-clear</h2>");
  ASSERT_NE(variant, std::string::npos);
  EXPECT_LT(page.find("class=\"verdict"), variant);
  EXPECT_LT(variant, page.find("id=\"shop\""));
  EXPECT_NE(
      page.find("<pre>--- a/sim/barber.cpp\n+  if (a &lt; b &amp;&amp; &lt;script&gt;) {}\n</pre>"),
      std::string::npos);
}

// The known first run as a controlled one: Ann holds the queue lock while Bob comes to it, her
// unlock lets him in; the barber's post of Bob's cut ends Bob's wait; the console prints once
// in the run; the main thread held a lock only before the Run. Ann's last lock never went on.
// The console is the eighth object the program showed (the rest play no part), so a colour
// chosen by object number would repeat the queue lock's.
FinishedRun controlled() {
  FinishedRun run = finish(recordOf(wakeThenWait()));
  ControlRecord& c = run.record.control;
  c.controlled = true;
  c.threads = {{0, -1, 0}, {1, 0, 0}, {2, 0, 0}, {3, 2, 0x1000}, {4, 2, 0x2000}};
  c.objects = {{1, true, 0x9000, 0x100, 0, "WaitQueue::fgLock"},
               {8, false, 0x9100, 0x200, 1, "gHCout"},
               {3, false, 0x2040, -1, 0, ""},
               {4, true, 0x9200, 0x300, 0, ""}};
  auto step = [&](int tid, std::int64_t us, SyncOp op, int oid, int cause) {
    c.steps.push_back(
        {static_cast<int>(c.steps.size()) + 1, tid, Micros{us}, op, oid, 0, 0, cause});
  };
  step(0, -500, SyncOp::kLock, 4, 0);
  step(0, -400, SyncOp::kUnlock, 4, 0);
  step(3, 1000, SyncOp::kLock, 1, 0);
  step(4, 1500, SyncOp::kSleep, 0, 0);
  step(3, 2000, SyncOp::kUnlock, 1, 0);
  step(4, 2000, SyncOp::kLock, 1, 5);
  step(4, 2500, SyncOp::kUnlock, 1, 0);
  step(4, 2600, SyncOp::kPrint, 0, 0);
  step(1, 5000, SyncOp::kPost, 3, 0);
  step(4, 5000, SyncOp::kWait, 3, 9);
  step(2, 6000, SyncOp::kWait, 8, 0);
  step(2, 6000, SyncOp::kPost, 8, 0);
  c.choices.push_back({1, 13, ChoiceWhy::kGo, 2, 2, {{3, SyncOp::kLock, 4, 0, false}}});
  return run;
}

// The SVG element of `cls` over [t0, t1] (data-t0/t1, or an arrow's data-ta/tb), if drawn.
std::string drawn(const std::string& page, const std::string& cls, std::int64_t t0,
                  std::int64_t t1) {
  const bool arrow = cls == "cause";
  const std::string times = (arrow ? "data-ta=\"" : "data-t0=\"") + std::to_string(t0) +
                            (arrow ? "\" data-tb=\"" : "\" data-t1=\"") + std::to_string(t1) + "\"";
  for (std::size_t at = page.find("class=\"" + cls + "\""); at != std::string::npos;
       at = page.find("class=\"" + cls + "\"", at + 1)) {
    const std::string element = page.substr(at, page.find("</", at) - at);
    if (element.find(times) != std::string::npos) return element;
  }
  return "";
}

TEST(RunPage, DrawsAControlledRunsLocksWaitsAndWhatEndedThem) {
  const FinishedRun run = controlled();
  const std::string page = htmlPage(run);
  struct Mark {
    const char* cls;
    std::int64_t t0, t1;
    const char* tip;
  };
  const Mark marks[] = {
      {"held k0", 1000, 2000,
       "Ann held the queue lock, 1.0\xE2\x80\x93"
       "2.0 ms"},
      // Drawn 1 µs after the step before where they share its instant; told in virtual time.
      {"held k0", 2001, 2500, "Bob held the queue lock"},
      {"held k1", 6000, 6001, "Console held the console"},
      {"waited", 1500, 2001,
       "Bob waited for the queue lock, 1.5\xE2\x80\x93"
       "2.0 ms; then Ann lets go of the queue lock"},
      {"waited", 2600, 5001, "Bob waited for Bob&#39;s cut"},
      {"waited", 2000, run.story.end.count, "Ann waited for lock 4 from 2.0 ms and was still"},
      {"cause", 2000, 2001, "Ann lets go of the queue lock at 2.0 ms: Bob goes on"},
      {"cause", 5000, 5001, "Barber lets Bob go at 5.0 ms: Bob goes on"},
  };
  for (const Mark& mark : marks) {
    const std::string element = drawn(page, mark.cls, mark.t0, mark.t1);
    EXPECT_NE(element.find(mark.tip), std::string::npos)
        << mark.cls << " " << mark.t0 << ": " << element;
  }
  EXPECT_EQ(count(page, "class=\"held "), 3u + 2);     // and a legend entry for each lock
  EXPECT_EQ(count(page, "class=\"waited\""), 3u + 1);  // and its legend entry
  EXPECT_EQ(count(page, "class=\"cause\""), 2u + 1);
  // The console took part in the run and has a lane; the main thread did not.
  EXPECT_EQ(count(page, "data-lane=\"thread\""), 1u);
  EXPECT_NE(page.find("data-lane=\"thread\" data-name=\"Console\""), std::string::npos);
  for (const char* key :
       {"held the queue lock", "held the console", "controlled run, virtual time"})
    EXPECT_NE(page.find(key), std::string::npos) << key;
}

// A controlled run's steps of one instant stand apart on the lanes, its ruler says it reads
// virtual time and the player gets the drawing's scale; a real-time run is drawn at its times.
TEST(RunPage, DrawsTheStepsOfOneInstantApartOnlyForAControlledRun) {
  for (const bool isControlled : {true, false}) {
    SCOPED_TRACE(isControlled);
    FinishedRun run = controlled();
    run.record.control.controlled = isControlled;
    const std::string page = htmlPage(run);
    EXPECT_EQ(page.find("id=\"spread-data\"") != std::string::npos, isControlled);
    EXPECT_EQ(page.find("virtual time; the steps of one instant drawn apart") != std::string::npos,
              isControlled);
    if (isControlled) {
      // Ann's unlock and Bob's lock it let go, both at 2.0 ms, 1 µs apart on the drawing; the
      // player lays the lanes out by these times at every zoom.
      EXPECT_NE(drawn(page, "cause", 2000, 2001).find("at 2.0 ms"), std::string::npos);
      continue;
    }
    for (std::size_t i = 0; i < run.record.events.size(); ++i) {
      EXPECT_NE(page.find("id=\"e-" + std::to_string(i) + "\" class=\"mark\" data-t=\"" +
                          std::to_string(run.record.events[i].us) + "\""),
                std::string::npos)
          << i;
    }
  }
}

// A real-time run's page has no locks, no waits, no numbered story, and says what it was.
TEST(RunPage, DrawsNoSynchronisationForARealTimeRun) {
  FinishedRun run = controlled();
  run.record.control.controlled = false;
  const std::string page = htmlPage(run);
  for (const char* none :
       {"class=\"sync\"", "class=\"held", "data-lane=\"thread\"", "id=\"story\""})
    EXPECT_EQ(page.find(none), std::string::npos) << none;
  EXPECT_NE(page.find("<p class=\"meta\">real-time run</p>"), std::string::npos);
}

TEST(RunPage, LinksEachStepOfTheNumberedStoryToItsInstant) {
  FinishedRun run = controlled();
  run.numbered = {{Micros{3000}, 2, "Ann wakes the barber"}, {Micros{4500}, -1, "Bob <waits>"}};
  const std::string page = htmlPage(run);
  const std::size_t story = page.find("<ol id=\"story\"");
  ASSERT_NE(story, std::string::npos);
  EXPECT_LT(page.find("</h1>"), story);
  EXPECT_LT(story, page.find("id=\"verdict\""));
  EXPECT_NE(page.find("<a href=\"#n-2\" data-e=\"2\" data-t=\"3000\" title=\"at 3.0 ms\">"
                      "\xE2\x91\xA0 Ann wakes the barber</a>"),
            std::string::npos);
  EXPECT_NE(page.find("<a href=\"#t=4.5\" data-t=\"4500\" title=\"at 4.5 ms\">"
                      "\xE2\x91\xA1 Bob &lt;waits&gt;</a>"),
            std::string::npos);
}

// A run still going, drawn by the live view, says so where its verdict will be; what judging it
// so far would find (stuck, a broken rule, a story) waits for its end. Its locks are drawn.
TEST(RunPage, JudgesNothingOfARunStillGoing) {
  FinishedRun run = controlled();
  run.verdict.complete = false;
  run.verdict.unfinished = {1};
  run.verdict.broken.push_back({"one-in-chair", "two in the chair", {3}, {0}});
  run.numbered = {{Micros{3000}, 2, "Ann wakes the barber"}};
  for (const bool going : {false, true}) {
    SCOPED_TRACE(going);
    run.record.going = going;
    const std::string page = htmlPage(run);
    EXPECT_EQ(page.find("class=\"verdict going\"") != std::string::npos, going);
    EXPECT_EQ(page.find("\xC2\xB7 still running</title>") != std::string::npos, going);
    for (const char* judged : {"\xE2\x9C\x98 Verdict:", "<strong>one-in-chair</strong>",
                               "id=\"story\"", "class=\"fault\""})
      EXPECT_EQ(page.find(judged) != std::string::npos, !going) << judged;
    EXPECT_NE(page.find("class=\"held k0\""), std::string::npos);
  }
}

// A run of the known first one, numbered `number`, in which Bob woke the barber when `bobWoke`.
FinishedRun numbered(int number, bool bobWoke) {
  FinishedRun run = finish(recordOf(wakeThenWait()));
  run.record.number = number;
  if (bobWoke) run.analysis.customers[1].outcome = Outcome::kWoke;
  return run;
}

TEST(SessionPage, ListsEveryRunInOrderWithItsEndingAndLink) {
  SessionPage page;
  for (int number : {3, 1, 2}) page.add(numbered(number, number == 2));
  const std::string html = page.html();
  std::size_t last = 0;
  for (const char* row : {"<tr id=\"run-1\"><th scope=\"row\"><a href=\"run-1.html\">",
                          "<tr id=\"run-2\"><th scope=\"row\"><a href=\"run-2.html\">",
                          "<tr id=\"run-3\"><th scope=\"row\"><a href=\"run-3.html\">"}) {
    const std::size_t at = html.find(row);
    ASSERT_NE(at, std::string::npos) << row;
    EXPECT_GT(at, last) << row;
    last = at;
  }
  // Two of three runs had Bob wait: that ending comes first; run 2's is the second.
  EXPECT_NE(html.find("ending 1: Ann woke the barber \xC2\xB7 Bob waited in the queue"),
            std::string::npos);
  EXPECT_NE(html.find("2 of 3, first in run 1"), std::string::npos);
  EXPECT_LT(html.find("run-2.html"), html.find("<a href=\"#ending-2\">ending 2</a>"));
  EXPECT_LT(html.find("<a href=\"#ending-2\">ending 2</a>"), html.find("run-3.html"));
  const nlohmann::json data =
      embedded(html, "<script type=\"application/json\" id=\"session-data\">");
  ASSERT_EQ(data["runs"].size(), 3u);
  EXPECT_EQ(data["runs"][1]["n"], 2);
  EXPECT_EQ(data["runs"][1]["ending"], 2);
  EXPECT_EQ(data["rosters"], nlohmann::json::parse("[[\"Ann\", \"Bob\"]]"));
}

TEST(SessionPage, HoldsTheLanesOfTheFirstRunsOnlyAndSaysSo) {
  SessionPage page;
  for (std::size_t n = 1; n <= kComparedRuns + 3; ++n)
    page.add(numbered(static_cast<int>(n), false));
  const std::string html = page.html();
  EXPECT_EQ(count(html, "<tr id=\"run-"), kComparedRuns + 3);
  const nlohmann::json data =
      embedded(html, "<script type=\"application/json\" id=\"session-data\">");
  EXPECT_EQ(data["runs"].size(), kComparedRuns);
  EXPECT_NE(html.find("holds the first " + std::to_string(kComparedRuns) +
                      " runs of the session's " + std::to_string(kComparedRuns + 3)),
            std::string::npos);
}

TEST(SessionPage, KeepsANameFromEndingItsScript) {
  KnownRun run = wakeThenWait();
  run.roster[1].id = "</script><b>";
  for (Step& step : run.steps) {
    for (std::size_t at; (at = step.text.find("Bob")) != std::string::npos;)
      step.text.replace(at, 3, run.roster[1].id);
  }
  SessionPage page;
  page.add(finish(recordOf(run)));
  const std::string html = page.html();
  EXPECT_EQ(html.find("</script><b>"), std::string::npos);
  const nlohmann::json data =
      embedded(html, "<script type=\"application/json\" id=\"session-data\">");
  EXPECT_EQ(data["rosters"][0][1], "</script><b>");
}

}  // namespace
