// How a run failed, and where it could have gone otherwise.

#include "trace/explore/runner.h"

std::string failureOf(const FinishedRun& run) {
  // A shop that hangs is what anyone watching it sees first, whatever it broke on the way.
  if (run.verdict.stuck) return "stuck";
  if (!run.verdict.broken.empty()) return run.verdict.broken.front().rule;
  if (!run.verdict.complete) return "unfinished";
  return "";
}

std::vector<int> alternatives(const Choice& choice) {
  std::vector<int> others;
  for (const PendingStep& thread : choice.threads) {
    if (thread.canGo && thread.tid != choice.plainPick) others.push_back(thread.tid);
  }
  return others;
}
