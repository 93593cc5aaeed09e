#ifndef BARBERSHOP_TRACE_RELAY_CONTROL_LINK_H_
#define BARBERSHOP_TRACE_RELAY_CONTROL_LINK_H_
// The companion's end of a controlled run (scheduler/protocol.h): the scheduler library's record
// lines read back, the program's threads, objects, steps and choices gathered from them into a
// ControlRecord, and the program's output paired, byte for byte, with the `print` steps that
// wrote it, so each stretch of narration carries the virtual time it was printed at. Pure;
// single-threaded.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/reading/control.h"

enum class RecordKind { kHello, kThread, kObject, kStep, kChoice, kAsk, kStuck, kDiverged, kExit };

// One record line, read. Times stay as the library wrote them: nanoseconds since it started.
struct ControlLine {
  RecordKind kind = RecordKind::kHello;
  std::int64_t ns = 0;     // step, stuck, exit: when
  std::uint64_t base = 0;  // hello: where the program's image was loaded
  int pid = 0;             // hello
  int status = 0;          // exit
  int k = 0, tid = 0;      // diverged: the choice, and the plan's pick that could not go
  ProgramThread thread;    // thread
  SyncObject object;       // object, without its symbol
  SyncStep step;           // step: `at` and timed args still in ns, see ns above
  Choice choice;           // choice and ask (an ask's pick is -1)
};

// Reads one record line (without its newline). False with `error` saying what is wrong.
bool parseControlLine(std::string_view line, ControlLine* out, std::string* error);

// The record stream split into lines as it arrives in chunks.
class ControlLines {
 public:
  // Adds bytes from the records' pipe; returns the whole lines they completed.
  std::vector<std::string> feed(std::string_view chunk);

 private:
  std::string partial_;
};

// A controlled program's record, gathered as its lines come, with every time kept from the
// library's start; record() gives it on the clock of a run.
class ControlGatherer {
 public:
  // `symbolAt` names an object from its offset in the program's image ("" when unknown).
  explicit ControlGatherer(std::function<std::string(std::uint64_t offset)> symbolAt = nullptr)
      : symbolAt_(std::move(symbolAt)) {}
  // Takes a thread, object, step or choice line; the others are the caller's.
  void add(const ControlLine& line);
  // Everything so far, with times in µs since `runNs` (the Run choice; negative before it).
  ControlRecord record(std::int64_t runNs, const std::string& plan,
                       const std::string& digest) const;
  int lastStep() const { return steps_.empty() ? 0 : steps_.back().n; }
  // The thread that holds the turn: the last to step, or the last picked.
  int turn() const { return turn_; }

 private:
  std::function<std::string(std::uint64_t)> symbolAt_;
  std::vector<ProgramThread> threads_;
  std::vector<SyncObject> objects_;
  std::vector<SyncStep> steps_;  // `at` and deadlines in ns since the library started
  std::vector<Choice> choices_;  // deadlines likewise
  int turn_ = 0;
};

// The plan's idle_ms (the companion's watchdog, in µs), or `otherwise` when it has none.
std::int64_t planIdleUs(const std::string& plan, std::int64_t otherwise);

// Operations whose argument is a deadline on the virtual clock.
bool argIsDeadline(SyncOp op);

// The program's output paired with the `print` steps that wrote it. The bytes reach their pipe
// before their record reaches its own, but the two pipes are read in any order: each side waits
// here for the other.
class StampedOutput {
 public:
  struct Piece {
    std::string bytes;
    std::int64_t ns = 0;  // the print's time
  };
  void bytes(std::string_view chunk);
  void printed(std::int64_t count, std::int64_t ns);
  // The records have ended: what comes from now on is stamped with the last time seen.
  void unpaired() { unpaired_ = true; }
  // Bytes recorded as printed but not yet read from the output.
  std::int64_t owed() const;
  // The output that can be stamped now, in order.
  std::vector<Piece> take();

 private:
  struct Print {
    std::int64_t count = 0;
    std::int64_t ns = 0;
  };
  std::string waiting_;       // bytes read whose print record has not come
  std::deque<Print> prints_;  // prints whose bytes have not all been read
  std::int64_t lastNs_ = 0;
  bool unpaired_ = false;
};

// How the program's choice `offered` differs from the logged `logged` (the same K), in words
// naming the choice and step; empty when they offer the same threads the same way.
std::string choiceDifference(const Choice& logged, const Choice& offered);

#endif  // BARBERSHOP_TRACE_RELAY_CONTROL_LINK_H_
