#ifndef BARBERSHOP_TRACE_RELAY_CHILD_H_
#define BARBERSHOP_TRACE_RELAY_CHILD_H_
// The program as barbershop-trace's child process: started on three pipes, waited for, and
// looked at through /proc. A controlled run is forked from the program's fork server when it has
// one (trace/relay/run_forks.h), else started afresh as any other. Its input is written without
// blocking (what the pipe does not take waits here until poll says it will); its output and errors
// are read once poll says there is something. Besides the fork server's own launch and end, the
// only place in the relay that starts, signals or reaps a process. Single-threaded.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/relay/watch.h"

// Where the program is: `explicitPath` when given, else the `barbershop` beside this
// executable, else the first one on PATH. Empty when none is found.
std::string findProgram(const std::string& explicitPath);
// Where the broken variant `name` of the shop is: variants/NAME beside this executable in a build
// tree, ../lib/barbershop/variants/NAME once installed. Empty when it is not there. `unwidened`:
// its build without the widened race windows (variants/unwidened/NAME), which a controlled run
// needs no help to open.
std::string findVariantProgram(const std::string& name, bool unwidened = false);
// Where the scheduler library of controlled runs is: libbarbershop-scheduler.so beside this
// executable in a build tree, ../lib/barbershop/ once installed. Empty when it is not there.
std::string findSchedulerLibrary();

// What starts a controlled run (scheduler/protocol.h): the library preloaded and its plan.
struct ControlStart {
  std::string library;
  std::string plan;
};

class Child {
 public:
  Child() : serial_(++started_) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // Closes the pipes; a program still running is killed and reaped first.
  ~Child();

  // Starts `path` with no arguments and the environment as it is, with every signal at its
  // default and none blocked. False with `error` set when it cannot be started.
  bool start(const std::string& path, std::string* error);
  // The same, under the scheduler library: LD_PRELOAD names it first, its records come on
  // records() and its picks for then=ask go through answer().
  bool start(const std::string& path, const ControlStart& control, std::string* error);

  // Which program this is, of those this process started: a replaced program's successor may
  // live at the same address, never under the same number.
  std::uint64_t serial() const { return serial_; }

  int input() const { return in_; }         // the program's standard input; -1 once closed
  int output() const { return out_; }       // its standard output; -1 once it ended
  int errors() const { return err_; }       // its standard error; -1 once it ended
  int records() const { return records_; }  // a controlled run's records; -1 once they ended
  void closeRecords();
  // Hands the scheduler its pick for an `ask` record; false when it cannot be written.
  bool answer(int tid);

  // Queues `bytes` for the program's input and writes what the pipe takes now.
  void send(std::string_view bytes);
  // Ends the program's input once everything queued has been written.
  void endInput();
  // True while queued bytes wait for room in the pipe: poll input() for POLLOUT, then flush().
  bool sending() const { return in_ >= 0 && !pending_.empty(); }
  // Writes what the pipe takes now; never blocks. A program that no longer reads (it ended)
  // gets nothing more.
  void flush();

  // Reads what is there from `fd` (output(), errors() or the user's input); false at end of
  // file, or when the read fails.
  static bool read(int fd, std::string* chunk);
  void closeOutput(int fd);

  // What the program's threads are doing now, from /proc/PID/task; `read` false when it cannot
  // be seen.
  ThreadSample look() const;

  // Ends the program at once (it is stuck, or the companion is ending), with every process of
  // its group: what it started along with it.
  void kill();
  // Sends `signo` to the program's process group (Ctrl-Z and fg passed on).
  void signal(int signo);
  // Waits for the program to end; its exit status, or 128 + the signal that ended it.
  int wait();

 private:
  bool startWith(const std::string& path, char* const* envp, std::string* error);
  // A controlled run forked from the program's fork server; false with `error` empty when there
  // is none to serve it, so the program is started afresh.
  bool startForked(const std::string& path, const ControlStart& control, int records, int answers,
                   std::string* error);
  static bool streamPipes(int in[2], int out[2], int err[2], std::string* error);
  // Closes the program's ends of its three pipes and keeps ours.
  void keepStreams(int in[2], int out[2], int err[2]);

  static inline std::uint64_t started_ = 0;  // the session's thread alone makes programs
  std::uint64_t serial_;
  pid_t pid_ = -1;
  bool forked_ = false;  // by the program's fork server, which is its parent
  int in_ = -1, out_ = -1, err_ = -1;
  int records_ = -1, answers_ = -1;  // a controlled run's pipes: our ends
  std::string pending_;              // bytes of input the pipe has not taken yet
  bool endInput_ = false;
};

#endif  // BARBERSHOP_TRACE_RELAY_CHILD_H_
