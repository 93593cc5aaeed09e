// The summary, timeline and aggregate, read back as a user sees them: widths, colour, the
// ASCII fallback and what a verdict shows.

#include "trace/showing/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char kLongId[] = "Bartholomew-the-Very-Long-Named-34";
constexpr char kBobSat[] = "\n<<Customer Bob: got a chair successfully>>\n";

Event line(std::int64_t us, Kind kind, const std::string& id, const std::string& text = "") {
  Event event;
  event.us = us;
  event.kind = kind;
  event.customer = id;
  event.text = text;
  return event;
}

// Ann wakes the barber, Bob waits, Zoë finds no chair, the long-named customer is still
// waiting when the barber goes to bed and the run is given up.
RunRecord shop() {
  RunRecord run;
  run.number = 2;
  run.roster = {{"Ann", 0, 200}, {"Bob", 100, 150}, {"Zoë", 120, 100}, {kLongId, 300, 50}};
  run.events = {
      line(300, Kind::kSeeSleeping, "Ann"),   line(400, Kind::kWokeBarber, "Ann"),
      line(700, Kind::kStartCutting, "Ann"),  line(100400, Kind::kGotChair, "Bob", kBobSat),
      line(120400, Kind::kNoChair, "Zoë"),    line(200700, Kind::kFinishCutting, "Ann"),
      line(200800, Kind::kLeaveCut, "Ann"),   line(200900, Kind::kStartCutting, "Bob"),
      line(300500, Kind::kGotChair, kLongId), line(350900, Kind::kFinishCutting, "Bob"),
      line(351000, Kind::kLeaveCut, "Bob"),   line(351100, Kind::kBarberToBed, "")};
  run.end = RunEnd::kStuck;
  run.endUs = 900000;
  return run;
}

Schedule exact() {
  Schedule schedule;
  schedule.visits = {{"Ann", 0, Planned::kWakes, 0, 200},
                     {"Bob", 100, Planned::kWaits, 200, 350},
                     {"Zoë", 120, Planned::kWaits, 350, 450},
                     {kLongId, 300, Planned::kWaits, 450, 500}};
  schedule.closingMs = 500;
  return schedule;
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

// Columns on a terminal: escape sequences take none, every other code point one.
std::size_t columns(const std::string& text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b') {
      i = text.find('m', i);
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++n;
    }
  }
  return n;
}

TEST(View, EveryLineFillsTheWidthInEveryStyle) {
  struct Case {
    std::size_t width, framed;
    bool colour, unicode;
  } const kCases[] = {
      {80, 80, false, true},   {80, 80, true, true},  {60, 60, false, false},
      {123, 123, true, false}, {20, 60, false, true},  // the frame never gets narrower than 60
  };
  RunRecord run = shop();
  Analysis analysis = analyse(run, exact());
  Verdict verdict;
  verdict.broken.push_back(
      Finding{"served-in-order", "Bob was cut before " + std::string(kLongId), {3}});
  verdict.complete = false;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.width) + (c.colour ? " colour" : "") +
                 (c.unicode ? "" : " ascii"));
    ViewStyle style{c.width, c.colour, c.unicode};
    std::string summary = renderSummary(run, analysis, verdict, style);
    for (const std::string& text : lines(summary)) EXPECT_EQ(columns(text), c.framed) << text;
    if (c.width >= 60) {
      for (const std::string& text : renderTimeline(analysis, style)) {
        EXPECT_EQ(columns(text), c.width) << text;
      }
    }
    std::string aggregate = renderAggregate({{verdict, analysis}}, style);
    for (const std::string& text : lines(aggregate)) EXPECT_EQ(columns(text), c.framed) << text;

    std::string all = summary + aggregate;
    EXPECT_EQ(all.find('\x1b') != std::string::npos, c.colour);
    bool wide = std::any_of(all.begin(), all.end(),
                            [](char b) { return static_cast<unsigned char>(b) >= 0x80; });
    EXPECT_EQ(wide, c.unicode);
    for (const char* id : {"Ann", "Bob", "Bartholo"})
      EXPECT_NE(summary.find(id), std::string::npos) << id;
    EXPECT_NE(summary.find(c.unicode ? "Zoë" : "Zo?"), std::string::npos);
  }
}

TEST(View, VerdictShowsBrokenRulesRacesAndIncompleteRuns) {
  Verdict broken;
  broken.broken.push_back(Finding{"one-in-chair", "Ann and Bob were in the chair at once", {3}});
  Verdict raced;
  raced.races.push_back(Race{"Bob", "Zoë", 0.3, "Bob sat down; the schedule had Zoë sit"});
  Verdict stuck;
  stuck.complete = false;
  stuck.stuck = "Bartholomew waits for a cut that never starts";
  struct Case {
    const char* name;
    Verdict verdict;
    RunEnd end;
    std::vector<const char*> shown, notShown;
  } const kCases[] = {
      {"holds", Verdict{}, RunEnd::kClosed, {"every rule holds"}, {"INCOMPLETE", "race:"}},
      {"broken",
       broken,
       RunEnd::kClosed,
       {"one-in-chair: Ann and Bob", "at 100.4 ms: <<Customer Bob: got a chair successfully>>"},
       {"every rule holds"}},
      {"race",
       raced,
       RunEnd::kClosed,
       {"race: Bob and Zoë 0.3 ms apart: Bob sat down", "every rule holds"},
       {}},
      {"stuck",
       stuck,
       RunEnd::kStuck,
       {"INCOMPLETE RUN", "INCOMPLETE: ", "never starts"},
       {"every rule holds"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    RunRecord run = shop();
    run.end = c.end;
    ViewStyle style{120, false, true};
    std::string summary = renderSummary(run, analyse(run, exact()), c.verdict, style);
    for (const char* text : c.shown) EXPECT_NE(summary.find(text), std::string::npos) << text;
    for (const char* text : c.notShown) EXPECT_EQ(summary.find(text), std::string::npos) << text;
  }
}

TEST(View, TimelineLanes) {
  ViewStyle style{80, false, false};
  std::vector<std::string> timeline = renderTimeline(analyse(shop(), exact()), style);
  struct Lane {
    const char* label;
    const char* has;
  } const kLanes[] = {
      {"barber ", "#Ann#"},  // cutting Ann, named in the bar
      {"barber ", "#."},     // asleep after the last cut
      {"Bob ", "|-"},        // arrives and sits
      {"Bob ", "#"},         // then in the chair
      {"Zo? ", "x"},         // went away
      {"queue ", "1"},
  };
  for (const Lane& lane : kLanes) {
    auto found = std::find_if(timeline.begin(), timeline.end(), [&](const std::string& text) {
      return text.rfind(lane.label, 0) == 0;
    });
    ASSERT_NE(found, timeline.end()) << lane.label;
    EXPECT_NE(found->find(lane.has, 9), std::string::npos) << *found;
  }
  // The axis runs to the moment the run was given up, labelled at its end.
  EXPECT_TRUE(std::any_of(timeline.begin(), timeline.end(), [](const std::string& text) {
    return text.size() > 6 && text.compare(text.size() - 6, 6, "900 ms") == 0;
  }));
}

TEST(View, AggregateCountsOutcomesAcrossRuns) {
  auto digest = [](Outcome ann, Outcome bob, bool race, double deviation) {
    RunDigest run;
    run.analysis.customers.resize(2);
    run.analysis.customers[0].id = "Ann";
    run.analysis.customers[0].outcome = ann;
    run.analysis.customers[1].id = "Bob";
    run.analysis.customers[1].outcome = bob;
    run.analysis.deviations.push_back(Deviation{"start", "Ann", 0, deviation});
    run.analysis.lengthMs = 400 + deviation;
    if (race) run.verdict.races.push_back(Race{"Bob", "Ann", 0.1, "Bob woke the barber"});
    return run;
  };
  std::vector<RunDigest> runs = {digest(Outcome::kWoke, Outcome::kWaited, false, 1),
                                 digest(Outcome::kWoke, Outcome::kWaited, false, 3),
                                 digest(Outcome::kWaited, Outcome::kWoke, true, 2)};
  runs[2].verdict.broken.push_back(Finding{"one-in-chair", "", {}});
  std::string text = renderAggregate(runs, ViewStyle{80, false, true});
  for (const char* shown :
       {"Ann  woke the barber 2×, waited 1× ", "Bob  woke the barber 1×, waited 2× ",
        "in 1 of 3 runs: Bob/Ann 1×", "held in 2 of 3 runs; broke in 1", "median 2.00 ms",
        "max 3.00 ms", "min 401.0 ms"}) {
    EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
  }
}

}  // namespace
