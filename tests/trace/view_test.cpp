// The summary, timeline and aggregate, read back as a user sees them: widths, colour, the
// ASCII fallback, what a verdict shows and the cells of the table.

#include "trace/showing/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/trace/known_runs.h"
#include "trace/common/utf8.h"

namespace {

constexpr char kLongId[] = "Bartholomew-the-Very-Long-Named-34";
constexpr char kBobSat[] = "\n<<Customer Bob: got a chair successfully>>\n";
constexpr char kWide[] = "表示";          // two characters, four columns
constexpr char kControl[] = "a\x1b[2Jb";  // would clear the screen if it were obeyed

Event line(std::int64_t us, Kind kind, const std::string& id, const std::string& text = "") {
  Event event;
  event.us = us;
  event.kind = kind;
  event.id = id;
  event.text = text;
  return event;
}

// Ann wakes the barber, Bob waits, Zoë finds no chair, the long-named customer is still
// waiting when the barber goes to bed and the run is given up; two more never come in.
FinishedRun shop() {
  RunRecord run;
  run.number = 2;
  run.roster = {{"Ann", 0, 200},    {"Bob", 100, 150}, {"Zoë", 120, 100},
                {kLongId, 300, 50}, {kWide, 800, 10},  {kControl, 800, 10}};
  run.events = {
      line(300, Kind::kSeeSleeping, "Ann"),          line(350, Kind::kTryToWake, "Ann"),
      line(400, Kind::kWokeBarber, "Ann"),           line(700, Kind::kStartCutting, "Ann"),
      line(100300, Kind::kSeeNotSleeping, "Bob"),    line(100350, Kind::kTryForChair, "Bob"),
      line(100400, Kind::kGotChair, "Bob", kBobSat), line(120300, Kind::kSeeNotSleeping, "Zoë"),
      line(120350, Kind::kTryForChair, "Zoë"),       line(120400, Kind::kNoChair, "Zoë"),
      line(200700, Kind::kFinishCutting, "Ann"),     line(200800, Kind::kLeaveCut, "Ann"),
      line(200900, Kind::kStartCutting, "Bob"),      line(300300, Kind::kSeeNotSleeping, kLongId),
      line(300350, Kind::kTryForChair, kLongId),     line(300500, Kind::kGotChair, kLongId),
      line(350900, Kind::kFinishCutting, "Bob"),     line(351000, Kind::kLeaveCut, "Bob"),
      line(351100, Kind::kBarberToBed, "")};
  run.end = RunEnd::kStuck;
  run.endUs = 900000;
  return finish(run);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    out.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return out;
}

// The line of `text` that starts, after the frame, with `name`.
std::string rowOf(const std::string& text, const std::string& name) {
  for (const std::string& each : lines(text)) {
    const std::size_t at = each.find(name);
    if (at != std::string::npos && at <= 5) return each;
  }
  return "";
}

// Columns on a terminal: escape sequences take none.
std::size_t screenColumns(std::string text) {
  for (std::size_t at; (at = text.find('\x1b')) != std::string::npos;) {
    text.erase(at, text.find('m', at) - at + 1);
  }
  return columns(text);
}

TEST(View, EveryLineFillsTheWidthInEveryStyleAndObeysNoControl) {
  struct Case {
    std::size_t width, framed;
    bool colour, unicode;
  } const kCases[] = {
      {80, 80, false, true},   {80, 80, true, true},  {60, 60, false, false},
      {123, 123, true, false}, {20, 40, false, true},  // the frame never gets narrower than 40
  };
  FinishedRun run = shop();
  run.verdict.broken.push_back(
      Finding{"served-in-order", "Bob was cut before " + std::string(kControl), {6}, {1}});
  Aggregate aggregate;
  aggregate.add(run);
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.width) + (c.colour ? " colour" : "") +
                 (c.unicode ? "" : " ascii"));
    ViewStyle style{c.width, 0, c.colour, c.unicode, SummaryForm::kFull};
    const std::string summary = renderSummary(run, style);
    const std::string framedViews =
        summary + aggregate.render(style) +
        renderChange("v", "Zoë waits.",
                     "--- a/x.cpp\n+++ b/x.cpp\n+  int a = \"" + std::string(kControl) +
                         "\"; // a comment long enough to wrap at forty",
                     style);
    const std::string all = framedViews + renderDigest(run, 5, style);
    for (const std::string& text : lines(framedViews)) {
      EXPECT_EQ(screenColumns(text), c.framed) << text;
    }
    for (const std::string& text : lines(renderDigest(run, 5, style))) {
      EXPECT_LE(screenColumns(text), c.framed) << text;
    }
    EXPECT_EQ(all.find("\x1b[2J"), std::string::npos);  // the ID's escape is shown, not sent
    EXPECT_NE(summary.find("a\\x1b[2Jb"), std::string::npos);
    EXPECT_EQ(all.find("\x1b[") != std::string::npos, c.colour);
    const bool nonAscii = std::any_of(all.begin(), all.end(),
                                      [](char b) { return static_cast<unsigned char>(b) >= 0x80; });
    EXPECT_EQ(nonAscii, c.unicode);
    EXPECT_NE(summary.find(c.unicode ? "Zoë" : "Zo?"), std::string::npos);
    // Words a student meets without the glossary at hand (the notes are judging's sentences).
    FinishedRun plain = run;
    plain.verdict.notes.clear();
    const std::string views =
        renderSummary(plain, style) + aggregate.render(style) + renderDigest(plain, 5, style);
    for (const char* jargon : {"exact schedule", "vs plan", "INCOMPLETE", "(exact "}) {
      EXPECT_EQ(views.find(jargon), std::string::npos) << jargon;
    }
  }
}

TEST(View, TheTableTellsEachCustomersStory) {
  // The cells a user reads, copied from a run worked out by hand.
  const std::string summary =
      renderSummary(shop(), ViewStyle{120, 0, false, true, SummaryForm::kFull});
  struct Row {
    const char* name;
    std::vector<const char*> cells;  // in the order of the columns
  } const kRows[] = {
      {"Ann", {" 0 ", " 0.3 ", " woke the barber ", " 0.7 ", " 200.7 ", " +0.7 ms"}},
      // Waited from sitting down (100.4) to the start of the cut (200.9), not from arriving.
      {"Bob",
       {" 100 ", " 100.3 ", " waited 100 ms in the queue ", " 200.9 ", " 350.9 ", " +0.9 ms"}},
      {"Zoë", {" 120 ", " 120.3 ", " went away: lost the last chair ", " - ", " plan: cut"}},
      {"Bartholomew", {" 300 ", " 300.3 ", " still in the shop ", " plan: cut"}},
      {"表示", {" 800 ", " - ", " never came in "}},
  };
  for (const Row& row : kRows) {
    const std::string text = rowOf(summary, row.name);
    std::size_t at = 0;
    for (const char* cell : row.cells) {
      at = text.find(cell, at);
      EXPECT_NE(at, std::string::npos) << row.name << ": " << cell << "\n" << text;
    }
  }
}

TEST(View, VerdictShowsBrokenRulesNotesAndStuckRuns) {
  struct Case {
    const char* name;
    void (*change)(FinishedRun*);
    std::vector<const char*> shown, notShown;
  } const kCases[] = {
      {"holds",
       [](FinishedRun* run) {
         run->verdict = Verdict{};
         run->record.end = RunEnd::kClosed;
       },
       {"every rule holds"},
       {"not finished", "stuck:"}},
      {"broken",
       [](FinishedRun* run) {
         run->verdict.broken.push_back(Finding{"one-in-chair", "Ann and Bob at once", {6}, {}});
       },
       {"one-in-chair (never two customers in the barber's chair): Ann and Bob",
        "at 100.4 ms: <<Customer Bob: got a chair successfully>>"},
       {"every rule holds"}},
      {"stuck",
       [](FinishedRun*) {},
       {"not finished: the run got stuck",
        "✘ stuck: ", "Bartholomew-the-Very-Long-Named-34 sat in the queue at 300.5 ms"},
       {"every rule holds"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FinishedRun run = shop();
    c.change(&run);
    const std::string summary =
        renderSummary(run, ViewStyle{200, 0, false, true, SummaryForm::kFull});
    for (const char* text : c.shown) EXPECT_NE(summary.find(text), std::string::npos) << text;
    for (const char* text : c.notShown) EXPECT_EQ(summary.find(text), std::string::npos) << text;
  }
}

TEST(View, AStuckRunSaysHowItEndedOnceInEitherForm) {
  for (SummaryForm form : {SummaryForm::kFull, SummaryForm::kCompact}) {
    const std::string summary = renderSummary(shop(), ViewStyle{80, 24, false, true, form});
    std::size_t times = 0;
    for (std::size_t at = 0; (at = summary.find("so the program", at)) != std::string::npos; ++at)
      ++times;
    EXPECT_EQ(times, 1u) << summary;
    EXPECT_NE(summary.find("nobody woke him"), std::string::npos) << summary;
  }
}

TEST(View, AVariantsChangeIsShownWholeWithItsFileAndLeftOutOfTheSummary) {
  constexpr char kPatch[] =
      "--- a/sim/customer_visit.cpp\n+++ b/sim/customer_visit.cpp\n@@ -54,14 +54,15 @@\n"
      "   concurrentPrintf(kTryForChair, id);\n"
      "+  // Widened for the lecture: without this sleep the moment between the looks lasts a few "
      "prints, far too short to see\n"
      "-  if (Barber::fgSleeping.load()) {\n";
  FinishedRun run = shop();
  run.record.variant = "lost-wakeup";
  run.record.variantChange = kPatch;
  const ViewStyle style{80, 0, false, true, SummaryForm::kFull};
  const std::string change = renderChange("lost-wakeup", "Nobody wakes him.", kPatch, style);
  for (const char* text : {"sim/customer_visit.cpp", "Nobody wakes him.", "far too short to see",
                           "-  if (Barber::fgSleeping.load()) {"}) {
    EXPECT_NE(change.find(text), std::string::npos) << text << "\n" << change;
  }
  EXPECT_EQ(change.find("concurrentPrintf"), std::string::npos);  // unchanged lines left out
  EXPECT_EQ(change.find("@@"), std::string::npos);
  for (const std::string& text : lines(change)) EXPECT_EQ(screenColumns(text), 80u) << text;
  EXPECT_EQ(renderSummary(run, style).find("Widened"), std::string::npos);
}

TEST(View, ACompactSummaryAndTheMenuFitAClassTerminal) {
  // A two-customer run at 80 by 24: the summary leaves the menu's rows free and says where the
  // whole one is; a tall terminal gets the whole one.
  Script s;
  s.at(100.1).say(kSeeSleeping, "Ann").say(kTryToWake, "Ann").say(kBarberWokenUp);
  s.say(kStartCutting, "Ann").say(kWokeBarber, "Ann").say(kWaiting, "Ann");
  s.say(kSeeNotSleeping, "Bob").say(kTryForChair, "Bob").say(kGotChair, "Bob").say(kWaiting, "Bob");
  s.at(1100.3).say(kFinishCutting, "Ann").say(kLeaveCut, "Ann").say(kStartCutting, "Bob");
  s.at(1600.5).say(kFinishCutting, "Bob").say(kLeaveCut, "Bob").say(kBarberToBed).say(kClosing);
  const FinishedRun run = finish(s.record({{"Ann", 100, 1000}, {"Bob", 100, 500}}));
  ASSERT_TRUE(run.verdict.holds());
  const std::string small = renderSummary(run, ViewStyle{80, 24, false, true, SummaryForm::kAuto});
  EXPECT_LE(lines(small).size(), 24u - 11u) << small;
  EXPECT_NE(small.find("--summary full"), std::string::npos);
  const std::string tall = renderSummary(run, ViewStyle{80, 60, false, true, SummaryForm::kAuto});
  EXPECT_EQ(tall.find("--summary full"), std::string::npos);
  EXPECT_GT(lines(tall).size(), lines(small).size());
}

TEST(View, TimelineLanesTellApartWhatTheLegendDoes) {
  const std::vector<std::string> timeline =
      lines(renderSummary(shop(), ViewStyle{80, 0, false, false, SummaryForm::kFull}));
  struct Lane {
    const char* label;
    const char* has;
  } const kLanes[] = {
      {"barber ", "#Ann#"},  // cutting Ann, named in the bar
      {"barber ", "#."},     // asleep after the last cut
      {"Bob ", "|-"},        // arrives and sits
      {"Bob ", "="},         // then in the chair, a glyph of its own
      {"Zo? ", "x"},         // went away
      {"queue ", "1"},      {"", "# cutting"}, {"", "= in the chair"},
  };
  for (const Lane& lane : kLanes) {
    auto found = std::find_if(timeline.begin(), timeline.end(), [&](const std::string& text) {
      return text.rfind(std::string("| ") + lane.label, 0) == 0 &&
             text.find(lane.has) != std::string::npos;
    });
    EXPECT_NE(found, timeline.end()) << lane.label << lane.has;
  }
  // The axis runs to the moment the run was given up, labelled at its end.
  EXPECT_TRUE(std::any_of(timeline.begin(), timeline.end(), [](const std::string& text) {
    return text.find("900 ms") != std::string::npos;
  }));
}

TEST(View, AggregateCountsOutcomesRulesAndStuckRuns) {
  FinishedRun good = shop();
  good.verdict = Verdict{};
  good.analysis.lengthMs = 400;
  Aggregate aggregate;
  for (int number = 1; number <= 4; ++number) {
    FinishedRun run = good;
    run.record.number = number;
    if (number == 2) run.verdict.broken.push_back(Finding{"one-in-chair", "x", {}, {}});
    if (number >= 3) run.verdict.complete = !(run.verdict.stuck = true);
    aggregate.add(run);
  }
  const std::string text = aggregate.render(ViewStyle{120, 0, false, true, SummaryForm::kFull});
  EXPECT_NE(rowOf(text, "Ann").find("  woke barber 4×"), std::string::npos) << text;
  EXPECT_NE(rowOf(text, "Zoë").find("  away: no chair 4×"), std::string::npos) << text;
  for (const char* shown : {"every rule held in 1 of 4 runs", "one-in-chair broke in 1 of 4 runs",
                            "stuck in 2 of 4 runs: 3, 4"}) {
    EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
  }
}

TEST(View, PercentilesAreTheValueAtTheNearestRank) {
  // Rank ceil(p/100 * n) of the sorted values; a rank one off either way picks a neighbour.
  const std::vector<double> kFive = {5, 1, 4, 2, 3}, kTen = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  std::vector<double> hundred;  // 7 % of 100 is 7.000000000000001 in floating point
  for (int v = 100; v >= 1; --v) hundred.push_back(v);
  struct Case {
    const std::vector<double>* values;
    int percent;
    double expected;
  } const kCases[] = {
      {&kFive, 0, 1},  {&kFive, 20, 1},  {&kFive, 21, 2}, {&kFive, 50, 3},  {&kFive, 80, 4},
      {&kFive, 81, 5}, {&kFive, 100, 5}, {&kTen, 10, 1},  {&kTen, 11, 2},   {&kTen, 50, 5},
      {&kTen, 90, 9},  {&kTen, 91, 10},  {&kTen, 99, 10}, {&hundred, 7, 7}, {&hundred, 99, 99},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(nearestRank(*c.values, c.percent), c.expected)
        << c.values->size() << " " << c.percent;
  }
  EXPECT_EQ(nearestRank({}, 50), 0);
}

TEST(View, AggregateSpreadAndCountsComeFromTheValuesInTheRightNumber) {
  FinishedRun good = shop();
  good.verdict = Verdict{};
  struct Case {
    std::vector<double> lengths, deviations;  // one run per length
    std::vector<const char*> shown;
  } const kCases[] = {
      // The shortest run is also the median: no bucket's lower edge below it.
      {{301.1, 305.4, 340.2},
       {0.5, -1.25, 13.37, 2.75, 40},
       {"3 runs", "(5 moments): half within 2.75 ms", "9 in 10 within 40.00 ms",
        "the furthest 40.00 ms", "the shortest 301.1 ms", "half took at most 305.4 ms",
        "the longest 340.2 ms"}},
      {{301.1},
       {13.37},
       {"1 run ", "in 0 of 1 run", "(1 moment): half within 13.37 ms",
        "the one finished run took 301.1 ms"}},
  };
  for (const Case& c : kCases) {
    Aggregate aggregate;
    for (std::size_t i = 0; i < c.lengths.size(); ++i) {
      FinishedRun run = good;
      run.analysis.lengthMs = c.lengths[i];
      run.analysis.deviations.clear();
      for (std::size_t d = i; d < c.deviations.size(); d += c.lengths.size())
        run.analysis.deviations.push_back(Deviation{"start", 0, 100, 100 + c.deviations[d]});
      aggregate.add(run);
    }
    const std::string text = aggregate.render(ViewStyle{200, 0, false, true, SummaryForm::kFull});
    for (const char* shown : c.shown)
      EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
  }
}

TEST(View, TheAggregatesLastScreenEndsWithTheLastFailingRunsVerdict) {
  // The terminal's rows less the shell's prompt: the whole aggregate on a tall one, the compact
  // form at 80 by 24, and on a shorter one the verdict cut where it would scroll the counts away.
  FinishedRun good = shop(), stuck = shop();
  good.verdict = Verdict{};
  good.record.end = RunEnd::kClosed;
  stuck.verdict.broken.clear();
  struct Case {
    std::size_t height;
    const char* ends;
  } const kCases[] = {
      {40, "nobody woke him"}, {24, "nobody woke him"}, {17, "the rest is in run 7's summary"}};
  for (const Case& c : kCases) {
    Aggregate aggregate;
    for (int number = 1; number <= 10; ++number) {
      FinishedRun run = number == 7 ? stuck : good;
      run.record.number = number;
      aggregate.add(run);
    }
    const std::string text =
        aggregate.render(ViewStyle{80, c.height, false, true, SummaryForm::kAuto});
    const std::vector<std::string> rows = lines(text);
    EXPECT_LE(rows.size(), c.height - 1) << text;
    const std::size_t last = text.find("the last run that failed, run 7:");
    EXPECT_LT(text.find("every rule held in 9 of 10 runs"), last) << text;
    EXPECT_LT(last, text.find("✘ stuck: ")) << text;
    EXPECT_NE(rows[rows.size() - 2].find(c.ends), std::string::npos) << text;
  }
}

}  // namespace
