// The batch's workers, and the lines they send back.

#include "trace/explore/workers.h"

#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <limits>
#include <new>
#include <sstream>

#include "trace/relay/run_forks.h"
#include "trace/relay/session.h"

namespace {

constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();

using Emit = std::function<void(const std::string& line)>;

std::string overridesText(const std::vector<std::vector<Override>>& lists) {
  std::string text;
  for (std::size_t i = 0; i < lists.size(); ++i) {
    text += i == 0 ? "" : ";";
    for (std::size_t j = 0; j < lists[i].size(); ++j) {
      text += (j == 0 ? "" : ",") + std::to_string(lists[i][j].k) + ":" +
              std::to_string(lists[i][j].tid);
    }
  }
  return text;
}

std::vector<std::vector<Override>> overridesOf(const std::string& text) {
  std::vector<std::vector<Override>> lists;
  std::istringstream all(text);
  for (std::string list; std::getline(all, list, ';');) {
    lists.emplace_back();
    std::istringstream each(list);
    for (std::string pair; std::getline(each, pair, ',');) {
      Override one;
      if (std::sscanf(pair.c_str(), "%d:%d", &one.k, &one.tid) == 2) lists.back().push_back(one);
    }
  }
  return lists;
}

// Lowers `lowest` to `index` unless a lower failure is already there.
void lowerTo(std::atomic<std::int64_t>* lowest, std::int64_t index) {
  std::int64_t seen = lowest->load();
  while (index < seen && !lowest->compare_exchange_weak(seen, index)) {
  }
}

// Worker `j` of `jobs`: its share of the tasks, each told as a line.
void work(const Runner& runner, const std::vector<Task>& tasks, int j, int jobs,
          std::atomic<std::int64_t>* lowest, const Emit& emit) {
  for (std::size_t position = 0; position < tasks.size(); ++position) {
    const Task& task = tasks[position];
    if (task.index % jobs != j) continue;
    if (task.index > lowest->load()) break;
    const RunOutcome outcome = runner(task.plan);
    if (!outcome.ran) {
      emit("broke " + std::to_string(outcome.status));
      lowerTo(lowest, -1);
      return;
    }
    if (task.learn) {
      emit("learn " + std::to_string(position) + " " +
           overridesText(oneSwitchFurther(task.overrides, outcome)));
    }
    if (!task.counted) continue;
    if (outcome.failure.empty()) {
      emit("ran " + std::to_string(task.index));
    } else {
      lowerTo(lowest, task.index);
      emit("fail " + std::to_string(task.index) + " " + outcome.failure);
    }
  }
}

void absorb(const std::string& line, BatchResult* result) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  if (word == "ran" || word == "fail") {
    std::int64_t index = 0;
    in >> index;
    ++result->ran;
    if (word == "fail" && (!result->failed || index < *result->failed)) {
      result->failed = index;
      in >> result->failure;
    }
  } else if (word == "learn") {
    std::size_t position = 0;
    std::string text;
    in >> position;
    in >> text;
    result->learned[position] = overridesOf(text);
  } else if (word == "broke" && !result->programFailed) {
    // The first word wins: a signal passed on is said before its workers end their runs.
    result->programFailed = true;
    in >> result->status;
  }
}

// The signals that end the companion: blocked, as a session blocks them, and read from a
// descriptor while the workers run, so an interrupted search ends its workers and says so.
int watchSignals() {
  sigset_t ends;
  (void)sigemptyset(&ends);  // cannot fail for these valid signals
  for (int signo : kStopSignals) (void)sigaddset(&ends, signo);
  if (sigprocmask(SIG_BLOCK, &ends, nullptr) != 0) return -1;
  return signalfd(-1, &ends, SFD_CLOEXEC);
}

// A signal to the search reaches each worker, whose session then ends as interrupted.
void passOn(int signals, const std::vector<pid_t>& workers, BatchResult* result) {
  signalfd_siginfo info{};
  if (read(signals, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
  for (pid_t pid : workers) (void)kill(pid, static_cast<int>(info.ssi_signo));
  result->programFailed = true;
  result->status = 128 + static_cast<int>(info.ssi_signo);
}

cpu_set_t gBefore;   // what this process could use before a KeepToOneProcessor pinned it
bool gKept = false;  // whether one lives; both written on the session's thread only

bool pinTo(int cpu) {
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  return sched_setaffinity(0, sizeof one, &one) == 0;
}

// Worker `j`: the j-th processor of those this process could use, when there is one for each.
void pinWorker(int j, int jobs) {
  cpu_set_t allowed = gBefore;
  if ((!gKept && sched_getaffinity(0, sizeof allowed, &allowed) != 0) ||
      CPU_COUNT(&allowed) < jobs) {
    return;
  }
  int seen = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed) && seen++ == j) {
      (void)pinTo(cpu);  // a worker left unpinned still works
      return;
    }
  }
}

// Reads every worker's lines until each pipe closes.
void gather(std::vector<int> pipes, int signals, const std::vector<pid_t>& workers,
            BatchResult* result) {
  std::vector<std::string> pending(pipes.size());
  for (std::size_t open = pipes.size(); open > 0;) {
    std::vector<pollfd> polled;
    for (int fd : pipes) polled.push_back(pollfd{fd, POLLIN, 0});
    polled.push_back(pollfd{signals, POLLIN, 0});
    if (poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR) break;
    if (polled.back().revents != 0) passOn(signals, workers, result);
    for (std::size_t w = 0; w < pipes.size(); ++w) {
      if (pipes[w] < 0 || polled[w].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = read(pipes[w], buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        (void)close(pipes[w]);
        pipes[w] = -1;
        --open;
        continue;
      }
      pending[w].append(buffer, static_cast<std::size_t>(got));
      for (std::size_t end; (end = pending[w].find('\n')) != std::string::npos;) {
        absorb(pending[w].substr(0, end), result);
        pending[w].erase(0, end + 1);
      }
    }
  }
}

void writeAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) _exit(3);
    done += static_cast<std::size_t>(put);
  }
}

}  // namespace

std::vector<std::vector<Override>> oneSwitchFurther(const std::vector<Override>& overrides,
                                                    const RunOutcome& outcome) {
  const int after = overrides.empty() ? 0 : overrides.back().k;
  std::vector<std::vector<Override>> further;
  for (const Choice& choice : outcome.choices) {
    if (choice.k <= after) continue;
    for (int tid : alternatives(choice)) {
      further.push_back(overrides);
      further.back().push_back(Override{choice.k, tid});
    }
  }
  return further;
}

BatchResult runBatch(const Runner& runner, const std::vector<Task>& tasks, int jobs) {
  BatchResult result;
  result.learned.resize(tasks.size());
  if (jobs <= 1) {
    std::atomic<std::int64_t> lowest{kNone};
    work(runner, tasks, 0, 1, &lowest, [&](const std::string& line) { absorb(line, &result); });
    return result;
  }
  // The lowest failure any worker has found; every worker lowers it and reads it.
  void* shared = mmap(nullptr, sizeof(std::atomic<std::int64_t>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return runBatch(runner, tasks, 1);
  auto* lowest = new (shared) std::atomic<std::int64_t>(kNone);
  const int signals = watchSignals();
  std::vector<int> pipes;
  std::vector<pid_t> workers;
  for (int j = 0; j < jobs; ++j) {
    int ends[2];
    if (pipe(ends) != 0) break;
    (void)fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      (void)close(ends[0]);
      if (signals >= 0) (void)close(signals);
      for (int fd : pipes) (void)close(fd);
      pinWorker(j, jobs);
      work(runner, tasks, j, jobs, lowest,
           [&](const std::string& line) { writeAll(ends[1], line + "\n"); });
      stopForkServer();
      _exit(0);
    }
    (void)close(ends[1]);
    if (pid < 0) {
      (void)close(ends[0]);
      break;
    }
    pipes.push_back(ends[0]);
    workers.push_back(pid);
  }
  // Shares no worker could be started for are run here, before the workers' lines are read.
  for (int j = static_cast<int>(workers.size()); j < jobs; ++j) {
    work(runner, tasks, j, jobs, lowest, [&](const std::string& line) { absorb(line, &result); });
  }
  gather(pipes, signals, workers, &result);
  if (signals >= 0) (void)close(signals);
  for (pid_t pid : workers) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  (void)munmap(shared, sizeof(std::atomic<std::int64_t>));
  return result;
}

KeepToOneProcessor::KeepToOneProcessor() {
  const int cpu = sched_getcpu();
  pinned_ = !gKept && cpu >= 0 && sched_getaffinity(0, sizeof gBefore, &gBefore) == 0 && pinTo(cpu);
  gKept = gKept || pinned_;
}

KeepToOneProcessor::~KeepToOneProcessor() {
  if (!pinned_) return;
  (void)sched_setaffinity(0, sizeof gBefore, &gBefore);
  gKept = false;
}
