// The relay: the program's bytes out as they come, answers in as it asks, runs read on the way.

#include "trace/relay/session.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "console/texts.h"
#include "core/narration.h"
#include "trace/judging/schedule.h"
#include "trace/reading/events.h"
#include "trace/relay/child.h"
#include "trace/relay/controlled.h"
#include "trace/relay/dialogue.h"
#include "trace/relay/output.h"
#include "trace/relay/watch.h"

namespace {

std::int64_t unixMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void tell(const std::string& text) { writeErrors("barbershop-trace: " + text + "\n"); }

// An answer as a message quotes it: without its newline, other control bytes escaped.
std::string quoted(std::string_view answer) {
  if (!answer.empty() && answer.back() == '\n') answer.remove_suffix(1);
  std::string text = "\"";
  for (unsigned char c : answer) {
    if (c == '\n') {
      text += "\\n";
    } else if (c < 0x20 || c == '"' || c == '\\') {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02x", c);
      text += escaped;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text + "\"";
}

// How long to wait, before starting a run, for the barber's bed line of the run before.
constexpr std::int64_t kBedWaitUs = 2000000;
// The program's tick as poll counts it: how often the loop wakes while the program owes
// something, and looks at a controlled run's output that no record has told of.
constexpr int kTickMs = static_cast<int>(ProgramClock::kTickUs / 1000);

enum class Phase { kConsole, kShowing, kWaitingForBed, kRunning };

// What the program owes outside a run: since when (program time), after what, and what.
struct Await {
  std::int64_t sinceUs = 0;
  std::string after;  // "its start", "the answer \"5\"", "the end of run 2"
  std::string what;   // "the menu", "the customer list", "the next prompt", "its end"
};

class Loop {
 public:
  Loop(const SessionOptions& options, const std::function<void(const FinishedRun&)>& onRun)
      : options_(options), onRun_(onRun), control_(options, controlHooks()) {}
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;
  ~Loop() {
    if (signals_ >= 0) (void)close(signals_);
  }

  int run() {
    if (!watchSignals() || (controlled_ && !control_.loadImage()) || !startProgram(options_.runs)) {
      return kExitProgramFailed;
    }
    for (;;) {
      if (child_->output() < 0 && child_->errors() < 0 && child_->records() < 0) {
        if (std::optional<int> status = ended()) return *status;
        continue;  // a controlled session's next run, in a fresh program
      }
      // A controlled run's output is read as its records tell of it: a wake-up for each print
      // would cost more than the print. What no record tells of is read once a tick.
      const bool byRecords = controlled_ && child_->records() >= 0;
      const int waitMs = byRecords ? kTickMs : timeoutMs();
      pollfd fds[6] = {
          {byRecords ? -1 : child_->output(), POLLIN, 0},         {child_->errors(), POLLIN, 0},
          {dialogue_.wantsUser() ? STDIN_FILENO : -1, POLLIN, 0}, {signals_, POLLIN, 0},
          {child_->sending() ? child_->input() : -1, POLLOUT, 0}, {child_->records(), POLLIN, 0}};
      const int woken = poll(fds, 6, waitMs);
      if (woken < 0 && errno != EINTR) {
        tell(std::string("cannot wait for the program: ") + strerror(errno));
        return endNow(kExitProgramFailed);
      }
      if (byRecords && woken == 0 && control_.outputStillReady()) fds[0].revents = POLLIN;
      tick(monotonicUs());
      if (fds[3].revents & POLLIN) {
        signalfd_siginfo info{};
        if (read(signals_, &info, sizeof info) == sizeof info) {
          if (info.ssi_signo != SIGTSTP) return interrupted(static_cast<int>(info.ssi_signo));
          suspend();
        }
      }
      const short ready = POLLIN | POLLHUP | POLLERR;
      // A controlled run's records first: reading them may read the output they pair with.
      const std::uint64_t polled = child_->serial();
      if (fds[5].revents & ready) control_.onRecordsReady();
      if (std::optional<int> status = control_.stopStatus()) return endNow(*status);
      if (child_->serial() != polled) continue;  // a stuck run's program was replaced: poll anew
      if ((fds[0].revents & ready) && (!controlled_ || control_.outputStillReady())) relayOutput();
      if (fds[1].revents & ready) relayErrors();
      if (fds[2].revents & ready) readUser();
      if (fds[4].revents & (POLLOUT | POLLERR | POLLHUP)) child_->flush();
      handOver();
      if (std::optional<int> status = checkTimes()) return *status;
      if (std::optional<int> status = control_.stopStatus()) return endNow(*status);
      if (outputState() != OutputState::kOk) return endNow(statusAfterOutput(kExitOk));
    }
  }

 private:
  // The controlled run's way back into the loop: what it shows and tells, and what it asks of
  // the run going.
  ControlHooks controlHooks() {
    ControlHooks hooks;
    hooks.tellUser = tell;
    hooks.showOutput = [this](std::string_view bytes, std::int64_t us) { output(bytes, us); };
    hooks.runGoing = [this] { return phase_ == Phase::kRunning; };
    hooks.runCount = [this] { return runsStarted_; };
    hooks.currentRun = [this]() -> const RunRecord& { return record_; };
    hooks.interruptRun = [this] { finishRun(RunEnd::kInterrupted); };
    hooks.endStuckRun = [this] { return stuckRun(); };
    hooks.programOutputOver = [this] { outputEnded(); };
    return hooks;
  }

  // The signals that end a session, and Ctrl-Z, arrive on a descriptor, so the loop sees them
  // between reads, never in the middle of one.
  bool watchSignals() {
    sigset_t stops;
    (void)sigemptyset(&stops);  // cannot fail for these valid signals
    for (int signo : kStopSignals) (void)sigaddset(&stops, signo);
    (void)sigaddset(&stops, SIGTSTP);
    // A reader that goes away shows as EPIPE from write(), which ends the session in order.
    if (sigprocmask(SIG_BLOCK, &stops, nullptr) != 0 || signal(SIGPIPE, SIG_IGN) == SIG_ERR ||
        (signals_ = signalfd(-1, &stops, SFD_CLOEXEC)) < 0) {
      tell(std::string("cannot watch for signals: ") + strerror(errno));
      return false;
    }
    return true;
  }

  // Starts a fresh program and the answers it is to be given: the roster `runs` times with a
  // Run after each, then Exit (or the roster once, then the user's input, without --runs).
  bool startProgram(int runs) {
    child_.reset();  // a program before this one was ended; its pipes close here
    child_ = std::make_unique<Child>();
    std::string error;
    const bool started = controlled_
                             ? child_->start(options_.program,
                                             {control_.libraryPath(), options_.controlPlan}, &error)
                             : child_->start(options_.program, &error);
    if (!started) {
      tell(error);
      return false;
    }
    // A controlled run is a program of its own: one round of the roster, its Run and Exit.
    roundsLeft_ = !options_.typeRoster ? 0 : controlled_ ? 1 : std::max(runs, 1);
    control_.onFreshProgram(*child_);
    dialogue_ = Dialogue("", options_.runs == 0);
    refillScript();
    phase_ = Phase::kConsole;
    console_.clear();
    hidden_.clear();
    bedPending_ = true;
    clock_ = ProgramClock(monotonicUs());
    // The first look comes a tick after the start: a controlled run is over long before, and a
    // process whose threads were looked at costs the kernel a walk of their entries as it is
    // reaped.
    lastLookUs_ = monotonicUs();
    sample_ = ThreadSample{};
    await_ = Await{0, "its start", "the menu"};
    return true;
  }

  // The answers of one more round of the roster, added as the script runs out, so that a
  // session of many runs holds no more of them than one run needs.
  void refillScript() {
    if (!dialogue_.scriptDone() || roundsLeft_ == 0) return;
    --roundsLeft_;
    std::string round;
    for (const std::string& answer : rosterAnswers(options_.roster)) round += answer;
    // The roster's answers go ahead of their prompts, as through a pipe; the Run waits for its
    // prompt, since the customer list is asked for before it.
    const std::size_t ahead = round.size();
    if (options_.runs > 0) round += std::to_string(kChoiceRun) + "\n";
    if (options_.runs > 0 && roundsLeft_ == 0) round += std::to_string(kChoiceExit) + "\n";
    dialogue_.addScript(round, ahead);
  }

  void sendAhead() {
    const std::string bytes = dialogue_.takeAhead();
    if (!bytes.empty()) child_->send(bytes);
  }

  // While the program owes something, the loop wakes once a tick to count its time.
  int timeoutMs() const {
    const bool watching = phase_ != Phase::kConsole || await_.has_value();
    return watching ? kTickMs : -1;
  }

  // Counts the program's time since the last wake-up, looking at its threads once a tick.
  void tick(std::int64_t now) {
    looked_ = now - lastLookUs_ >= ProgramClock::kTickUs;
    if (looked_) {
      sample_ = child_->look();
      lastLookUs_ = now;
    }
    clock_.advance(now, sample_.stopped);
  }

  void show(std::string_view bytes) {
    if (!options_.quiet) (void)writeOutput(bytes);
  }

  void relayOutput() {
    std::string chunk;
    if (Child::read(child_->output(), &chunk)) {
      if (!controlled_) return output(chunk, monotonicUs());
      return control_.onOutputBytes(chunk);
    }
    child_->closeOutput(child_->output());
    // A controlled program's last bytes wait for their records, or for the records to end.
    if (!controlled_ || child_->records() < 0) outputEnded();
  }

  void outputEnded() {
    if (phase_ == Phase::kRunning) finishRun(RunEnd::kDied);
    // It ended while listing its customers: what it printed is still its own.
    if (phase_ == Phase::kShowing) show(hidden_);
    hidden_.clear();
  }

  void relayErrors() {
    std::string chunk;
    if (!Child::read(child_->errors(), &chunk)) return child_->closeOutput(child_->errors());
    // The program writes here only when a threading call fails and it ends.
    wroteErrors_ = true;
    writeErrors(chunk);  // passed on as it came
  }

  void readUser() {
    std::string chunk;
    if (Child::read(STDIN_FILENO, &chunk)) {
      dialogue_.typed(chunk);
    } else {
      dialogue_.inputEnded();
    }
  }

  void output(std::string_view chunk, std::int64_t now) {
    switch (phase_) {
      case Phase::kRunning:
        return runOutput(chunk, now);
      case Phase::kShowing:
        return listOutput(chunk);
      case Phase::kWaitingForBed:
      case Phase::kConsole: {
        show(answeredAhead(chunk));
        int beds = 0;
        const std::string text = withoutBedLines(console_, &beds);
        if (beds > 0) bedPending_ = false;
        if (phase_ == Phase::kWaitingForBed) {
          if (!bedPending_) startRun();
          return;
        }
        const Prompt prompt = promptAtEnd(text);
        dialogue_.prompted(prompt);
        if (prompt != Prompt::kNone) await_.reset();  // it asks: now it waits for an answer
        return;
      }
    }
  }

  void runOutput(std::string_view chunk, std::int64_t now) {
    watch_->output();
    const std::size_t before = record_.events.size();
    for (Event& event : parser_->feed(chunk, now - runStartedUs_)) {
      record_.events.push_back(std::move(event));
    }
    if (options_.onProgress && record_.events.size() > before) options_.onProgress(record_);
    if (!parser_->closed()) return show(chunk);
    const std::string rest = parser_->takeRest();
    show(chunk.substr(0, chunk.size() - rest.size()));
    finishRun(RunEnd::kClosed);
    if (!rest.empty()) output(rest, now);
  }

  // Adds `chunk` to the console's text. Each prompt in it whose answer went ahead is handed that
  // answer, which is echoed right after it; returns what is left to show after the last one.
  std::string answeredAhead(std::string_view chunk) {
    std::size_t shown = console_.size();
    console_ += chunk;
    std::size_t end = 0;
    Prompt prompt = Prompt::kNone;
    while (phase_ == Phase::kConsole && dialogue_.answersAhead() &&
           (prompt = firstPrompt(console_, &end)) != Prompt::kNone) {
      if (end > shown) show(std::string_view(console_).substr(shown, end - shown));
      std::string rest = console_.substr(end);
      int beds = 0;
      (void)withoutBedLines(console_.substr(0, end), &beds);
      if (beds > 0) bedPending_ = false;
      dialogue_.prompted(prompt);
      await_.reset();
      handOver();  // clears the console's text: the program has its answer
      console_ = std::move(rest);
      shown = 0;
    }
    return console_.substr(std::min(shown, console_.size()));
  }

  // The customer list asked for before a run, read off the screen.
  void listOutput(std::string_view chunk) {
    hidden_ += chunk;
    int beds = 0;
    const std::string list = withoutBedLines(hidden_, &beds);
    if (promptAtEnd(list) != Prompt::kChoice) return;
    await_.reset();
    // The exchange stays off the screen, but the barber's lines in it are his own.
    for (int i = 0; i < beds; ++i) show(kBarberToBed);
    if (beds > 0) bedPending_ = false;
    std::optional<Roster> roster = parseCustomerList(list);
    if (!roster)
      tell("could not read the customer list; this run is not checked against its roster");
    record_ = RunRecord{};
    record_.roster = roster.value_or(Roster{});
    hidden_.clear();
    // Under the scheduler the barber's first bed line comes when the plan lets him go, which may
    // be after the Run: waiting for it in real time would wait for nothing.
    if (!bedPending_ || controlled_) return startRun();
    phase_ = Phase::kWaitingForBed;
    bedWaitUntilUs_ = clock_.nowUs() + kBedWaitUs;
  }

  // Carries out the dialogue's next handover, when the program is at its console.
  void handOver() {
    if (phase_ != Phase::kConsole) return;
    refillScript();
    apply(dialogue_.next());
    sendAhead();
  }

  void apply(const Handover& handover) {
    if (!handover.echo.empty()) show(handover.echo);  // as a terminal echoes what is typed
    if (!handover.bytes.empty()) {
      console_.clear();
      control_.noteAnswerSent();  // the watchdog counts from the answer
      child_->send(std::string_view(handover.bytes).substr(handover.sent));
      const bool ends = handover.closeInput || handover.choice == kChoiceExit;
      await_ = Await{clock_.nowUs(), "the answer " + quoted(handover.bytes),
                     handover.listFirst ? "the customer list"
                     : ends             ? "its end"
                                        : "the next prompt"};
    } else if (handover.closeInput) {
      await_ = Await{clock_.nowUs(), "the end of its input", "its end"};
    }
    if (handover.listFirst) phase_ = Phase::kShowing;
    if (handover.closeInput) child_->endInput();
  }

  void startRun() {
    phase_ = Phase::kRunning;
    record_.number = ++runsStarted_;
    record_.slow = options_.slow;
    record_.program = options_.program;
    record_.writtenBy = options_.writtenBy;
    record_.variant = options_.variant;
    record_.variantChange = options_.variantChange;
    parser_.emplace(record_.roster);
    watch_.emplace(clock_.nowUs(), exactSchedule(record_.roster).closingMs);
    record_.startedUnixMs = unixMs();
    runStartedUs_ = controlled_ ? control_.markRunStart() : monotonicUs();
    refillScript();  // before the Run answer goes, lest the input seem all handed over
    apply(dialogue_.releaseRun());
    sendAhead();     // the next round's roster, read once this run is over
    await_.reset();  // during a run the watch decides
    if (options_.onProgress) options_.onProgress(record_);
  }

  void finishRun(RunEnd end) {
    record_.end = end;
    record_.endUs = (controlled_ ? control_.lastRecordTimeUs() : monotonicUs()) - runStartedUs_;
    if (controlled_) record_.control = control_.runControlRecord();
    if (end != RunEnd::kClosed) {
      for (Event& event : parser_->finish(record_.endUs)) record_.events.push_back(event);
    }
    if (end == RunEnd::kDied) died_ = true;
    if (end == RunEnd::kStuck) stuck_ = true;
    phase_ = Phase::kConsole;
    console_.clear();
    // The barber says he goes to bed after his last cut, which may come after the closing line.
    bedPending_ = true;
    for (const Event& event : record_.events) {
      if (event.actor() == Actor::kBarber) bedPending_ = event.kind != Kind::kBarberToBed;
    }
    parser_.reset();
    watch_.reset();
    const int number = record_.number;
    const FinishedRun finished = finish(std::exchange(record_, RunRecord{}));
    if (!finished.verdict.holds()) broken_ = true;
    if (onRun_) onRun_(finished);
    if (end == RunEnd::kClosed) {
      await_ = Await{clock_.nowUs(), "the end of run " + std::to_string(number), "the menu"};
    }
  }

  // The deadlines: a stuck run, a program that asks for nothing, the barber's bed line.
  std::optional<int> checkTimes() {
    const std::int64_t now = clock_.nowUs();
    if (!controlled_ && phase_ == Phase::kRunning && looked_ && watch_->look(now, sample_)) {
      return stuckRun();
    }
    if (controlled_ && (phase_ != Phase::kConsole || await_) && control_.idleTooLong()) {
      return endNow(kExitProgramFailed);
    }
    if (phase_ == Phase::kWaitingForBed && now >= bedWaitUntilUs_) startRun();
    if (await_ && now - await_->sinceUs >= kAskDeadlineUs) {
      tell(options_.program + " asked for nothing within " +
           std::to_string(kAskDeadlineUs / 1000000) + " s of " + await_->after + " (" +
           await_->what + " was awaited)");
      return endNow(kExitProgramFailed);
    }
    return std::nullopt;
  }

  // A stuck run is summed up and its program ended; with --runs a fresh program runs the rest.
  std::optional<int> stuckRun() {
    child_->kill();
    (void)child_->wait();
    finishRun(RunEnd::kStuck);
    const int left = options_.runs - runsStarted_;
    if (left <= 0 || outputState() != OutputState::kOk) return kExitBroken;
    if (!startProgram(left)) return kExitProgramFailed;
    return std::nullopt;
  }

  // The terminal's Ctrl-Z reaches the companion alone, the program having a process group of its
  // own: it is passed on, and the companion stops as the shell's job; fg continues both.
  void suspend() {
    child_->signal(SIGTSTP);
    (void)raise(SIGSTOP);  // returns once continued
    child_->signal(SIGCONT);
  }

  int interrupted(int signo) {
    if (phase_ == Phase::kRunning) finishRun(RunEnd::kInterrupted);
    return endNow(128 + signo);
  }

  int endNow(int status) {
    child_->kill();
    (void)child_->wait();
    return status;
  }

  // The program has closed its output: it ended. Nullopt when a controlled session goes on with
  // its next run in a fresh program.
  std::optional<int> ended() {
    const int status = child_->wait();
    if (phase_ == Phase::kRunning) finishRun(RunEnd::kDied);
    if (outputState() != OutputState::kOk) return statusAfterOutput(kExitOk);
    if (options_.runs == 0) {
      if (status != 0) return status;
      return broken_ || died_ ? kExitBroken : kExitOk;
    }
    // Without a person: the program must end through the Exit the script typed.
    std::string why;
    if (wroteErrors_) why = "wrote to standard error";
    if (died_) why = "ended during a run";
    if (why.empty() && (status != 0 || !dialogue_.scriptDone() || roundsLeft_ > 0)) {
      why = "ended before the roster was run (status " + std::to_string(status) + ")";
    }
    if (!why.empty()) {
      tell(options_.program + " failed: it " + why);
      return kExitProgramFailed;
    }
    if (controlled_ && runsStarted_ < options_.runs) {
      if (!startProgram(options_.runs - runsStarted_)) return kExitProgramFailed;
      return std::nullopt;
    }
    return broken_ || stuck_ ? kExitBroken : kExitOk;
  }

  const SessionOptions& options_;
  const std::function<void(const FinishedRun&)>& onRun_;
  int signals_ = -1;              // the signalfd of SIGINT, SIGTERM and SIGHUP
  std::unique_ptr<Child> child_;  // the program now; a fresh one after a stuck run
  Dialogue dialogue_{"", false};
  int roundsLeft_ = 0;  // rounds of the roster not yet added to the dialogue's script
  Phase phase_ = Phase::kConsole;
  std::string console_;     // the console's text since the last answer
  std::string hidden_;      // the customer list being read off the screen
  bool bedPending_ = true;  // the barber has not yet said he is in bed
  std::int64_t bedWaitUntilUs_ = 0;
  ProgramClock clock_;
  ThreadSample sample_;  // the last look at the program's threads
  std::int64_t lastLookUs_ = 0;
  bool looked_ = false;         // this wake-up looked again
  std::optional<Await> await_;  // what the program owes outside a run
  std::optional<RunParser> parser_;
  std::optional<StuckWatch> watch_;
  RunRecord record_;
  std::int64_t runStartedUs_ = 0;
  int runsStarted_ = 0;
  bool wroteErrors_ = false, died_ = false, broken_ = false, stuck_ = false;
  const bool controlled_ = !options_.controlPlan.empty();  // under the scheduler library
  ControlledRun control_;  // a controlled session's records, output times and picks
};

}  // namespace

Session::Session(SessionOptions options) : options_(std::move(options)) {}

int Session::run() { return Loop(options_, onRun_).run(); }
