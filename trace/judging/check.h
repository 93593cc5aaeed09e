#ifndef BARBERSHOP_TRACE_JUDGING_CHECK_H_
#define BARBERSHOP_TRACE_JUDGING_CHECK_H_
// The verdict on an attributed run: the shop's rules (trace/judging/rules.h) over its lines,
// whether it finished and, when stuck, who waited for what; and the notes that break no rule: an
// outcome the exact schedule did not plan (a race or a late thread on a busy machine), and
// namesakes the program's text cannot tell apart, whose findings become notes too. Pure; the one
// checker of a run there is.

#include "trace/judging/analysis.h"
#include "trace/judging/attribution.h"
#include "trace/judging/story.h"
#include "trace/judging/verdict.h"
#include "trace/reading/run_record.h"

// `story` is the run's (trace/judging/story.h): the rules read the facts its pass gathered.
Verdict checkRun(const RunRecord& run, const Story& story, const Analysis& analysis,
                 const Attribution& attribution);

#endif  // BARBERSHOP_TRACE_JUDGING_CHECK_H_
