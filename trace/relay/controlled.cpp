// A session's controlled runs: the scheduler's records read and acted on, the program's output
// relayed at the times of its prints, a then=ask choice put to the person, a replay checked.

#include "trace/relay/controlled.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "trace/relay/child.h"
#include "trace/relay/watch.h"

namespace {

// Whether `fd` has something to read now, without waiting.
bool readyNow(int fd) {
  pollfd one = {fd, POLLIN, 0};
  return fd >= 0 && poll(&one, 1, 0) > 0 && (one.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// "10 s", "0.5 s": a limit in words.
std::string secondsText(std::int64_t us) {
  char text[32];
  snprintf(text, sizeof text, "%g s", static_cast<double>(us) / 1e6);
  return text;
}

}  // namespace

// A controlled session looks at the program's file once: the scheduler cannot take over a
// statically linked program, and the file names the objects its records number.
bool ControlledRun::loadImage() {
  std::string error;
  if (!readProgramImage(options_.program, &image_, &error)) {
    hooks_.tellUser(error);
    return false;
  }
  if (!image_.dynamic) {
    hooks_.tellUser(options_.program +
                    " is linked statically: the scheduler cannot take over its threads");
    return false;
  }
  library_ = options_.schedulerLibrary.empty() ? findSchedulerLibrary() : options_.schedulerLibrary;
  if (library_.empty()) {
    hooks_.tellUser(
        "cannot find libbarbershop-scheduler.so beside this program nor in ../lib/barbershop/");
    return false;
  }
  return true;
}

// A fresh program's records start afresh.
void ControlledRun::onFreshProgram(Child& child) {
  child_ = &child;
  lines_ = ControlLines();
  gatherer_ = ControlGatherer([this](std::uint64_t offset) { return image_.symbolAt(offset); });
  stamped_ = StampedOutput();
  lastNs_ = runNs_ = 0;
  lastRecordUs_ = monotonicUs();
}

void ControlledRun::onRecordsReady() {
  std::string chunk;
  if (!Child::read(child_->records(), &chunk)) return onRecordsEnded();
  lastRecordUs_ = monotonicUs();
  const std::uint64_t reading = child_->serial();
  for (const std::string& line : lines_.feed(chunk)) {
    ControlLine record;
    std::string error;
    if (!parseControlLine(line, &record, &error)) {
      hooks_.tellUser(options_.program + ": the scheduler wrote a bad " + error);
      stop_ = kExitProgramFailed;
    }
    if (stop_ || child_->serial() != reading) return;  // a stuck run's program was replaced
    onControlRecord(record);
  }
}

// The records have ended: the program's output left over is its own, at the last time.
void ControlledRun::onRecordsEnded() {
  child_->closeRecords();
  stamped_.unpaired();
  relayStampedOutput();
  if (child_->output() < 0) hooks_.programOutputOver();
}

void ControlledRun::onControlRecord(const ControlLine& record) {
  switch (record.kind) {
    case RecordKind::kStep:
      lastNs_ = record.ns;
      gatherer_.add(record);
      if (record.step.op == SyncOp::kPrint) {
        stamped_.printed(record.step.arg, record.ns);
        pullPrintedOutput();
      }
      return;
    case RecordKind::kChoice:
      gatherer_.add(record);
      return compareReplayChoice(record.choice);
    case RecordKind::kAsk:
      return onAskRecord(record.choice);
    case RecordKind::kStuck:
      lastNs_ = record.ns;
      pullPrintedOutput();
      if (!hooks_.runGoing()) {
        hooks_.tellUser(options_.program + " got stuck outside a run: every thread waits");
        stop_ = kExitProgramFailed;
        return;
      }
      if (std::optional<int> status = hooks_.endStuckRun()) stop_ = *status;
      return;
    case RecordKind::kDiverged:
      hooks_.tellUser("the plan's pick for choice " + std::to_string(record.k) + " (step " +
                      std::to_string(gatherer_.lastStep() + 1) + "), thread " +
                      std::to_string(record.tid) +
                      ", cannot go: the program no longer runs as the plan has it");
      stop_ = kExitUsage;
      return;
    case RecordKind::kExit:
      lastNs_ = record.ns;
      return;
    default:
      return gatherer_.add(record);
  }
}

void ControlledRun::onOutputBytes(std::string_view chunk) {
  stamped_.bytes(chunk);
  relayStampedOutput();
}

bool ControlledRun::outputStillReady() const { return readyNow(child_->output()); }

// Reads the output the records say is already in its pipe, and relays what is stamped.
void ControlledRun::pullPrintedOutput() {
  std::string chunk;
  while (stamped_.owed() > 0 && readyNow(child_->output())) {
    if (!Child::read(child_->output(), &chunk)) {
      child_->closeOutput(child_->output());
      break;
    }
    stamped_.bytes(chunk);
  }
  relayStampedOutput();
}

void ControlledRun::relayStampedOutput() {
  // Bytes printed before the Run went but read after it count as the Run's first moment.
  for (const StampedOutput::Piece& piece : stamped_.take()) {
    hooks_.showOutput(piece.bytes, std::max(piece.ns, runNs_) / 1000);
  }
}

// then=ask: everything printed so far is shown first, then the person picks.
void ControlledRun::onAskRecord(const Choice& choice) {
  pullPrintedOutput();
  RunRecord soFar = hooks_.currentRun();
  // The choice asked goes through the record too, so its deadlines are on the run's clock.
  ControlGatherer withAsked = gatherer_;
  ControlLine asked;
  asked.kind = RecordKind::kChoice;
  asked.choice = choice;
  withAsked.add(asked);
  soFar.control =
      withAsked.record(hooks_.runGoing() ? runNs_ : lastNs_, options_.controlPlan, image_.digest);
  const Choice onClock = soFar.control.choices.back();
  soFar.control.choices.pop_back();
  const int pick = options_.ask ? options_.ask(soFar, onClock) : choice.plainPick;
  if (pick < 0) {
    if (hooks_.runGoing()) hooks_.interruptRun();
    stop_ = kExitStopped;
    return;
  }
  lastRecordUs_ = monotonicUs();  // the person's time is not the program's
  if (!child_->answer(pick)) {
    hooks_.tellUser("cannot hand the scheduler its pick: " + std::string(strerror(errno)));
    stop_ = kExitProgramFailed;
  }
}

// --replay: each choice made before the run closes, against the saved one.
void ControlledRun::compareReplayChoice(const Choice& offered) {
  const std::vector<Choice>& expected = options_.expectedChoices;
  const bool runOver = hooks_.runCount() > 0 && !hooks_.runGoing();
  if (expected.empty() || runOver) return;
  const std::size_t k = static_cast<std::size_t>(offered.k);
  if (k == 0 || k > expected.size()) return;
  const std::string difference = choiceDifference(expected[k - 1], offered);
  if (difference.empty()) return;
  hooks_.tellUser(difference);
  stop_ = kExitUsage;
}

void ControlledRun::checkReplayLength(const ControlRecord& control) {
  const std::size_t want = options_.expectedChoices.size();
  const std::size_t made = control.choices.size();
  if (want == 0 || made >= want || stop_) return;
  hooks_.tellUser("the log has " + std::to_string(want) +
                  " choices before its run ended; the program made " + std::to_string(made));
  stop_ = kExitUsage;
}

// A controlled run's clock is the scheduler's: it starts at the last record before the Run.
std::int64_t ControlledRun::markRunStart() {
  runNs_ = lastNs_;
  return lastNs_ / 1000;
}

ControlRecord ControlledRun::runControlRecord() {
  ControlRecord control = gatherer_.record(runNs_, options_.controlPlan, image_.digest);
  checkReplayLength(control);
  return control;
}

void ControlledRun::noteAnswerSent() { lastRecordUs_ = monotonicUs(); }

bool ControlledRun::idleTooLong() {
  const std::int64_t limitUs = planIdleUs(options_.controlPlan, kIdleLimitUs);
  if (monotonicUs() - lastRecordUs_ < limitUs) return false;
  hooks_.tellUser(options_.program + ": thread " + std::to_string(gatherer_.turn()) +
                  " made no visible step for " + secondsText(limitUs));
  return true;
}
