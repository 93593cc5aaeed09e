// One controlled run per plan.

#include "trace/explore/session_runner.h"

#include <utility>

Runner sessionRunner(const SessionOptions& base) {
  return [base](const std::string& plan) {
    SessionOptions options = base;
    options.controlPlan = plan;
    options.typeRoster = true;
    options.runs = 1;
    options.quiet = true;
    RunOutcome outcome;
    std::shared_ptr<FinishedRun> kept;
    Session session(std::move(options));
    session.onRun([&](const FinishedRun& run) { kept = std::make_shared<FinishedRun>(run); });
    outcome.status = session.run();
    // No run came back, the program failed before or instead of it; or the user interrupted
    // it: either way the search ends with the session's status.
    if (!kept || kept->record.end == RunEnd::kInterrupted) {
      outcome.ran = false;
      if (outcome.status == kExitOk || outcome.status == kExitBroken) {
        outcome.status = kExitProgramFailed;
      }
      return outcome;
    }
    outcome.failure = failureOf(*kept);
    outcome.choices = kept->record.control.choices;
    outcome.steps = static_cast<int>(kept->record.control.steps.size());
    outcome.run = std::move(kept);
    return outcome;
  };
}
