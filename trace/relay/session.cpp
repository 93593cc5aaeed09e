// The relay: the program's bytes out as they come, answers in as it asks, runs read on the way.

#include "trace/relay/session.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "console/texts.h"
#include "core/narration.h"
#include "trace/judging/schedule.h"
#include "trace/reading/events.h"
#include "trace/relay/child.h"
#include "trace/relay/dialogue.h"

namespace {

std::int64_t monotonicUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

std::int64_t unixMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Set once standard output has no reader left (`| head`): the session then ends as a program
// killed by SIGPIPE would, instead of running on unseen.
bool gReaderGone = false;

// Writes all of `bytes` to `fd`.
void emit(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (fd == STDOUT_FILENO && errno == EPIPE) gReaderGone = true;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// A run not over this long after its exact schedule has ended is stuck.
std::int64_t stuckAfterUs(const Schedule& schedule) {
  const std::int64_t margin = std::max<std::int64_t>(2000, schedule.closingMs / 2);
  return (schedule.closingMs + margin) * 1000;
}

// How long to wait, before starting a run, for the barber's bed line of the run before.
constexpr std::int64_t kBedWaitUs = 2000000;

enum class Phase { kConsole, kShowing, kWaitingForBed, kRunning };

class Loop {
 public:
  Loop(const SessionOptions& options, std::vector<FinishedRun>* runs,
       const std::function<void(const FinishedRun&)>& on_run)
      : options_(options), runs_(runs), on_run_(on_run) {
    if (options.typeRoster) {
      const int times = options.runs > 0 ? options.runs : 1;
      for (int i = 0; i < times; ++i) {
        for (const std::string& answer : rosterAnswers(options.roster)) script_ += answer;
        if (options.runs > 0) script_ += std::to_string(kChoiceRun) + "\n";
      }
      if (options.runs > 0) script_ += std::to_string(kChoiceExit) + "\n";
    }
  }

  int run() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signals = signalfd(-1, &stops, SFD_CLOEXEC);

    std::string error;
    if (!child_.start(options_.program, &error)) {
      emit(STDERR_FILENO, "barbershop-trace: " + error + "\n");
      return kExitProgramFailed;
    }
    int stopped_by = 0;
    while (child_.output() >= 0 || child_.errors() >= 0) {
      pollfd fds[4] = {{child_.output(), POLLIN, 0},
                       {child_.errors(), POLLIN, 0},
                       {wantInput() ? STDIN_FILENO : -1, POLLIN, 0},
                       {signals, POLLIN, 0}};
      int rc = poll(fds, 4, timeoutMs());
      if (rc < 0 && errno != EINTR) break;
      const std::int64_t now = monotonicUs();
      if (fds[3].revents & POLLIN) {
        signalfd_siginfo info{};
        if (read(signals, &info, sizeof info) == sizeof info) {
          stopped_by = static_cast<int>(info.ssi_signo);
          break;
        }
      }
      std::string chunk;
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        if (child_.read(child_.output(), &chunk)) {
          output(chunk, now);
        } else {
          child_.closeOutput(child_.output());
          if (phase_ == Phase::kRunning) finishRun(RunEnd::kDied, now);
          // It ended while listing its customers: what it printed is still its own.
          if (phase_ == Phase::kShowing) show(hidden_);
        }
      }
      if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        if (child_.read(child_.errors(), &chunk)) {
          // The program writes here only when a threading call fails and it ends.
          wrote_errors_ = true;
          emit(STDERR_FILENO, chunk);
        } else {
          child_.closeOutput(child_.errors());
        }
      }
      if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) userInput();
      deadlines(monotonicUs());
      answer(monotonicUs());
      if (gReaderGone) {
        stopped_by = SIGPIPE;
        break;
      }
    }
    if (stopped_by != 0) {
      if (phase_ == Phase::kRunning) finishRun(RunEnd::kInterrupted, monotonicUs());
      child_.kill();
      (void)child_.wait();
      return 128 + stopped_by;
    }
    const int status = child_.wait();
    if (phase_ == Phase::kRunning) finishRun(RunEnd::kDied, monotonicUs());
    return exitStatus(status);
  }

 private:
  int exitStatus(int status) const {
    if (killed_stuck_) return kExitBroken;
    if (options_.runs > 0) {
      // Without a person: the program must end through the Exit the script typed.
      std::string why;
      if (wrote_errors_) why = "wrote to standard error";
      if (died_) why = "ended during a run";
      if (why.empty() && (status != 0 || !script_.empty())) {
        why = "ended before the roster was run (status " + std::to_string(status) + ")";
      }
      if (!why.empty()) {
        emit(STDERR_FILENO, "barbershop-trace: " + options_.program + " failed: it " + why + "\n");
        return kExitProgramFailed;
      }
      return broken_ ? kExitBroken : kExitOk;
    }
    if (status != 0) return status;
    return broken_ || died_ ? kExitBroken : kExitOk;
  }

  bool scripted() const { return !script_.empty(); }

  // The user's input is read only when the program asks and the script has nothing left, so
  // keys typed during a run wait in the terminal, as they do without the companion.
  bool wantInput() const {
    return options_.runs == 0 && !input_ended_ && phase_ == Phase::kConsole &&
           prompt_ != Prompt::kNone && !scripted() && !answerFor(prompt_, input_, false).complete;
  }

  int timeoutMs() const {
    std::int64_t deadline = 0;
    if (phase_ == Phase::kRunning) deadline = run_started_ + stuck_after_;
    if (phase_ == Phase::kWaitingForBed) deadline = bed_wait_until_;
    if (deadline == 0) return -1;  // at the menu: block until something happens
    const std::int64_t left = deadline - monotonicUs();
    return left <= 0 ? 0 : static_cast<int>(left / 1000 + 1);
  }

  void deadlines(std::int64_t now) {
    if (phase_ == Phase::kRunning && now - run_started_ >= stuck_after_) {
      finishRun(RunEnd::kStuck, now);
      killed_stuck_ = true;
      child_.kill();
    } else if (phase_ == Phase::kWaitingForBed && now >= bed_wait_until_) {
      startRun();
    }
  }

  void userInput() {
    std::string chunk;
    if (child_.read(STDIN_FILENO, &chunk)) {
      input_ += chunk;
    } else {
      input_ended_ = true;
    }
  }

  void show(std::string_view bytes) {
    if (!options_.quiet) emit(STDOUT_FILENO, bytes);
  }

  void output(std::string_view chunk, std::int64_t now) {
    switch (phase_) {
      case Phase::kRunning: {
        std::vector<Event> events = parser_->feed(chunk, now - run_started_);
        for (Event& event : events) record_.events.push_back(std::move(event));
        if (!parser_->closed()) {
          show(chunk);
          return;
        }
        const std::string rest = parser_->takeRest();
        show(chunk.substr(0, chunk.size() - rest.size()));
        finishRun(RunEnd::kClosed, now);
        if (!rest.empty()) output(rest, now);
        return;
      }
      case Phase::kShowing: {
        hidden_ += chunk;
        int beds = 0;
        std::string list = withoutBedLines(hidden_, &beds);
        if (promptAtEnd(list) != Prompt::kChoice) return;
        // The exchange stays off the screen, but the barber's lines in it are his own.
        for (int i = 0; i < beds; ++i) show(kBarberToBed);
        if (beds > 0) bed_pending_ = false;
        std::optional<Roster> roster = parseCustomerList(list);
        if (!roster) {
          emit(STDERR_FILENO,
               "barbershop-trace: could not read the customer list; this run is not checked "
               "against its roster\n");
        }
        record_ = RunRecord{};
        record_.roster = roster.value_or(Roster{});
        hidden_.clear();
        if (bed_pending_) {
          phase_ = Phase::kWaitingForBed;
          bed_wait_until_ = now + kBedWaitUs;
        } else {
          startRun();
        }
        return;
      }
      case Phase::kWaitingForBed:
      case Phase::kConsole: {
        show(chunk);
        console_ += chunk;
        int beds = 0;
        std::string text = withoutBedLines(console_, &beds);
        if (beds > 0) bed_pending_ = false;
        if (phase_ == Phase::kWaitingForBed) {
          if (!bed_pending_) startRun();
          return;
        }
        prompt_ = promptAtEnd(text);
        return;
      }
    }
  }

  // Hands the next answer over when the program has asked for one and all of it is there.
  void answer(std::int64_t now) {
    if (phase_ != Phase::kConsole || prompt_ == Prompt::kNone || child_.input() < 0) return;
    const bool from_script = scripted();
    if (!from_script && options_.runs > 0) return;
    std::string& source = from_script ? script_ : input_;
    const bool ended = from_script ? false : input_ended_;
    Answer next = answerFor(prompt_, source, ended);
    if (!next.complete) return;
    if (next.length == 0) {  // the user's input has ended: so does the program's
      child_.closeInput();
      return;
    }
    std::string bytes = source.substr(0, next.length);
    source.erase(0, next.length);
    prompt_ = Prompt::kNone;
    console_.clear();
    if (from_script && !options_.quiet) emit(STDOUT_FILENO, bytes);  // as a terminal echoes
    if (next.choice == kChoiceRun) {
      // Ask for the list first, off the screen, so the run's roster is known exactly.
      run_answer_ = bytes;
      phase_ = Phase::kShowing;
      (void)child_.write(std::to_string(kChoiceShow) + "\n");
      (void)now;
      return;
    }
    (void)child_.write(bytes);
  }

  void startRun() {
    phase_ = Phase::kRunning;
    record_.number = static_cast<int>(runs_->size()) + 1;
    record_.slow = options_.slow;
    record_.program = options_.program;
    record_.writtenBy = options_.writtenBy;
    parser_.emplace(record_.roster);
    schedule_ = exactSchedule(record_.roster);
    stuck_after_ = stuckAfterUs(schedule_);
    record_.startedUnixMs = unixMs();
    run_started_ = monotonicUs();
    (void)child_.write(run_answer_);
  }

  void finishRun(RunEnd end, std::int64_t now) {
    record_.end = end;
    record_.endUs = now - run_started_;
    if (end != RunEnd::kClosed) {
      for (Event& event : parser_->finish(record_.endUs)) record_.events.push_back(event);
      if (end == RunEnd::kDied) died_ = true;
    }
    phase_ = Phase::kConsole;
    console_.clear();
    // The barber says he goes to bed after his last cut, which may come after the closing line.
    bed_pending_ = true;
    for (const Event& event : record_.events) {
      if (event.actor() == Actor::kBarber) bed_pending_ = event.kind != Kind::kBarberToBed;
    }
    FinishedRun finished = finish(std::move(record_));
    if (!finished.verdict.holds()) broken_ = true;
    runs_->push_back(std::move(finished));
    if (on_run_) on_run_(runs_->back());
  }

  const SessionOptions& options_;
  std::vector<FinishedRun>* runs_;
  const std::function<void(const FinishedRun&)>& on_run_;
  Child child_;
  Phase phase_ = Phase::kConsole;
  Prompt prompt_ = Prompt::kNone;
  std::string console_;  // the console's text since the last answer
  std::string hidden_;   // the customer list being read off the screen
  std::string script_;   // answers still to type
  std::string input_;    // the user's input not yet handed over
  bool input_ended_ = false;
  std::string run_answer_;
  bool bed_pending_ = true;  // the barber has not yet said he is in bed
  std::int64_t bed_wait_until_ = 0;
  std::optional<RunParser> parser_;
  RunRecord record_;
  Schedule schedule_;
  std::int64_t run_started_ = 0, stuck_after_ = 0;
  bool wrote_errors_ = false, died_ = false, broken_ = false, killed_stuck_ = false;
};

}  // namespace

Session::Session(SessionOptions options) : options_(std::move(options)) {}

int Session::run() { return Loop(options_, &runs_, on_run_).run(); }
