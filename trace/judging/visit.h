#ifndef BARBERSHOP_TRACE_JUDGING_VISIT_H_
#define BARBERSHOP_TRACE_JUDGING_VISIT_H_
// A customer's visit as the lines it prints, step by step: each line moves the visit on, and a
// line that cannot come next in any visit of the shop breaks the rule that a customer leaves
// exactly once, one way. Shared by the attribution of lines to namesakes and by the check. Pure.

#include "trace/reading/kinds.h"

enum class VisitStep {
  kNone,  // not come in yet, or back from a failed wake-up
  kSawSleeping,
  kTried,
  kWoke,
  kSawAwake,
  kTriedChair,
  kSat,
  kWaiting,
  kOut,
};

// Moves `step` on by a line of `kind`; false, leaving it, when the line cannot come next.
bool advance(VisitStep* step, Kind kind);

#endif  // BARBERSHOP_TRACE_JUDGING_VISIT_H_
