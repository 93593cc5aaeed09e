// --step: a controlled session whose choices the person at the terminal makes, one line each.

#include "trace/cli/step.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "trace/files/report.h"
#include "trace/files/write_whole.h"
#include "trace/judging/sync_words.h"
#include "trace/live/feed.h"
#include "trace/relay/output.h"
#include "trace/relay/session.h"
#include "trace/showing/choice_menu.h"
#include "trace/showing/view.h"
#include "variants/variants.h"

namespace {

void say(const std::string& text) { (void)writeOutput(text); }

// The answers, line by line from standard input. A signal that ends a session, which the
// session's loop holds back while a question waits, is noticed here instead.
class Answers {
 public:
  enum class Got { kLine, kEnd, kSignal, kPage };

  explicit Answers(LiveFeed* page) : page_(page) {}

  // A line typed, the end of typing, a signal, or (with the live page) a command from the page.
  Got next(std::string* line, int* signo, DriveCommand* command = nullptr) {
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos || (ended_ && !buffer_.empty())) {
        *line = trimmed(buffer_.substr(0, end));
        buffer_.erase(0, end == std::string::npos ? buffer_.size() : end + 1);
        return Got::kLine;
      }
      if (ended_ && (page_ == nullptr || command == nullptr)) return Got::kEnd;
      if ((*signo = pendingStop()) != 0) return Got::kSignal;
      if (page_ != nullptr && command != nullptr) {
        if (std::optional<DriveCommand> taken = page_->nextCommand()) {
          *command = *taken;
          return Got::kPage;
        }
      }
      suspendIfAsked();
      pollfd in[2] = {{ended_ ? -1 : STDIN_FILENO, POLLIN, 0},
                      {page_ != nullptr && command != nullptr ? page_->wakeFd() : -1, POLLIN, 0}};
      if (poll(in, 2, kLookMs) <= 0 || !(in[0].revents & (POLLIN | POLLHUP))) continue;
      char chunk[4096];
      const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
      if (got > 0) buffer_.append(chunk, static_cast<std::size_t>(got));
      ended_ = got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN);
    }
  }

 private:
  static constexpr int kLookMs = 100;  // how often a signal is looked for while nothing is typed

  static std::string trimmed(const std::string& text) {
    std::size_t from = 0, to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) ++from;
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) --to;
    return text.substr(from, to - from);
  }

  // Ctrl-Z at the question stops the companion as the shell's job; the program stays parked
  // where the scheduler holds it, waiting for the answer.
  static void suspendIfAsked() {
    sigset_t stop;
    (void)sigemptyset(&stop);
    (void)sigaddset(&stop, SIGTSTP);
    const timespec now = {0, 0};
    if (sigtimedwait(&stop, nullptr, &now) == SIGTSTP) (void)raise(SIGSTOP);
  }

  static int pendingStop() {
    sigset_t pending;
    if (sigpending(&pending) != 0) return 0;
    for (int signo : kStopSignals) {
      if (sigismember(&pending, signo) == 1) return signo;
    }
    return 0;
  }

  LiveFeed* page_;
  std::string buffer_;
  bool ended_ = false;
};

// The run has begun once a customer's thread exists: the choices before it are the shop's set-up.
bool runBegun(const RunRecord& soFar) {
  for (const ProgramThread& thread : soFar.control.threads) {
    if (identifyThread(soFar, thread.tid).role == ThreadRole::kCustomer) return true;
  }
  return false;
}

std::string replayPlan(const std::vector<int>& picks) {
  std::string list;
  for (int pick : picks) list += (list.empty() ? "" : ",") + std::to_string(pick);
  return (list.empty() ? "" : "picks=" + list + ";strict=1;") + "then=ask";
}

class Stepper {
 public:
  Stepper(const TraceOptions& options, LiveFeed* page)
      : options_(options), page_(page), answers_(page) {}

  int run() {
    std::string plan = "then=ask";
    for (;;) {
      end_ = End::kNone;
      runOver_ = false;
      untilEvents_ = -1;
      SessionOptions session = options_.session;
      session.controlPlan = plan;
      session.quiet = true;  // the narration is shown from the run's events, choice by choice
      session.ask = [this](const RunRecord& soFar, const Choice& choice) {
        return ask(soFar, choice);
      };
      if (page_ != nullptr) {
        session.onProgress = [this](const RunRecord& soFar) { page_->progress(soFar); };
      }
      Session stepped(session);
      stepped.onRun([this](const FinishedRun& finished) { onRun(finished); });
      const int status = stepped.run();
      if (end_ == End::kBack) {
        plan = replayPlan(replay_);
        replaying_ = true;
        continue;
      }
      if (end_ == End::kStop) {
        say("\nstopped; no verdict for an unfinished run\n");
        return signo_ != 0 ? 128 + signo_ : kExitStopped;
      }
      // A signal that ended the session ends it here too, even once the run was over.
      if (page_ == nullptr || !runOver_ || status >= 128) return status;
      switch (afterRun()) {
        case End::kBack:
          plan = replayPlan(replay_);
          replaying_ = true;
          break;
        case End::kAgain:
          plan = "then=ask";
          asked_.clear();
          break;
        case End::kStop:
          return signo_ != 0 ? 128 + signo_ : status;
        case End::kNone:
          return status;
      }
      page_->triedAgain();
    }
  }

  bool reportFailed() const { return reportFailed_; }

 private:
  enum class End { kNone, kBack, kStop, kAgain };

  // With the live page, a run that is over may be taken back a step or tried again, from the
  // page or the terminal, until either ends it.
  End afterRun() {
    page_->answered(true);
    say("the run is over: b takes back the last decision, a tries again, q or Enter ends\n");
    for (;;) {
      std::string line;
      DriveCommand command;
      switch (answers_.next(&line, &signo_, &command)) {
        case Answers::Got::kSignal:
          return End::kStop;
        case Answers::Got::kEnd:
          return End::kNone;
        case Answers::Got::kPage:
          line = command.act == DriveCommand::Act::kBack ? "b" : "a";
          say("(from the page: " + std::string(line == "b" ? "back" : "again") + ")\n");
          break;
        case Answers::Got::kLine:
          break;
      }
      if (line == "b" && backAfterEnd()) return End::kBack;
      if (line == "a") return End::kAgain;
      if (line.empty() || line == "q") return End::kNone;
      page_->answered(true);
    }
  }

  // Takes back the run's last decision: it starts again with every pick before it.
  bool backAfterEnd() { return takeBack(1, lastChoices_); }

  // Takes back the `latest`th decision asked from the end, `made` being the choices so far:
  // the run is to start again with every pick before it.
  bool takeBack(std::size_t latest, const std::vector<Choice>& made) {
    if (asked_.size() < latest) return false;
    const int target = asked_[asked_.size() - latest];
    asked_.resize(asked_.size() - latest);
    replay_.clear();
    for (const Choice& choice : made) {
      if (choice.k < target) replay_.push_back(choice.pick);
    }
    return true;
  }

  int ask(const RunRecord& soFar, const Choice& choice) {
    if (runOver_ || !runBegun(soFar)) return choice.plainPick;
    if (replaying_) {
      // The run again up to the choice taken back: its narration has been shown already.
      shownEvents_ = soFar.events.size();
      replaying_ = false;
      say("back at choice " + std::to_string(choice.k) + "\n");
    }
    showNarration(soFar.events);
    // After `n`, the plain order goes on until the shop prints its next line.
    if (untilEvents_ >= 0 && soFar.events.size() <= static_cast<std::size_t>(untilEvents_)) {
      return choice.plainPick;
    }
    untilEvents_ = -1;
    asked_.push_back(choice.k);
    if (inputEnded_ && page_ == nullptr) return choice.plainPick;
    say(choiceMenu(soFar, choice, options_.style));
    const int pick = answer(soFar, choice);
    if (page_ != nullptr) page_->answered(false);
    return pick;
  }

  // Asks until the line read is an answer.
  int answer(const RunRecord& soFar, const Choice& choice) {
    const bool echo = isatty(STDIN_FILENO) == 0;  // a piped answer shows as if typed
    for (;;) {
      say(choiceQuestion(choice));
      if (page_ != nullptr) page_->asked(soFar, choice);  // again after an answer that was none
      std::string line;
      DriveCommand command;
      switch (answers_.next(&line, &signo_, &command)) {
        case Answers::Got::kEnd:
          inputEnded_ = true;
          say("\n(end of input: the plain order from here)\n");
          return choice.plainPick;
        case Answers::Got::kPage:
          line = pageAnswer(command, choice);
          say("(from the page)\n");
          break;
        case Answers::Got::kSignal:
          end_ = End::kStop;
          return -1;
        case Answers::Got::kLine:
          break;
      }
      if (echo) say(line + "\n");
      if (line.empty()) return choice.plainPick;
      if (line == "q") {
        end_ = End::kStop;
        return -1;
      }
      if (line == "n") {
        untilEvents_ = static_cast<std::int64_t>(soFar.events.size());
        return choice.plainPick;
      }
      if (line == "b") {
        if (back(soFar)) return -1;
        say("nothing to take back: this is the first choice you make\n");
        continue;
      }
      const int pick = pickOf(line, choice);
      if (pick >= 0) return pick;
    }
  }

  // A command from the page as the line the terminal would have had.
  static std::string pageAnswer(const DriveCommand& command, const Choice& choice) {
    switch (command.act) {
      case DriveCommand::Act::kPick:
        return std::to_string(command.tid);
      case DriveCommand::Act::kPlain:
        return std::to_string(choice.plainPick);
      case DriveCommand::Act::kNext:
        return "n";
      case DriveCommand::Act::kBack:
        return "b";
      case DriveCommand::Act::kAgain:
        break;
    }
    return "";
  }

  // The thread `line` names, when it can go; else -1, having said why.
  static int pickOf(const std::string& line, const Choice& choice) {
    const bool digits =
        line.size() <= 3 && line.find_first_not_of("0123456789") == std::string::npos;
    const int tid = digits ? std::stoi(line) : -1;
    for (const PendingStep& step : choice.threads) {
      if (step.tid != tid) continue;
      if (step.canGo) return tid;
      say("thread " + line + " cannot go now; pick one that can go\n");
      return -1;
    }
    say("type a thread's number from the list, Enter, n, b or q\n");
    return -1;
  }

  // Takes back the decision before this one: the run starts again with every pick before it.
  bool back(const RunRecord& soFar) {
    // The question being asked is the latest; the decision before it is taken back.
    if (!takeBack(2, soFar.control.choices)) return false;
    end_ = End::kBack;
    return true;
  }

  void showNarration(const std::vector<Event>& events) {
    for (; shownEvents_ < events.size(); ++shownEvents_) say(events[shownEvents_].text);
  }

  void onRun(const FinishedRun& run) {
    if (end_ != End::kNone) return;  // a run given up or taken back has no verdict
    runOver_ = true;
    lastChoices_ = run.record.control.choices;
    if (page_ != nullptr) page_->runJudged(run);
    showNarration(run.record.events);
    shownEvents_ = 0;
    if (!run.record.variant.empty()) {
      const VariantInfo* variant = findVariant(run.record.variant);
      say(renderChange(run.record.variant, variant ? variant->fault : "", run.record.variantChange,
                       options_.style));
    }
    say(renderSummary(run, options_.style));
    if (!options_.reportDir.empty()) reportTry(run);
  }

  // Each try its own files: the program numbers every try its run 1, and a later try must not
  // write over an earlier one's.
  void reportTry(const FinishedRun& run) {
    FinishedRun numbered = run;
    numbered.record.number = ++reported_;
    std::vector<std::string> written;
    std::string error;
    if (!writeReport(options_.reportDir, numbered, &written, &error)) {
      fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
      reportFailed_ = true;
      return;
    }
    fprintf(stderr, "barbershop-trace: the stepped run drawn: %s (trace %s, log %s)\n",
            written[2].c_str(), written[1].c_str(), written[0].c_str());
  }

 private:
  const TraceOptions& options_;
  LiveFeed* page_;  // the live page, which may answer too; null without --live
  Answers answers_;
  std::vector<Choice> lastChoices_;  // the finished run's, for taking back its last decision
  std::vector<int> asked_;           // the choices the person was asked at, in the order asked
  std::vector<int> replay_;  // after `b`: the picks of every choice before the one taken back
  std::size_t shownEvents_ = 0;
  std::int64_t untilEvents_ = -1;  // after `n`: the events there were; asked again past them
  bool replaying_ = false;         // a restart runs up to the choice taken back, off the screen
  bool runOver_ = false;
  bool inputEnded_ = false;
  bool reportFailed_ = false;
  int reported_ = 0;  // the tries whose files were written
  End end_ = End::kNone;
  int signo_ = 0;
};

}  // namespace

int runStep(const TraceOptions& options, LiveFeed* page) {
  std::string error;
  if (!options.reportDir.empty() && !prepareDir(options.reportDir, &error)) {
    fprintf(stderr, "barbershop-trace: cannot write to %s\n", error.c_str());
    return kExitUsage;
  }
  say("You are the scheduler: at each choice, pick the thread that goes next.\n");
  Stepper stepper(options, page);
  const int status = stepper.run();
  return stepper.reportFailed() && status == kExitOk ? kExitBroken : status;
}
