#ifndef BARBERSHOP_TRACE_EXPLORE_SHORTEST_H_
#define BARBERSHOP_TRACE_EXPLORE_SHORTEST_H_
// The shortest failing schedule: a failing run's choices turned into overrides of the plain
// order (each choice whose pick was not the plain pick), then as many of them dropped as the run
// allows while it still fails the same way, in ever smaller pieces down to one at a time, the
// overrides after a dropped piece also tried a few choices earlier or later.
// Controlled runs are repeatable, so every trial is one run. Single-threaded.

#include <string>
#include <vector>

#include "trace/explore/plan.h"
#include "trace/explore/runner.h"

struct Shortest {
  bool reproduced = false;          // the failing plan failed the same way again
  std::vector<Override> overrides;  // the switches the shortest run made
  std::string plan;                 // over=...;then=first
  RunOutcome outcome;               // the shortest run
  int trials = 0;                   // runs spent
};

// The switches `outcome` made: its choices whose pick was not the plain pick.
std::vector<Override> switchesOf(const RunOutcome& outcome);

// `plan` failed as `failure`; at most `maxTrials` runs.
Shortest shortestFailing(const Runner& runner, const std::string& plan, const std::string& failure,
                         int maxTrials = 1000);

#endif  // BARBERSHOP_TRACE_EXPLORE_SHORTEST_H_
