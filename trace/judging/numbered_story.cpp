// The numbered story: which thread printed each line and which of its steps the line tells, the
// switches around them, and one sentence per narration kind.

#include "trace/judging/numbered_story.h"

#include <algorithm>
#include <optional>
#include <set>

#include "trace/judging/sync_words.h"

namespace {

// What each narration line says a thread did, as a step of the story; "@" is the customer.
struct StorySentence {
  Kind kind;
  const char* text;
  bool minor;  // the line after it says the same more plainly: the first left out of a long story
  bool underLock;  // it tells a critical section, which ended at the thread's release before it
  bool idle;       // it tells nothing of a fault: left out unless it is the failing line
};

constexpr StorySentence kSentences[] = {
    {Kind::kBarberToBed, "the barber finds the queue empty and goes to bed", false, true, false},
    {Kind::kBarberWokenUp, "the barber wakes up", false, false, false},
    {Kind::kStartCutting, "the barber starts cutting @", false, true, false},
    {Kind::kFinishCutting, "the barber finishes cutting @", false, false, false},
    {Kind::kSeeSleeping, "@ sees the barber asleep", false, false, false},
    {Kind::kTryToWake, "@ tries to wake the barber", true, false, false},
    {Kind::kWokeBarber, "@ wakes the barber and sits in his chair", false, true, false},
    {Kind::kFailedToWake, "@ finds the barber already woken", false, true, false},
    {Kind::kSeeNotSleeping, "@ sees the barber awake", false, false, false},
    {Kind::kQueueFull, "@ sees every waiting chair taken and goes away", false, true, false},
    {Kind::kTryForChair, "@ sees a free waiting chair and goes for it", true, true, false},
    {Kind::kGotChair, "@ sits down in a waiting chair", false, true, false},
    {Kind::kNoChair, "@ finds no chair left and goes away", false, true, false},
    {Kind::kWaiting, "@ waits", true, false, true},
    {Kind::kLeaveCut, "@ leaves, cut", false, false, true},
    {Kind::kState, "the shop's state is shown", true, false, false},
    {Kind::kClosing, "the shop closes", true, false, false},
    {Kind::kTorn, "text from two threads runs together", false, false, false},
};

const StorySentence* sentenceFor(Kind kind) {
  for (const StorySentence& sentence : kSentences) {
    if (sentence.kind == kind) return &sentence;
  }
  return nullptr;
}

bool minor(Kind kind) {
  const StorySentence* sentence = sentenceFor(kind);
  return sentence != nullptr && sentence->minor;
}

std::string sentenceOf(const RunRecord& run, const Event& event) {
  const StorySentence* sentence = sentenceFor(event.kind);
  if (sentence == nullptr) return narration(event);
  std::string text = sentence->text;
  const std::size_t at = text.find('@');
  if (at != std::string::npos) {
    text.replace(at, 1, event.who >= 0 ? customerName(run.roster, event.who) : event.id);
  }
  return text;
}

bool tellsAStep(const Event& event) {
  return event.kind != Kind::kState && event.kind != Kind::kTorn && event.kind != Kind::kClosing;
}

bool idle(const Event& event) {
  const StorySentence* sentence = sentenceFor(event.kind);
  return sentence != nullptr && sentence->idle;
}

// Each line of the run as the story places it: who printed it, and the step of the action it
// tells. `order` holds every line but the closing one by that step; the story works on
// positions in it.
struct Placed {
  std::vector<int> tid;    // the printing thread, -1 when not known
  std::vector<int> acted;  // the step number of the action the line tells
  std::vector<Micros> at;  // that step's instant
  std::vector<std::size_t> order;
  // Text run together is made by whatever printed into it, waits and leavings too: then they
  // are told like any other line.
  bool idleTold = false;
};

// The index into the run's steps of the print of each event (-1: torn text or a print in
// pieces), matched in order by the moment and the bytes of each print step.
std::vector<long> printsOf(const RunRecord& run) {
  std::vector<long> prints(run.events.size(), -1);
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
    if (s == steps.size()) continue;
    prints[e] = static_cast<long>(s);
    next = s + 1;
  }
  return prints;
}

bool consoleStep(const RunRecord& run, const SyncStep& step) {
  return step.oid != 0 && identifyObject(run, step.oid).role == SyncRole::kConsole;
}

// The step a line printed at steps[print] tells. A thread prints after the critical section it
// tells of, so a line under a lock is placed at the thread's last release since its previous
// print; any other line just after the thread's last step before it asked for the console,
// which is where it looked at what it tells; the print itself when there is neither.
std::size_t actionOf(const RunRecord& run, std::size_t print, bool underLock) {
  const std::vector<SyncStep>& steps = run.control.steps;
  const int tid = steps[print].tid;
  std::optional<std::size_t> before;
  for (std::size_t s = print; s-- > 0;) {
    const SyncStep& step = steps[s];
    if (step.tid != tid || consoleStep(run, step)) continue;
    if (step.op == SyncOp::kPrint) break;
    if (!underLock) return s;
    if (!before) before = s;
    if (step.op == SyncOp::kUnlock || step.op == SyncOp::kPost) return s;
  }
  return before ? *before : print;
}

Placed placeLines(const RunRecord& run) {
  const std::vector<long> prints = printsOf(run);
  const std::vector<SyncStep>& steps = run.control.steps;
  Placed p{std::vector<int>(run.events.size(), -1),
           std::vector<int>(run.events.size(), 0),
           std::vector<Micros>(run.events.size()),
           {}};
  int last = 0;  // a line whose print is not known keeps its place after the one before it
  for (std::size_t e = 0; e < run.events.size(); ++e) {
    p.at[e] = Micros{run.events[e].us};
    p.acted[e] = last;
    if (prints[e] >= 0) {
      const auto print = static_cast<std::size_t>(prints[e]);
      const StorySentence* sentence = sentenceFor(run.events[e].kind);
      const SyncStep& action =
          steps[actionOf(run, print, sentence != nullptr && sentence->underLock)];
      p.tid[e] = steps[print].tid;
      p.acted[e] = action.n;
      p.at[e] = action.at;
      last = action.n;
    }
    if (run.events[e].kind != Kind::kClosing) p.order.push_back(e);
  }
  std::stable_sort(p.order.begin(), p.order.end(),
                   [&](std::size_t a, std::size_t b) { return p.acted[a] < p.acted[b]; });
  return p;
}

// A line the story may tell of the thread that printed it.
bool tells(const RunRecord& run, const Placed& p, std::size_t e) {
  return tellsAStep(run.events[e]) && (p.idleTold || !idle(run.events[e]));
}

// The position of the last telling line of thread `tid` whose action came before step `n`, and
// of its first at or after it.
std::optional<std::size_t> lastBefore(const RunRecord& run, const Placed& p, int tid, int n) {
  std::optional<std::size_t> found;
  for (std::size_t k = 0; k < p.order.size(); ++k) {
    const std::size_t e = p.order[k];
    if (p.tid[e] == tid && p.acted[e] < n && tells(run, p, e)) found = k;
  }
  return found;
}

std::optional<std::size_t> firstFrom(const RunRecord& run, const Placed& p, int tid, int n) {
  for (std::size_t k = 0; k < p.order.size(); ++k) {
    const std::size_t e = p.order[k];
    if (p.tid[e] == tid && p.acted[e] >= n && tells(run, p, e)) return k;
  }
  return std::nullopt;
}

// The position of the line that shows the failure: the first line a broken rule names, else
// the last telling line.
std::optional<std::size_t> failingLine(const RunRecord& run, const Verdict& verdict,
                                       const Placed& p) {
  std::optional<std::size_t> named;
  if (!verdict.broken.empty() && !verdict.broken.front().events.empty()) {
    named = verdict.broken.front().events.back();
  }
  for (std::size_t k = p.order.size(); k-- > 0;) {
    const std::size_t e = p.order[k];
    if (named ? e == *named : tells(run, p, e)) return k;
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
    // A customer who woke him and is still there handed itself over and was lost: asleep, he
    // is not what it waits for.
    for (int who : verdict.unfinished) {
      const Event* last = nullptr;
      for (const Event& event : run.events) {
        if (event.who == who && tellsAStep(event) && !idle(event)) last = &event;
      }
      if (last != nullptr && last->kind == Kind::kWokeBarber) {
        return customerName(run.roster, who) + ", who woke " + (barberTold ? "him" : "the barber") +
               ", is never cut";
      }
    }
    return barberTold ? "nobody will wake him" : "nobody will wake the barber";
  }
  return verdict.stuck ? "then every thread waits and nothing moves" : endWhy(run.end);
}

// The lines around the switches: for each of the last few, the line the stopped thread had
// said, what the thread let go said meanwhile, and the stopped thread's next line.
std::set<std::size_t> linesAround(const RunRecord& run, const Placed& p, std::size_t failing) {
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
        resumed ? lastBefore(run, p, choice->pick, p.acted[p.order[*resumed]])
                : firstFrom(run, p, choice->pick, at);
    if (meanwhile && p.acted[p.order[*meanwhile]] >= at) add(meanwhile);
  }
  return lines;
}

// Whom the story follows: the barber, the customers the rule names or left waiting, and those
// whose threads a switch stopped or let go.
std::set<int> concerned(const RunRecord& run, const Verdict& verdict, const Placed& p) {
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

// The positions of the concerned's telling lines from the first switch to the failing line;
// then, while there are too many, the earliest of the minor ones goes, then the earliest of the
// rest, never the failing line: what came last before it tells most.
std::set<std::size_t> storyLines(const RunRecord& run, const Verdict& verdict, const Placed& p,
                                 std::size_t failing) {
  const std::set<std::size_t> around = linesAround(run, p, failing);
  // From the first switch, or the start of a run the plain order failed.
  std::size_t from = 0;
  const auto first = std::find_if(run.control.choices.begin(), run.control.choices.end(),
                                  [](const Choice& c) { return c.pick != c.plainPick; });
  if (first != run.control.choices.end()) {
    from = around.empty() ? failing : *around.begin();
    for (std::size_t k = 0; k < from; ++k) {
      if (p.acted[p.order[k]] >= first->beforeStep) {
        from = k;
        break;
      }
    }
  }
  // A rule that names nobody (too many waiting) concerns every customer.
  const std::set<int> who = concerned(run, verdict, p);
  std::set<std::size_t> lines = around;
  for (std::size_t k = from; k < failing; ++k) {
    const Event& event = run.events[p.order[k]];
    if (!tells(run, p, p.order[k])) continue;
    if (event.actor() == Actor::kBarber || who.empty() || who.count(event.who) > 0) {
      lines.insert(k);
    }
  }
  lines.insert(failing);
  constexpr std::size_t kStepsTold = 6;
  for (bool minorOnly : {true, false}) {
    for (auto line = lines.begin(); lines.size() > kStepsTold && line != lines.end();) {
      const bool keep = *line == failing || (minorOnly && !minor(run.events[p.order[*line]].kind));
      line = keep ? std::next(line) : lines.erase(line);
    }
  }
  while (lines.size() > kStepsTold) lines.erase(lines.begin());
  return lines;
}

}  // namespace

Printed whoPrinted(const RunRecord& run) {
  const std::vector<long> prints = printsOf(run);
  Printed printed{std::vector<int>(prints.size(), -1), std::vector<int>(prints.size(), 0)};
  for (std::size_t e = 0; e < prints.size(); ++e) {
    if (prints[e] < 0) continue;
    const SyncStep& step = run.control.steps[static_cast<std::size_t>(prints[e])];
    printed.tid[e] = step.tid;
    printed.step[e] = step.n;
  }
  return printed;
}

std::vector<StoryStep> numberedStory(const RunRecord& run, const Verdict& verdict) {
  std::vector<StoryStep> story;
  if (!run.control.controlled || verdict.holds()) return story;
  Placed placed = placeLines(run);
  const std::vector<Finding>& broken = verdict.broken;
  placed.idleTold = !broken.empty() && !broken.front().events.empty() &&
                    run.events[broken.front().events.back()].kind == Kind::kTorn;
  const std::optional<std::size_t> failing = failingLine(run, verdict, placed);
  if (!failing) return story;
  bool barberTold = false;
  for (std::size_t k : storyLines(run, verdict, placed, *failing)) {
    const std::size_t line = placed.order[k];
    const Event& event = run.events[line];
    barberTold = barberTold || event.actor() == Actor::kBarber;
    story.push_back(StoryStep{placed.at[line], static_cast<int>(line), sentenceOf(run, event)});
  }
  story.back().text += ": " + whyWords(run, verdict, barberTold);
  return story;
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
