// The numbered story: which thread printed each line, the switches around them, and one
// sentence per narration kind.

#include "trace/judging/numbered_story.h"

#include <algorithm>
#include <optional>
#include <set>

namespace {

// What each narration line says a thread did, as a step of the story; "@" is the customer.
struct StorySentence {
  Kind kind;
  const char* text;
  bool minor;  // the line after it says the same more plainly: the first left out of a long story
};

constexpr StorySentence kSentences[] = {
    {Kind::kBarberToBed, "the barber finds the queue empty and goes to bed", false},
    {Kind::kBarberWokenUp, "the barber wakes up", false},
    {Kind::kStartCutting, "the barber starts cutting @", false},
    {Kind::kFinishCutting, "the barber finishes cutting @", false},
    {Kind::kSeeSleeping, "@ sees the barber asleep", false},
    {Kind::kTryToWake, "@ tries to wake the barber", true},
    {Kind::kWokeBarber, "@ wakes the barber and sits in his chair", false},
    {Kind::kFailedToWake, "@ finds the barber already woken", false},
    {Kind::kSeeNotSleeping, "@ sees the barber awake", false},
    {Kind::kQueueFull, "@ sees every waiting chair taken and goes away", false},
    {Kind::kTryForChair, "@ sees a free waiting chair and goes for it", true},
    {Kind::kGotChair, "@ sits down in a waiting chair", false},
    {Kind::kNoChair, "@ finds no chair left and goes away", false},
    {Kind::kWaiting, "@ waits", true},
    {Kind::kLeaveCut, "@ leaves, cut", false},
    {Kind::kState, "the shop's state is shown", true},
    {Kind::kClosing, "the shop closes", true},
    {Kind::kTorn, "text from two threads runs together", false},
};

bool minor(Kind kind) {
  for (const StorySentence& sentence : kSentences) {
    if (sentence.kind == kind) return sentence.minor;
  }
  return false;
}

std::string sentenceOf(const RunRecord& run, const Event& event) {
  for (const StorySentence& sentence : kSentences) {
    if (sentence.kind != event.kind) continue;
    std::string text = sentence.text;
    const std::size_t at = text.find('@');
    if (at != std::string::npos) {
      text.replace(at, 1, event.who >= 0 ? customerName(run.roster, event.who) : event.id);
    }
    return text;
  }
  return narration(event);
}

bool tellsAStep(const Event& event) {
  return event.kind != Kind::kState && event.kind != Kind::kTorn && event.kind != Kind::kClosing;
}

// The last telling line thread `tid` printed before step `n`, and its first at or after it.
std::optional<std::size_t> lastBefore(const RunRecord& run, const Printed& p, int tid, int n) {
  std::optional<std::size_t> found;
  for (std::size_t e = 0; e < run.events.size(); ++e) {
    if (p.tid[e] == tid && p.step[e] < n && tellsAStep(run.events[e])) found = e;
  }
  return found;
}

std::optional<std::size_t> firstFrom(const RunRecord& run, const Printed& p, int tid, int n) {
  for (std::size_t e = 0; e < run.events.size(); ++e) {
    if (p.tid[e] == tid && p.step[e] >= n && tellsAStep(run.events[e])) return e;
  }
  return std::nullopt;
}

// The line that shows the failure: the first line a broken rule names, else the last telling line.
std::optional<std::size_t> failingLine(const RunRecord& run, const Verdict& verdict) {
  if (!verdict.broken.empty() && !verdict.broken.front().events.empty()) {
    return verdict.broken.front().events.back();
  }
  for (std::size_t e = run.events.size(); e-- > 0;) {
    if (tellsAStep(run.events[e])) return e;
  }
  return std::nullopt;
}

// Why the run failed, in a few words after the failing line.
std::string whyWords(const RunRecord& run, const Verdict& verdict, bool barberTold) {
  if (!verdict.broken.empty()) return verdict.broken.front().what;
  const Event* barber = nullptr;
  for (const Event& event : run.events) {
    if (event.actor() == Actor::kBarber) barber = &event;
  }
  if (barber == nullptr || barber->kind == Kind::kBarberToBed) {
    return barberTold ? "nobody will wake him" : "nobody will wake the barber";
  }
  return verdict.stuck ? "then every thread waits and nothing moves" : endWhy(run.end);
}

// The lines around the switches: for each of the last few, the line the stopped thread had
// said, what the thread let go said meanwhile, and the stopped thread's next line.
std::set<std::size_t> linesAround(const RunRecord& run, const Printed& p, std::size_t failing) {
  std::vector<const Choice*> switches;
  for (const Choice& choice : run.control.choices) {
    if (choice.pick != choice.plainPick) switches.push_back(&choice);
  }
  constexpr std::size_t kSwitchesTold = 3;
  if (switches.size() > kSwitchesTold)
    switches.erase(switches.begin(), switches.end() - kSwitchesTold);
  std::set<std::size_t> lines;
  auto add = [&](std::optional<std::size_t> line) {
    if (line && *line <= failing) lines.insert(*line);
  };
  for (const Choice* choice : switches) {
    const int at = choice->beforeStep;
    add(lastBefore(run, p, choice->plainPick, at));
    const std::optional<std::size_t> resumed = firstFrom(run, p, choice->plainPick, at);
    add(resumed);
    const std::optional<std::size_t> meanwhile =
        resumed ? lastBefore(run, p, choice->pick, p.step[*resumed])
                : firstFrom(run, p, choice->pick, at);
    if (meanwhile && p.step[*meanwhile] >= at) add(meanwhile);
  }
  return lines;
}

// Whom the story follows: the barber, the customers the rule names or left waiting, and those
// whose threads a switch stopped or let go.
std::set<int> concerned(const RunRecord& run, const Verdict& verdict, const Printed& p) {
  std::set<int> who(verdict.unfinished.begin(), verdict.unfinished.end());
  if (!verdict.broken.empty()) {
    who.insert(verdict.broken.front().who.begin(), verdict.broken.front().who.end());
  }
  std::set<int> threads;
  for (const Choice& choice : run.control.choices) {
    if (choice.pick == choice.plainPick) continue;
    threads.insert(choice.pick);
    threads.insert(choice.plainPick);
  }
  for (std::size_t e = 0; e < run.events.size(); ++e) {
    if (threads.count(p.tid[e]) > 0 && run.events[e].actor() == Actor::kCustomer) {
      who.insert(run.events[e].who);
    }
  }
  return who;
}

// The telling lines of the concerned from `from` to the failing line; then, while there are too
// many, the earliest of the minor ones goes, then the earliest of the rest, never the failing
// line nor one a switch stopped a thread after.
std::set<std::size_t> storyLines(const RunRecord& run, const Verdict& verdict, const Printed& p,
                                 std::size_t failing) {
  const std::set<std::size_t> around = linesAround(run, p, failing);
  // From the first switch, or the start of a run the plain order failed.
  std::size_t from = 0;
  const auto first = std::find_if(run.control.choices.begin(), run.control.choices.end(),
                                  [](const Choice& c) { return c.pick != c.plainPick; });
  if (first != run.control.choices.end()) {
    from = around.empty() ? failing : *around.begin();
    for (std::size_t e = 0; e < from; ++e) {
      if (p.step[e] >= first->beforeStep) {
        from = e;
        break;
      }
    }
  }
  // A rule that names nobody (too many waiting) concerns every customer.
  const std::set<int> who = concerned(run, verdict, p);
  std::set<std::size_t> lines = around;
  for (std::size_t e = from; e < failing; ++e) {
    const Event& event = run.events[e];
    if (!tellsAStep(event)) continue;
    if (event.actor() == Actor::kBarber || who.empty() || who.count(event.who) > 0) {
      lines.insert(e);
    }
  }
  lines.insert(failing);
  constexpr std::size_t kStepsTold = 6;
  for (bool minorOnly : {true, false}) {
    for (auto line = lines.begin(); lines.size() > kStepsTold && line != lines.end();) {
      const bool keep = *line == failing || around.count(*line) > 0 ||
                        (minorOnly && !minor(run.events[*line].kind));
      line = keep ? std::next(line) : lines.erase(line);
    }
  }
  while (lines.size() > kStepsTold) lines.erase(lines.begin());
  return lines;
}

}  // namespace

std::vector<StoryStep> numberedStory(const RunRecord& run, const Verdict& verdict) {
  std::vector<StoryStep> story;
  if (!run.control.controlled || verdict.holds()) return story;
  const std::optional<std::size_t> failing = failingLine(run, verdict);
  if (!failing) return story;
  const std::set<std::size_t> lines = storyLines(run, verdict, whoPrinted(run), *failing);
  bool barberTold = false;
  for (std::size_t line : lines) {
    const Event& event = run.events[line];
    barberTold = barberTold || event.actor() == Actor::kBarber;
    story.push_back(StoryStep{Micros{event.us}, static_cast<int>(line), sentenceOf(run, event)});
  }
  story.back().text += ": " + whyWords(run, verdict, barberTold);
  return story;
}

Printed whoPrinted(const RunRecord& run) {
  Printed printed{std::vector<int>(run.events.size(), -1), std::vector<int>(run.events.size(), 0)};
  const std::vector<SyncStep>& steps = run.control.steps;
  std::size_t next = 0;
  while (next < steps.size() && steps[next].at < Micros{0}) ++next;
  for (std::size_t e = 0; e < run.events.size(); ++e) {
    const auto bytes = static_cast<std::int64_t>(run.events[e].text.size());
    const Micros at{run.events[e].us};
    auto printedIt = [&](std::size_t s, bool timed) {
      return steps[s].op == SyncOp::kPrint && steps[s].arg == bytes &&
             (!timed || steps[s].at == at);
    };
    // The print at the line's own moment; else the next of its length (a log without times).
    std::size_t s = next;
    while (s < steps.size() && !printedIt(s, true)) ++s;
    if (s == steps.size()) {
      s = next;
      while (s < steps.size() && !printedIt(s, false)) ++s;
    }
    if (s == steps.size()) continue;  // torn text or a print in pieces: left unknown
    printed.tid[e] = steps[s].tid;
    printed.step[e] = steps[s].n;
    next = s + 1;
  }
  return printed;
}

std::string stepNumber(int n) {
  if (n < 1 || n > 20) return "(" + std::to_string(n) + ")";
  // U+2460 CIRCLED DIGIT ONE onwards, as UTF-8.
  const int code = 0x2460 + n - 1;
  std::string text;
  text += static_cast<char>(0xE0 | (code >> 12));
  text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  text += static_cast<char>(0x80 | (code & 0x3F));
  return text;
}
