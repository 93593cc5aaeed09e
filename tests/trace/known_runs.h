#ifndef BARBERSHOP_TESTS_TRACE_KNOWN_RUNS_H_
#define BARBERSHOP_TESTS_TRACE_KNOWN_RUNS_H_
// Hand-written runs in the program's own formats: a Script written step by step and read by the
// streaming parser, and the known runs, each line with the shop the story must tell once it is
// out, shared by the story's tests and the page's, which compare their drawing with the story's.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/narration.h"
#include "trace/judging/story.h"
#include "trace/reading/events.h"
#include "trace/reading/run_record.h"

inline std::string said(std::string format, const std::string& id = "") {
  const std::size_t hole = format.find("%s");
  if (hole != std::string::npos) format.replace(hole, 2, id);
  return format;
}

inline std::string block(const std::string& chair, const std::string& queue,
                         const std::string& finished = "", const std::string& gone = "") {
  return std::string(kCurrLabel) + (chair.empty() ? "" : "{" + chair + "}") + "\n" + kWaitLabel +
         queue + "\n" + (finished.empty() ? "" : kFinishedLabel + finished + "\n") +
         (gone.empty() ? "" : kGoneLabel + gone + "\n") + kBlockRule;
}

// A run written step by step with the program's own formats, then read back by the parser.
class Script {
 public:
  Script& at(double ms) {
    us_ = static_cast<std::int64_t>(ms * 1000);
    return *this;
  }
  Script& say(const std::string& format, const std::string& id = "") {
    return text(said(format, id));
  }
  Script& block(const std::string& chair, const std::string& queue,
                const std::string& finished = "", const std::string& gone = "") {
    return text(::block(chair, queue, finished, gone));
  }
  Script& text(const std::string& bytes) {
    chunks_.emplace_back(bytes, us_);
    return *this;
  }

  RunRecord record(const Roster& roster, RunEnd end = RunEnd::kClosed) const {
    RunRecord run;
    run.roster = roster;
    RunParser parser(roster);
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
  std::vector<std::pair<std::string, std::int64_t>> chunks_;
};

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

// A frame in words: "cutting chair=Ann queue=[Bob Cat] door=[] cut=[] away=[] lists 0/0", with
// " early=[...]" when one left before its cut was done.
inline std::string described(const ShopFrame& frame, const Roster& roster) {
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
         std::to_string(frame.finished) + "/" + std::to_string(frame.gone) +
         (frame.early.empty() ? "" : " early=" + names(frame.early));
}

inline void PrintTo(const KnownRun& run, std::ostream* out) { *out << run.name; }

// The run's lines a millisecond apart; a text that is none of the program's forms is torn.
inline RunRecord recordOf(const KnownRun& run) {
  RunRecord record;
  record.roster = run.roster;
  const IdBook book(record.roster);
  std::int64_t us = 0;
  for (const Step& step : run.steps) {
    Event torn;
    torn.kind = Kind::kTorn;
    torn.text = step.text;
    Event event = parseLine(step.text, book).value_or(torn);
    event.us = us += 1000;
    record.events.push_back(event);
  }
  record.endUs = us;
  return record;
}

// Ann wakes the barber, Bob sits and is cut after her; each leaves through the cut list.
inline KnownRun wakeThenWaitRun() {
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
       // The block catches the chair not yet emptied after Bob's cut: it holds Bob, who has
       // left all the same.
       {said(kFinishCutting, "Bob"), ""},
       {said(kLeaveCut, "Bob"), "awake chair=- queue=[] door=[] cut=[Ann Bob] away=[] lists 2/0"},
       {block("Bob", "", "[Ann][Bob]"),
        "awake chair=Bob queue=[] door=[] cut=[Ann Bob] away=[] lists 2/0"},
       {said(kBarberToBed), "asleep chair=- queue=[] door=[] cut=[Ann Bob] away=[] lists 2/0"},
       {said(kClosing), ""}}};
}

// Two sit in one order by their lines and the other by the queue: the block's order wins;
// a block that catches Bob between his chair and the barber's leaves him standing.
inline KnownRun blockOrdersRun() {
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
inline KnownRun namesakesRun() {
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
inline KnownRun wakerBeforeBedRun() {
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

// The barber lets Ann go as her cut begins: she leaves with the cut going on, and a block that
// still shows her in his chair shows a chair she has left.
inline KnownRun releasedEarlyRun() {
  return KnownRun{
      "ReleasedBeforeTheFinish",
      {{"Ann", 0, 500}},
      {{said(kSeeSleeping, "Ann"), ""},
       {said(kTryToWake, "Ann"), ""},
       {said(kWokeBarber, "Ann"), ""},
       {said(kBarberWokenUp), ""},
       {said(kStartCutting, "Ann"), "cutting chair=Ann queue=[] door=[] cut=[] away=[] lists 0/0"},
       {said(kLeaveCut, "Ann"),
        "cutting chair=- queue=[] door=[] cut=[] away=[] lists 0/0 early=[Ann]"},
       {block("Ann", ""),
        "cutting chair=Ann queue=[] door=[] cut=[] away=[] lists 0/0 early=[Ann]"},
       {said(kClosing), ""}}};
}

// Both wake the barber; Ann's hand-over comes while he cuts Bob and takes the chair from him, as
// the block shows; her cut never comes, and he goes to bed with her there.
inline KnownRun lostHandOverRun() {
  return KnownRun{
      "ALostHandOver",
      {{"Ann", 100, 1000}, {"Bob", 100, 500}},
      {{said(kSeeSleeping, "Bob"), ""},
       {said(kSeeSleeping, "Ann"), ""},
       {said(kTryToWake, "Bob"), ""},
       {said(kTryToWake, "Ann"), ""},
       {said(kWokeBarber, "Bob"), "asleep chair=Bob queue=[] door=[Ann] cut=[] away=[] lists 0/0"},
       {said(kBarberWokenUp), ""},
       {said(kStartCutting, "Bob"), ""},
       {said(kWokeBarber, "Ann"), "cutting chair=Ann queue=[] door=[Bob] cut=[] away=[] lists 0/0"},
       {block("Ann", ""), "cutting chair=Ann queue=[] door=[Bob] cut=[] away=[] lists 0/0"},
       {said(kFinishCutting, "Bob"), ""},
       {said(kLeaveCut, "Bob"), "awake chair=Ann queue=[] door=[] cut=[Bob] away=[] lists 1/0"},
       {block("Ann", "", "[Bob]"), "awake chair=Ann queue=[] door=[] cut=[Bob] away=[] lists 1/0"},
       {said(kBarberToBed), "asleep chair=Ann queue=[] door=[] cut=[Bob] away=[] lists 1/0"}}};
}

// A block torn in the middle tells nothing: the shop stays as the lines left it.
inline KnownRun tornBlockRun() {
  return KnownRun{
      "ATornBlock",
      {{"Ann", 0, 100}, {"Bob", 10, 50}},
      {{said(kSeeSleeping, "Ann"), ""},
       {said(kTryToWake, "Ann"), ""},
       {said(kWokeBarber, "Ann"), ""},
       {said(kBarberWokenUp), ""},
       {said(kStartCutting, "Ann"), ""},
       {said(kSeeNotSleeping, "Bob"), ""},
       {said(kGotChair, "Bob"), "cutting chair=Ann queue=[Bob] door=[] cut=[] away=[] lists 0/0"},
       {std::string(kCurrLabel) + "{Ann}\n" + kWaitLabel + "[Bo",
        "cutting chair=Ann queue=[Bob] door=[] cut=[] away=[] lists 0/0"},
       {said(kFinishCutting, "Ann"),
        "awake chair=Ann queue=[Bob] door=[] cut=[] away=[] lists 1/0"}}};
}

// The barber takes Bob from the queue before Bob prints that he sat: he never waits there.
inline KnownRun takenBeforeHisChairLineRun() {
  return KnownRun{
      "TakenBeforeHisChairLine",
      {{"Bob", 0, 100}},
      {{said(kStartCutting, "Bob"), "cutting chair=Bob queue=[] door=[] cut=[] away=[] lists 0/0"},
       {said(kGotChair, "Bob"), "cutting chair=Bob queue=[] door=[] cut=[] away=[] lists 0/0"},
       {said(kFinishCutting, "Bob"), ""},
       {said(kLeaveCut, "Bob"), "awake chair=- queue=[] door=[] cut=[Bob] away=[] lists 1/0"}}};
}

inline const std::vector<KnownRun>& knownRuns() {
  static const std::vector<KnownRun> kRuns = {
      wakeThenWaitRun(),  blockOrdersRun(),  namesakesRun(), wakerBeforeBedRun(),
      releasedEarlyRun(), lostHandOverRun(), tornBlockRun(), takenBeforeHisChairLineRun()};
  return kRuns;
}

#endif  // BARBERSHOP_TESTS_TRACE_KNOWN_RUNS_H_
