#ifndef BARBERSHOP_TRACE_RELAY_CHILD_H_
#define BARBERSHOP_TRACE_RELAY_CHILD_H_
// The program as barbershop-trace's child process: started on three pipes, written to and read
// from without blocking the companion's one thread, and waited for. The only place here that
// starts, signals or reaps a process.

#include <sys/types.h>

#include <string>

// Where the program is: `explicit_path` when given, else the `barbershop` beside this
// executable, else the first one on PATH. Empty when none is found.
std::string findProgram(const std::string& explicit_path);

class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  // Starts `path` with no arguments and the environment as it is, with every signal at its
  // default and none blocked. False with `error` set when it cannot be started.
  bool start(const std::string& path, std::string* error);

  int input() const { return in_; }    // the program's standard input; -1 once closed
  int output() const { return out_; }  // its standard output
  int errors() const { return err_; }  // its standard error

  // Writes all of `bytes` to the program's input; false when it no longer reads (it ended).
  bool write(const std::string& bytes);
  // End of input for the program.
  void closeInput();
  // Reads what is there from `fd` (output() or errors()); false at end of file.
  bool read(int fd, std::string* chunk);
  void closeOutput(int fd);

  // Ends the program at once (it is stuck, or the user gave up).
  void kill();
  // Waits for the program to end; its exit status, or 128 + the signal that ended it.
  int wait();

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
};

#endif  // BARBERSHOP_TRACE_RELAY_CHILD_H_
