#ifndef BARBERSHOP_TRACE_EXPLORE_RUNNER_H_
#define BARBERSHOP_TRACE_EXPLORE_RUNNER_H_
// What an exploration needs of one controlled run: run the roster once under a plan and say
// whether it held, which rule it broke, and the choices the scheduler made. The real runner is a
// Session (trace/explore/session_runner.h); the tests give a small simulated program.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "trace/judging/finish.h"
#include "trace/reading/control.h"

struct RunOutcome {
  bool ran = true;      // false: the program could not be run at all (`status` says how)
  int status = 0;       // the session's exit status
  std::string failure;  // empty when every rule held; else the rule broken, or "stuck"
  std::vector<Choice> choices;
  int steps = 0;                           // visible operations carried out
  std::shared_ptr<const FinishedRun> run;  // the judged run, when the runner keeps it
};

using Runner = std::function<RunOutcome(const std::string& plan)>;

// How a judged run failed, as a stable name: "stuck" for a run that got stuck, else its first
// broken rule, "unfinished" for one that ended otherwise; empty when it held.
std::string failureOf(const FinishedRun& run);

// The threads that could have gone at `choice` instead of the plain pick, lowest first.
std::vector<int> alternatives(const Choice& choice);

#endif  // BARBERSHOP_TRACE_EXPLORE_RUNNER_H_
