#ifndef BARBERSHOP_TRACE_RELAY_WATCH_H_
#define BARBERSHOP_TRACE_RELAY_WATCH_H_
// Watching the program while the companion waits for it: the program's own running time, counted
// in capped ticks so that a stopped program (Ctrl-Z, SIGSTOP) or a stalled machine does not use
// it up, and the evidence that a run is stuck: every thread blocked in a futex wait, with no
// output meanwhile, past a margin of that time. Pure but for monotonicUs(); single-threaded.

#include <cstdint>
#include <string>
#include <vector>

// One thread as /proc/PID/task/TID shows it: the state letter of its stat and its wchan.
struct ThreadState {
  char state = '?';   // R running, S sleeping, D disk, T stopped, t traced, Z zombie, ...
  std::string wchan;  // where it sleeps ("futex_do_wait", "hrtimer_nanosleep"); "0" or empty
                      // when running, or when the kernel does not say
};

// What one look at the program's threads tells.
struct ThreadSample {
  bool read = false;        // /proc showed at least one thread
  bool stopped = false;     // a thread is stopped: the program's time is not running
  bool waitNamed = false;   // a sleeping thread's wchan named its wait: /proc gives wchan here
  bool allBlocked = false;  // every live thread sleeps in a futex wait (a lock, a semaphore,
                            // a join): none of them can move unless another does
};

ThreadSample classify(const std::vector<ThreadState>& threads);

// The monotonic clock now, in µs: the wall time the relay's clocks and watchdogs count from.
std::int64_t monotonicUs();

// The program's own running time: the wall time between the companion's wake-ups, at most
// kCapUs per wake-up, and none while the program is stopped. A companion that was itself stopped
// or starved wakes up once and counts one capped step, not the time it was away.
class ProgramClock {
 public:
  static constexpr std::int64_t kTickUs = 200000;  // how often the companion looks, at most
  static constexpr std::int64_t kCapUs = 2 * kTickUs;

  // Starts at 0 at wall time `wallUs` (the program's start).
  explicit ProgramClock(std::int64_t wallUs = 0) : lastWallUs_(wallUs) {}
  // A wake-up at `wallUs`; `stopped`: the program was last seen stopped.
  void advance(std::int64_t wallUs, bool stopped);
  std::int64_t nowUs() const { return nowUs_; }

 private:
  std::int64_t lastWallUs_;
  std::int64_t nowUs_ = 0;
};

// How much of the program's time a run whose exact schedule closes at `closingMs` may take
// before it can be called stuck: that schedule's length, and half of it again, at least 2 s.
// Long delays and cuts print nothing for seconds while every thread sleeps in a timer, or in a
// timed wait that /proc cannot tell from a lock; only the schedule says how long that may last.
std::int64_t stuckMarginUs(std::int64_t closingMs);

// Whether a run is stuck, from looks at the program's threads once a tick. Stuck: at least
// stuckMarginUs() of program time since the run began, and two looks in a row with every thread
// blocked in a futex wait and no output between them. Where /proc never names a wait, the
// margin alone decides, as nothing better can.
class StuckWatch {
 public:
  // A run that began at `startUs` of program time, whose exact schedule closes at `closingMs`.
  StuckWatch(std::int64_t startUs, std::int64_t closingMs)
      : startUs_(startUs), marginUs_(stuckMarginUs(closingMs)) {}
  // The program printed something.
  void output() { outputSinceLook_ = true; }
  // A look at `programUs` of program time; true when the run is stuck.
  bool look(std::int64_t programUs, const ThreadSample& sample);

 private:
  std::int64_t startUs_, marginUs_;
  bool outputSinceLook_ = false;
  bool waitsNamed_ = false;  // some look named a wait: the evidence can be had
  int blockedLooks_ = 0;     // looks in a row with every thread blocked and nothing printed
};

#endif  // BARBERSHOP_TRACE_RELAY_WATCH_H_
