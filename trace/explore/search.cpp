// The search's phases: the plain order, the schedules near it, then the walks.

#include "trace/explore/search.h"

#include <algorithm>
#include <vector>

#include "trace/explore/workers.h"

namespace {

// The part of [begin, end) that lies in [from, to).
std::int64_t overlap(std::int64_t begin, std::int64_t end, std::int64_t from, std::int64_t to) {
  return std::max<std::int64_t>(0, std::min(end, to) - std::max(begin, from));
}

// Schedules within two switches, guessed from the plain run: one switch at any choice, two at
// any pair of choices, each to any thread that could have gone instead.
std::int64_t boundedEstimate(const RunOutcome& plain) {
  std::int64_t sum = 0, squares = 0;
  for (const Choice& choice : plain.choices) {
    const auto others = static_cast<std::int64_t>(alternatives(choice).size());
    sum += others;
    squares += others * others;
  }
  return sum + (sum * sum - squares) / 2;
}

struct Search {
  Search(const Runner& r, const ExploreOptions& o) : runner(r), options(o) {}
  const Runner& runner;
  const ExploreOptions& options;
  std::int64_t to = 0;
  std::int64_t walkFrom = 1;  // the first walk's index
  Exploration result;

  // Runs `tasks`; false when the search ends with them: a failure, or no program to run.
  bool batch(const std::vector<Task>& tasks, BatchResult* out) {
    *out = runBatch(runner, tasks, options.jobs);
    if (out->programFailed) {
      result.programFailed = true;
      result.status = out->status;
      return false;
    }
    return !out->failed.has_value();
  }

  // Tasks for the schedules `lists`, numbered from `first`, within the budget.
  std::vector<Task> near(const std::vector<std::vector<Override>>& lists, std::int64_t first,
                         bool learn) {
    std::vector<Task> tasks;
    for (std::size_t i = 0;
         i < lists.size() && first + static_cast<std::int64_t>(i) < options.budget; ++i) {
      Task task;
      task.index = first + static_cast<std::int64_t>(i);
      task.overrides = lists[i];
      task.plan = overridePlan(lists[i]);
      task.counted = task.index >= options.from && task.index < to;
      task.learn = learn;
      if (task.counted || learn) tasks.push_back(std::move(task));
    }
    return tasks;
  }

  // The batch's lowest failure, as the schedule that found it.
  void fail(const BatchResult& batch, Strategy strategy, const std::vector<Task>& tasks) {
    Found found;
    found.index = *batch.failed;
    found.strategy = strategy;
    found.failure = batch.failure;
    for (const Task& task : tasks) {
      if (task.index == found.index) found.plan = task.plan;
    }
    if (strategy != Strategy::kPlain && strategy != Strategy::kBounded) {
      found = walkSchedule(found.index, options.seed, result.steps);
      found.failure = batch.failure;
    }
    result.found = found;
  }

  // Schedules 1.. within two switches, after which the walks begin (`walkFrom`); false when the
  // search ended among them.
  bool bounded(const RunOutcome& plain) {
    const auto level1 = oneSwitchFurther({}, plain);
    const auto ones = static_cast<std::int64_t>(level1.size());
    walkFrom = std::min(options.budget, 1 + ones);
    // Their runs teach the two-switch schedules, needed when any of those is asked for.
    const bool learn = to > 1 + ones;
    std::vector<Task> tasks = near(level1, 1, learn);
    BatchResult first;
    if (!batch(tasks, &first)) {
      if (first.failed) fail(first, Strategy::kBounded, tasks);
      return false;
    }
    if (!learn) return true;
    std::vector<std::vector<Override>> level2;
    for (const auto& learned : first.learned) {
      level2.insert(level2.end(), learned.begin(), learned.end());
    }
    result.tally.boundedSpace = ones + static_cast<std::int64_t>(level2.size());
    walkFrom = std::min(options.budget, 1 + result.tally.boundedSpace);
    std::vector<Task> seconds = near(level2, 1 + ones, false);
    BatchResult second;
    if (!batch(seconds, &second)) {
      if (second.failed) fail(second, Strategy::kBounded, seconds);
      return false;
    }
    return true;
  }

  void walks(std::int64_t first) {
    std::vector<Task> tasks;
    for (std::int64_t i = std::max(first, options.from); i < to; ++i) {
      Task task;
      task.index = i;
      task.plan = walkSchedule(i, options.seed, result.steps).plan;
      tasks.push_back(std::move(task));
    }
    BatchResult out;
    if (!batch(tasks, &out) && out.failed) fail(out, Strategy::kRandom, tasks);
  }

  void tally() {
    Tally& t = result.tally;
    const std::int64_t upto = result.found ? result.found->index : to;
    t.plain = overlap(0, 1, options.from, upto);
    t.bounded = overlap(1, walkFrom, options.from, upto);
    t.walks = overlap(walkFrom, options.budget, options.from, upto);
    t.boundedAll = t.boundedSpace >= 0 && 1 + t.boundedSpace <= options.budget &&
                   options.from <= 1 && upto >= 1 + t.boundedSpace;
  }
};

}  // namespace

Found walkSchedule(std::int64_t index, std::uint64_t seed, int steps) {
  Found found;
  found.index = index;
  found.strategy = walkStrategy(index);
  found.seed = walkSeed(seed, index);
  found.plan = walkPlan(found.strategy, found.seed, steps);
  return found;
}

Exploration explore(const Runner& runner, const ExploreOptions& options) {
  Search search(runner, options);
  search.to = options.to < 0 ? options.budget : std::min(options.to, options.budget);
  // The plain run is always run: its choice points and length shape every other schedule.
  const RunOutcome plain = runner(plainPlan());
  if (!plain.ran) {
    search.result.programFailed = true;
    search.result.status = plain.status;
    return search.result;
  }
  search.result.steps = plain.steps;
  search.result.tally.boundedEstimate = boundedEstimate(plain);
  if (!plain.failure.empty() && options.from == 0) {
    search.result.found = Found{0, Strategy::kPlain, 0, plainPlan(), plain.failure};
  } else if (1 + search.result.tally.boundedEstimate > options.budget || search.bounded(plain)) {
    search.walks(search.walkFrom);
  }
  search.tally();
  return search.result;
}
