#ifndef BARBERSHOP_TRACE_JUDGING_NUMBERED_STORY_H_
#define BARBERSHOP_TRACE_JUDGING_NUMBERED_STORY_H_
// A controlled run that broke a rule or got stuck, told as a few numbered steps in the shop's
// own words around the switches that mattered: "① Bob sees the barber awake ② the barber finds
// the queue empty and goes to bed ③ Bob sits down: nobody will wake him". Read by the terminal's
// explore report and the page's caption, each step with its instant. Pure.

#include <string>
#include <vector>

#include "trace/common/micros.h"
#include "trace/judging/verdict.h"
#include "trace/reading/run_record.h"

struct StoryStep {
  Micros at;         // the instant the step it tells happened, since the Run choice
  int event = -1;    // the narration line it tells (an index into the run's events), or -1
  std::string text;  // "Bob sees the barber awake", without its number
};

// The numbered steps of a controlled run that did not hold; its events attributed. A handful:
// the lines each thread a switch stopped or let go said around it, then the failing line, which
// ends with why it failed; told in the order of the steps they tell (a line under a lock at the
// release that ended it), not of their prints. Empty for a run that held or was not controlled.
std::vector<StoryStep> numberedStory(const RunRecord& run, const Verdict& verdict);

// The thread that printed each event and the step it printed it in (0: not known), matched in
// order by the moment and the bytes of each print step; the page spreads its lines by them too.
struct Printed {
  std::vector<int> tid, step;
};
Printed whoPrinted(const RunRecord& run);

// "①", "②", ... (then "(21)" beyond twenty), for the step numbered `n` from 1.
std::string stepNumber(int n);

#endif  // BARBERSHOP_TRACE_JUDGING_NUMBERED_STORY_H_
