#ifndef BARBERSHOP_TRACE_JUDGING_CHECK_H_
#define BARBERSHOP_TRACE_JUDGING_CHECK_H_
// The verdict on a run: its events checked against the shop's rules. Every customer leaves
// exactly once, one way; never two in the chair; never more than six waiting; served in the
// order they sat; everyone who sat is cut; nobody is released before the finish line of their
// cut; every state block shows what the lines before it report; no line is torn; outcomes as
// the exact schedule predicts, except where arrivals were too close to order (a race, not a
// failure). Pure; the one checker of a run there is.

#include <cstddef>
#include <string>
#include <vector>

#include "trace/judging/analysis.h"
#include "trace/reading/run_record.h"

// A broken rule, with the events (indexes into RunRecord::events) that show it.
struct Finding {
  std::string rule;  // a short stable name: "one-way-out", "one-in-chair", "queue-capacity", ...
  std::string what;  // one sentence naming the customers involved
  std::vector<std::size_t> events;
};

// An outcome that the exact schedule could not decide: `decided` arrived within `apartMs` of
// `other` (an arrival, or the end of a cut), and the order between them was the machine's.
struct Race {
  std::string decided;
  std::string other;
  double apartMs = 0;
  std::string what;  // e.g. "B woke the barber; the schedule had A do it"
};

struct Verdict {
  std::vector<Finding> broken;
  std::vector<Race> races;
  bool complete = true;  // the run ended with its closing line
  std::string stuck;     // for a run that never ended: who is stuck and how
  bool holds() const { return broken.empty() && complete; }
};

// `analysis` carries the run's exact schedule, customer by customer.
Verdict checkRun(const RunRecord& run, const Analysis& analysis);

#endif  // BARBERSHOP_TRACE_JUDGING_CHECK_H_
