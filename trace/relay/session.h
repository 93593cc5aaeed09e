#ifndef BARBERSHOP_TRACE_RELAY_SESSION_H_
#define BARBERSHOP_TRACE_RELAY_SESSION_H_
// One barbershop-trace session: the program started as a child, its output relayed byte for byte,
// answers handed over one prompt at a time (typed from a roster, then the user's), each run read
// into events, judged and handed on, and the program's end passed on. Single-threaded: one poll
// loop over the program's streams, the user's input and the signals that end a session.

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trace/judging/finish.h"
#include "trace/reading/control.h"
#include "trace/reading/roster.h"
#include "trace/reading/run_record.h"

struct SessionOptions {
  std::string program;  // the barbershop to run
  Roster roster;        // typed before anything else, when `typeRoster`
  bool typeRoster = false;
  int runs = 0;               // 0: hand the terminal over; N: run the roster N times, then Exit
  int slow = 1;               // the factor the roster was slowed by, for the record
  bool quiet = false;         // keep the program's own output off the screen
  std::string writtenBy;      // this barbershop-trace, for the record of each run
  std::string variant;        // the broken variant of the shop that `program` is, if it is one
  std::string variantChange;  // that variant's change, for the record of each run
  // A controlled run (scheduler/protocol.h) when not empty: the plan the scheduler library
  // follows. Each run is then a program of its own, started under the library, and its record
  // carries the threads, steps and choices (RunRecord::control) on the virtual clock.
  std::string controlPlan;
  std::string schedulerLibrary;  // the library to preload; findSchedulerLibrary() when empty
  // For a plan with then=ask: called at each choice, once everything printed before it has been
  // shown; returns the thread to let go, or -1 to end the session there (status kExitStopped).
  std::function<int(const RunRecord& soFar, const Choice& choice)> ask;
  // For --replay: the saved run's choices. Each choice the program makes before its run closes is
  // compared with the saved one of the same number; the first difference ends the session
  // (status kExitUsage), named in words.
  std::vector<Choice> expectedChoices;
  // Called on the relay's thread as a run begins and whenever it has printed more lines: the run
  // so far, unjudged. It must return at once (the live page copies what is new and goes).
  std::function<void(const RunRecord& soFar)> onProgress;
};

// The signals that end a session (status 128 + the signal), which the session's loop and every
// wait outside it read instead of dying of them.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Exit statuses, as the manual page lists them.
constexpr int kExitOk = 0;
constexpr int kExitBroken = 1;
constexpr int kExitUsage = 2;
constexpr int kExitProgramFailed = 3;
// The person stepping a controlled run ended it (`ask` returned -1): as Ctrl-C ends a session.
constexpr int kExitStopped = 130;
// In a controlled run, no record from the scheduler for this long of real time, while the
// program is not waiting at its menu, means a thread is busy without a visible step: the program
// is ended as failed. A plan's idle_ms=M sets another limit.
constexpr std::int64_t kIdleLimitUs = 10000000;

// Outside a run the program must ask for something (print a prompt, or end) within this much of
// its own time after it starts and after each answer; else it is ended as failed.
constexpr std::int64_t kAskDeadlineUs = 10000000;

class Session {
 public:
  explicit Session(SessionOptions options);
  // Called after every run; the run is dropped when it returns, so a session of many runs keeps
  // none of them.
  void onRun(std::function<void(const FinishedRun&)> callback) { onRun_ = std::move(callback); }
  // Runs the session to its end; returns the exit status.
  int run();

 private:
  SessionOptions options_;
  std::function<void(const FinishedRun&)> onRun_;
};

#endif  // BARBERSHOP_TRACE_RELAY_SESSION_H_
