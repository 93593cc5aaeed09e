#ifndef BARBERSHOP_TRACE_EXPLORE_WORKERS_H_
#define BARBERSHOP_TRACE_EXPLORE_WORKERS_H_
// Runs a batch of schedules, in this process or spread over forked workers of the companion
// (worker j takes the schedules whose index is j modulo the number of workers), and stops at the
// lowest-numbered schedule that fails: a worker skips every schedule numbered above a failure
// any worker has found. The companion is single-threaded, so forking it is safe; each worker
// sends its results back as lines on a pipe and ends with _exit.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trace/explore/plan.h"
#include "trace/explore/runner.h"

struct Task {
  std::int64_t index = 0;
  std::string plan;
  std::vector<Override> overrides;  // for the schedules near the plain order
  bool counted = true;  // in the part of the search asked for; else run only to learn from
  bool learn = false;   // report the schedules one more switch away from this one
};

struct BatchResult {
  std::int64_t ran = 0;                // schedules run and counted
  std::optional<std::int64_t> failed;  // the lowest counted index that failed
  std::string failure;                 // how it failed
  // For each task with `learn`, in task order: the schedules one switch further.
  std::vector<std::vector<std::vector<Override>>> learned;
  bool programFailed = false;  // the program could not be run; `status` says how
  int status = 0;
};

// The schedules one switch beyond `overrides`: each later choice of `outcome` given to each
// thread that could have gone instead of its plain pick.
std::vector<std::vector<Override>> oneSwitchFurther(const std::vector<Override>& overrides,
                                                    const RunOutcome& outcome);

// `tasks` in increasing index order.
BatchResult runBatch(const Runner& runner, const std::vector<Task>& tasks, int jobs);

// A run hands over between the companion and its program hundreds of times, and a hand-over to
// another processor waits for that one to wake. While one of these lives, this process keeps to
// the processor it is on, and so does the program it starts (and what that forks); the workers
// of a batch each keep to one of the processors this process had before, when there is one for
// each. Made on the session's thread, one at a time.
class KeepToOneProcessor {
 public:
  KeepToOneProcessor();
  ~KeepToOneProcessor();
  KeepToOneProcessor(const KeepToOneProcessor&) = delete;
  KeepToOneProcessor& operator=(const KeepToOneProcessor&) = delete;

 private:
  bool pinned_ = false;
};

#endif  // BARBERSHOP_TRACE_EXPLORE_WORKERS_H_
