#ifndef BARBERSHOP_TRACE_READING_CONTROL_H_
#define BARBERSHOP_TRACE_READING_CONTROL_H_
// What a controlled run adds to its record: the program's threads, its locks and semaphores, every
// visible operation they carried out and every choice the scheduler made, on the run's virtual
// clock. Filled by the relay from the scheduler library's records (scheduler/protocol.h), written
// to and read back from the event log, read by the judging (the numbered story), the views and the
// pages. Empty for a real-time run. Pure data.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scheduler/protocol.h"
#include "trace/common/micros.h"

// The program's visible operations, named as the scheduler's records name them.
using SyncOp = control::Op;

struct ProgramThread {
  int tid = 0;            // 0 the main thread, then in the order they were created
  int parent = -1;        // who created it; -1 for the main thread
  std::uint64_t arg = 0;  // the argument its body was started with (a customer's address)
};

struct SyncObject {
  int oid = 0;        // 1, 2, ... in the order the scheduler first saw them
  bool mutex = true;  // else a semaphore
  std::uint64_t address = 0;
  std::int64_t offset = -1;  // within the program's image, or -1 (on the heap: a customer's)
  int initial = 0;           // a semaphore's first count
  std::string symbol;        // the program's name for it ("WaitQueue::fgLock"), when known
};

struct SyncStep {
  int n = 0;  // 1, 2, ... from the program's start
  int tid = 0;
  Micros at;  // since the Run choice, on the virtual clock (negative before it)
  SyncOp op = SyncOp::kStart;
  int oid = 0;           // 0 for none
  std::int64_t arg = 0;  // by op: the thread made or joined, the count, the bytes printed;
                         // for sleeps and timed steps the deadline, in virtual µs since the Run
  int result = 0;        // 0, or the error number (ETIMEDOUT, EBUSY, EAGAIN)
  int cause = 0;         // for a lock or wait that had to wait: the unlock or post that let it go
};

// One thread as a choice finds it: what it would do next, and whether it can.
struct PendingStep {
  int tid = 0;
  SyncOp op = SyncOp::kStart;
  int oid = 0;
  std::int64_t arg = 0;
  bool canGo = false;
};

enum class ChoiceWhy { kGo, kWake, kTie };

struct Choice {
  int k = 0;           // 1, 2, ... from the program's start
  int beforeStep = 0;  // the step it decided
  ChoiceWhy why = ChoiceWhy::kGo;
  int pick = 0;
  int plainPick = 0;  // who the plain order would have let go
  std::vector<PendingStep> threads;
};

struct ControlRecord {
  bool controlled = false;    // false: a real-time run, and the rest is empty
  std::string plan;           // the plan it followed (scheduler/protocol.h)
  std::string programDigest;  // the program's identity, for --replay
  std::vector<ProgramThread> threads;
  std::vector<SyncObject> objects;
  std::vector<SyncStep> steps;
  std::vector<Choice> choices;
};

const char* syncOpName(SyncOp op);  // "lock", as the records and the log spell it
bool syncOpOf(std::string_view name, SyncOp* op);
const char* choiceWhyName(ChoiceWhy why);
bool choiceWhyOf(std::string_view name, ChoiceWhy* why);

#endif  // BARBERSHOP_TRACE_READING_CONTROL_H_
