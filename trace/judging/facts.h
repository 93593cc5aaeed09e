#ifndef BARBERSHOP_TRACE_JUDGING_FACTS_H_
#define BARBERSHOP_TRACE_JUDGING_FACTS_H_
// What each customer's own lines and the barber's lines about it say, gathered line by line in
// the story's one pass over an attributed run (trace/judging/story.h), for the rules to read.
// Pure.

#include <cstddef>
#include <optional>
#include <vector>

#include "trace/judging/visit.h"
#include "trace/reading/run_record.h"

struct VisitFacts {
  VisitStep step = VisitStep::kNone;
  std::vector<std::size_t> lines;     // its own lines (indexes into the run's events)
  std::vector<std::size_t> badLines;  // its lines that no visit could go on with
  bool woke = false, sat = false, saidGone = false, leftCut = false;
  std::optional<std::size_t> sawAsleep;                          // its last "see Barber sleeping"
  std::optional<std::size_t> gotChair, cutStart, finish, leave;  // the first of each
  int cuts = 0;
};

struct RunFacts {
  std::vector<VisitFacts> visits;      // by roster position
  std::vector<std::size_t> strangers;  // lines about an ID nobody on the roster has
  bool closed = false;                 // the run reached its closing line
};

// What line `i` of the run says of the visit it is about, as the story reads the run line by
// line: the only pass over a run's lines there is.
void factsLine(const RunRecord& run, std::size_t i, RunFacts* facts);

#endif  // BARBERSHOP_TRACE_JUDGING_FACTS_H_
