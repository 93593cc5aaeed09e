#ifndef BARBERSHOP_TRACE_RELAY_CONTROLLED_H_
#define BARBERSHOP_TRACE_RELAY_CONTROLLED_H_
// A session's controlled runs (scheduler/protocol.h): the program's file and the scheduler
// library found once, then for each program the library's records read as they come, its output
// paired with the prints that wrote it, a then=ask choice put to the person, and --replay's choices
// held against the log's. Owned by the session's single thread, as is every hook it calls.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "trace/reading/control.h"
#include "trace/reading/run_record.h"
#include "trace/relay/control_link.h"
#include "trace/relay/program_image.h"
#include "trace/relay/session.h"

class Child;

// What a controlled run asks of the session that holds it. Each hook is called back on the
// session's thread, in the middle of reading a record.
struct ControlHooks {
  // A message for the user, on standard error.
  std::function<void(const std::string& text)> tellUser;
  // The program's output, stamped with `us` (µs on the scheduler's clock), for the session to
  // show and read as its console or its run.
  std::function<void(std::string_view bytes, std::int64_t us)> showOutput;
  std::function<bool()> runGoing;                // a run is between its Run and its close
  std::function<int()> runCount;                 // the runs this session has begun
  std::function<const RunRecord&()> currentRun;  // the run so far, unjudged
  std::function<void()> interruptRun;            // the run going ends here, interrupted
  // Every thread waits during a run: the run is summed up and its program ended, perhaps for a
  // fresh one (which then comes through onFreshProgram). A status ends the session.
  std::function<std::optional<int>()> endStuckRun;
  // The program's output and its records have both ended.
  std::function<void()> programOutputOver;
};

class ControlledRun {
 public:
  ControlledRun(const SessionOptions& options, ControlHooks hooks)
      : options_(options), hooks_(std::move(hooks)) {}
  ControlledRun(const ControlledRun&) = delete;
  ControlledRun& operator=(const ControlledRun&) = delete;

  // Reads the program's file and finds the library; false, told, when it cannot be controlled.
  bool loadImage();
  const std::string& libraryPath() const { return library_; }

  // `child` (non-owning; the session owns it) has just started: its records start afresh.
  void onFreshProgram(Child& child);
  // The records' pipe has something: reads it and acts on each whole record.
  void onRecordsReady();
  // Bytes read from the program's output, relayed as far as their prints are known.
  void onOutputBytes(std::string_view chunk);
  // Whether the program's output still has bytes now that the records may have read them.
  bool outputStillReady() const;

  // The Run is going: its clock starts at the last record. Returns that time in µs.
  std::int64_t markRunStart();
  // The last record's time, in µs on the scheduler's clock.
  std::int64_t lastRecordTimeUs() const { return lastNs_ / 1000; }
  // The run's threads, steps and choices on its clock, once it is over; a replay that made fewer
  // choices than its log is told and stops the session.
  ControlRecord runControlRecord();

  // An answer went to the program: the watchdog counts from it.
  void noteAnswerSent();
  // True, told, when no record came for longer than the plan allows.
  bool idleTooLong();
  // The status a record ended the session with, once one did.
  std::optional<int> stopStatus() const { return stop_; }

 private:
  void onRecordsEnded();
  void onControlRecord(const ControlLine& record);
  void pullPrintedOutput();
  void relayStampedOutput();
  void onAskRecord(const Choice& choice);
  void compareReplayChoice(const Choice& offered);
  void checkReplayLength(const ControlRecord& control);

  const SessionOptions& options_;
  const ControlHooks hooks_;
  ProgramImage image_;      // the program's file, read once for the session
  std::string library_;     // the scheduler library preloaded into each program
  Child* child_ = nullptr;  // the program now, as onFreshProgram gave it; non-owning
  ControlLines lines_;
  ControlGatherer gatherer_;
  StampedOutput stamped_;
  std::int64_t lastNs_ = 0;        // the time of the last record, on the scheduler's clock
  std::int64_t runNs_ = 0;         // the Run's, on that clock
  std::int64_t lastRecordUs_ = 0;  // when the last record came (or an answer went), real time
  std::optional<int> stop_;        // a record ended the session with this status
};

#endif  // BARBERSHOP_TRACE_RELAY_CONTROLLED_H_
