// The run page's player and the session page: the shop the player draws after each line of a few
// hand-written runs, the data and marks the page carries for it, and the session page's rows.

#include "trace/files/page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "core/narration.h"
#include "trace/files/session_page.h"
#include "trace/files/shop_frames.h"

namespace {

std::string said(std::string format, const std::string& id = "") {
  const std::size_t hole = format.find("%s");
  if (hole != std::string::npos) format.replace(hole, 2, id);
  return format;
}

std::string block(const std::string& chair, const std::string& queue,
                  const std::string& finished = "", const std::string& gone = "") {
  return std::string(kCurrLabel) + (chair.empty() ? "" : "{" + chair + "}") + "\n" + kWaitLabel +
         queue + "\n" + (finished.empty() ? "" : kFinishedLabel + finished + "\n") +
         (gone.empty() ? "" : kGoneLabel + gone + "\n") + kBlockRule;
}

// A line of a run and, unless empty, the shop the player must draw once it is out.
struct Step {
  std::string text;
  std::string after;
};

struct KnownRun {
  const char* name;
  Roster roster;
  std::vector<Step> steps;
};

// A frame in words: "cutting chair=Ann queue=[Bob Cat] door=[] cut=[] away=[] lists 0/0".
std::string described(const ShopFrame& frame, const Roster& roster) {
  auto names = [&](const std::vector<int>& who) {
    std::string out = "[";
    for (std::size_t i = 0; i < who.size(); ++i)
      out += (i ? " " : "") + customerName(roster, who[i]);
    return out + "]";
  };
  const char* barber[] = {"asleep", "awake", "cutting"};
  return std::string(barber[static_cast<int>(frame.barber)]) +
         " chair=" + (frame.chair < 0 ? "-" : customerName(roster, frame.chair)) +
         " queue=" + names(frame.queue) + " door=" + names(frame.door) +
         " cut=" + names(frame.cut) + " away=" + names(frame.away) + " lists " +
         std::to_string(frame.finished) + "/" + std::to_string(frame.gone);
}

void PrintTo(const KnownRun& run, std::ostream* out) { *out << run.name; }

RunRecord recordOf(const KnownRun& run) {
  RunRecord record;
  record.roster = run.roster;
  const IdBook book(record.roster);
  std::int64_t us = 0;
  for (const Step& step : run.steps) {
    std::optional<Event> event = parseLine(step.text, book);
    EXPECT_TRUE(event.has_value()) << step.text;
    if (!event) continue;
    event->us = us += 1000;
    record.events.push_back(*event);
  }
  record.endUs = us;
  return record;
}

// Ann wakes the barber, Bob sits and is cut after her; each leaves through the cut list.
KnownRun wakeThenWaitRun() {
  return KnownRun{
      "WakeThenWait",
      {{"Ann", 0, 100}, {"Bob", 10, 50}},
      {{said(kSeeSleeping, "Ann"), "asleep chair=- queue=[] door=[Ann] cut=[] away=[] lists 0/0"},
       {said(kTryToWake, "Ann"), ""},
       {said(kWokeBarber, "Ann"), "asleep chair=Ann queue=[] door=[] cut=[] away=[] lists 0/0"},
       {said(kBarberWokenUp), "awake chair=Ann queue=[] door=[] cut=[] away=[] lists 0/0"},
       {said(kStartCutting, "Ann"), "cutting chair=Ann queue=[] door=[] cut=[] away=[] lists 0/0"},
       {block("Ann", ""), ""},
       {said(kWaiting, "Ann"), ""},
       {said(kSeeNotSleeping, "Bob"),
        "cutting chair=Ann queue=[] door=[Bob] cut=[] away=[] lists 0/0"},
       {said(kTryForChair, "Bob"), ""},
       {block("Ann", ""), ""},
       {said(kGotChair, "Bob"), "cutting chair=Ann queue=[Bob] door=[] cut=[] away=[] lists 0/0"},
       {block("Ann", "[Bob]"), ""},
       {said(kWaiting, "Bob"), ""},
       {said(kFinishCutting, "Ann"),
        "awake chair=Ann queue=[Bob] door=[] cut=[] away=[] lists 1/0"},
       {said(kLeaveCut, "Ann"), "awake chair=- queue=[Bob] door=[] cut=[Ann] away=[] lists 1/0"},
       {said(kStartCutting, "Bob"),
        "cutting chair=Bob queue=[] door=[] cut=[Ann] away=[] lists 1/0"},
       // The block catches the chair not yet emptied after Bob's cut: the block wins.
       {said(kFinishCutting, "Bob"), ""},
       {said(kLeaveCut, "Bob"), "awake chair=- queue=[] door=[] cut=[Ann Bob] away=[] lists 2/0"},
       {block("Bob", "", "[Ann][Bob]"),
        "awake chair=Bob queue=[] door=[] cut=[Ann] away=[] lists 2/0"},
       {said(kBarberToBed), "asleep chair=- queue=[] door=[] cut=[Ann Bob] away=[] lists 2/0"},
       {said(kClosing), ""}}};
}

// Two sit in one order by their lines and the other by the queue: the block's order wins;
// a block that catches Bob between his chair and the barber's leaves him standing.
KnownRun blockOrdersRun() {
  return KnownRun{"TheBlockOrdersTheQueue",
                  {{"Ann", 0, 100}, {"Bob", 10, 50}, {"Cat", 10, 50}},
                  {{said(kSeeSleeping, "Ann"), ""},
                   {said(kTryToWake, "Ann"), ""},
                   {said(kWokeBarber, "Ann"), ""},
                   {said(kBarberWokenUp), ""},
                   {said(kStartCutting, "Ann"), ""},
                   {said(kSeeNotSleeping, "Bob"), ""},
                   {said(kSeeNotSleeping, "Cat"),
                    "cutting chair=Ann queue=[] door=[Bob Cat] cut=[] away=[] lists 0/0"},
                   {said(kTryForChair, "Bob"), ""},
                   {said(kTryForChair, "Cat"), ""},
                   {said(kGotChair, "Cat"),
                    "cutting chair=Ann queue=[Cat] door=[Bob] cut=[] away=[] lists 0/0"},
                   {said(kGotChair, "Bob"),
                    "cutting chair=Ann queue=[Cat Bob] door=[] cut=[] away=[] lists 0/0"},
                   {block("Ann", "[Bob][Cat]"),
                    "cutting chair=Ann queue=[Bob Cat] door=[] cut=[] away=[] lists 0/0"},
                   {said(kWaiting, "Ann"), ""},
                   {said(kFinishCutting, "Ann"), ""},
                   {said(kLeaveCut, "Ann"), ""},
                   {block("", "[Cat]", "[Ann]"),
                    "awake chair=- queue=[Cat] door=[Bob] cut=[Ann] away=[] lists 1/0"},
                   {said(kStartCutting, "Bob"),
                    "cutting chair=Bob queue=[Cat] door=[] cut=[Ann] away=[] lists 1/0"}}};
}

// Namesakes: the A listed later comes, and sits, first; the block's "[A][A]" keeps them in
// that order, and the one who finds the queue full goes on the go-away list.
KnownRun namesakesRun() {
  return KnownRun{
      "NamesakesKeepTheirPlaces",
      {{"W", 0, 100}, {"A", 9, 50}, {"A", 6, 50}, {"C", 12, 50}},
      {{said(kSeeSleeping, "W"), ""},
       {said(kTryToWake, "W"), ""},
       {said(kWokeBarber, "W"), ""},
       {said(kBarberWokenUp), ""},
       {said(kStartCutting, "W"), ""},
       {said(kSeeNotSleeping, "A"), ""},
       {said(kTryForChair, "A"), ""},
       {said(kGotChair, "A"), ""},
       {said(kSeeNotSleeping, "A"), ""},
       {said(kTryForChair, "A"), ""},
       {said(kGotChair, "A"), ""},
       {block("W", "[A][A]"), "cutting chair=W queue=[A #3 A #2] door=[] cut=[] away=[] lists 0/0"},
       {said(kSeeNotSleeping, "C"), ""},
       {said(kQueueFull, "C"),
        "cutting chair=W queue=[A #3 A #2] door=[] cut=[] away=[C] lists 0/1"},
       {block("W", "[A][A]", "", "[C]"),
        "cutting chair=W queue=[A #3 A #2] door=[] cut=[] away=[C] lists 0/1"}}};
}

// The waker sits in the chair before the barber's bed line is out: the chair stays his.
KnownRun wakerBeforeBedRun() {
  return KnownRun{
      "AWakerBeforeTheBedLine",
      {{"Ann", 0, 50}, {"Bob", 60, 50}},
      {{said(kSeeSleeping, "Ann"), ""},
       {said(kTryToWake, "Ann"), ""},
       {said(kWokeBarber, "Ann"), ""},
       {said(kBarberWokenUp), ""},
       {said(kStartCutting, "Ann"), ""},
       {said(kFinishCutting, "Ann"), ""},
       {said(kLeaveCut, "Ann"), ""},
       {said(kSeeSleeping, "Bob"), ""},
       {said(kTryToWake, "Bob"), ""},
       {said(kWokeBarber, "Bob"), "awake chair=Bob queue=[] door=[] cut=[Ann] away=[] lists 1/0"},
       {said(kBarberToBed), "asleep chair=Bob queue=[] door=[] cut=[Ann] away=[] lists 1/0"},
       {said(kBarberWokenUp), "awake chair=Bob queue=[] door=[] cut=[Ann] away=[] lists 1/0"}}};
}

const std::vector<KnownRun>& knownRuns() {
  static const std::vector<KnownRun> kRuns = {wakeThenWaitRun(), blockOrdersRun(), namesakesRun(),
                                              wakerBeforeBedRun()};
  return kRuns;
}

class ShopFrames : public testing::TestWithParam<KnownRun> {};

TEST_P(ShopFrames, DrawTheShopAsTheLinesAndBlocksTellIt) {
  const KnownRun& run = GetParam();
  const FinishedRun finished = finish(recordOf(run));
  const std::vector<ShopFrame> frames = shopFrames(finished.record);
  ASSERT_EQ(frames.size(), run.steps.size() + 1);
  EXPECT_EQ(described(frames[0], run.roster),
            "asleep chair=- queue=[] door=[] cut=[] away=[] lists 0/0");
  for (std::size_t i = 0; i < run.steps.size(); ++i) {
    if (run.steps[i].after.empty()) continue;
    EXPECT_EQ(described(frames[i + 1], run.roster), run.steps[i].after)
        << "after line " << i << ": " << run.steps[i].text;
  }
}

INSTANTIATE_TEST_SUITE_P(KnownRuns, ShopFrames, testing::ValuesIn(knownRuns()),
                         [](const testing::TestParamInfo<KnownRun>& param) {
                           return std::string(param.param.name);
                         });

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

TEST(RunPage, CarriesTheShopAfterEveryLineForThePlayer) {
  const RunRecord record = recordOf(wakeThenWait());
  const std::string page = htmlPage(finish(record));
  const nlohmann::json data =
      embedded(page, "<script type=\"application/json\" id=\"player-data\">");
  ASSERT_EQ(data["us"].size(), record.events.size());
  EXPECT_EQ(data["us"][10], record.events[10].us);
  ASSERT_EQ(data["frames"].size(), record.events.size() + 1);
  // After Bob's "got a chair": Ann cut in the chair, Bob in the first waiting chair.
  EXPECT_EQ(data["frames"][11], nlohmann::json::parse("[2, 0, [1], [], [], [], 0, 0]"));
  // The still drawing, for a page read without its script, is the shop when the run ended.
  EXPECT_NE(page.find("data-chair=\"\" data-queue=\"[]\""), std::string::npos);
  EXPECT_EQ(count(page, "<li class=\"seat\" data-seat="), 6u);
  EXPECT_NE(page.find("data-zone=\"cut\"><span class=\"zone-name\">cut <b class=\"count\">2</b>"),
            std::string::npos);
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
