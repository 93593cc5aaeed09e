#ifndef BARBERSHOP_TRACE_JUDGING_FINISH_H_
#define BARBERSHOP_TRACE_JUDGING_FINISH_H_
// The one step from a recorded run to a judged one: its lines attributed to customers, measured
// against the exact schedule and checked. The live session and `render` of a saved log both call
// it, so a run is judged the same way on either path. Pure.

#include <string>

#include "trace/judging/analysis.h"
#include "trace/judging/attribution.h"
#include "trace/judging/numbered_story.h"
#include "trace/judging/verdict.h"
#include "trace/reading/run_record.h"

struct FinishedRun {
  RunRecord record;  // its events attributed
  Attribution attribution;
  Story story;  // the shop and each visit, told once for every view
  Analysis analysis;
  Verdict verdict;
  // For a controlled run that broke a rule or got stuck: its failing moment, numbered (empty
  // otherwise).
  std::vector<StoryStep> numbered;
  double judgedMs = 0;  // how long this step took, for the companion's own cost
};

FinishedRun finish(RunRecord record);

// The verdict in a few words: "every rule holds", "2 rules broken", "the run got stuck".
std::string verdictHeadline(const Verdict& verdict);

#endif  // BARBERSHOP_TRACE_JUDGING_FINISH_H_
