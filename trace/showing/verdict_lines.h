#ifndef BARBERSHOP_TRACE_SHOWING_VERDICT_LINES_H_
#define BARBERSHOP_TRACE_SHOWING_VERDICT_LINES_H_
// A verdict as the summary and the aggregate draw it: each broken rule by its stable name with
// what the rule means in words, what broke it, the lines that show it, and why a run did not
// finish. Pure.

#include <cstddef>
#include <string>
#include <vector>

#include "trace/judging/verdict.h"
#include "trace/reading/run_record.h"
#include "trace/showing/text.h"

struct VerdictForm {
  bool compact = false;  // no lines under a finding, and at most three findings
  bool why = true;       // say how an unfinished run ended (left out where the summary's top
                         // line already says it)
};

// `events` are the run's, for the lines under each finding; empty where they are not kept.
void addVerdict(std::vector<Line>* body, const Verdict& verdict, RunEnd end,
                const std::vector<Event>& events, std::size_t inner, const ViewStyle& style,
                VerdictForm form);

// What a rule means, for beside its stable name: "never two customers in the barber's chair" for
// "one-in-chair"; null for a rule the check does not know.
const char* ruleWords(const std::string& rule);

#endif  // BARBERSHOP_TRACE_SHOWING_VERDICT_LINES_H_
