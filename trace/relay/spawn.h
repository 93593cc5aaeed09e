#ifndef BARBERSHOP_TRACE_RELAY_SPAWN_H_
#define BARBERSHOP_TRACE_RELAY_SPAWN_H_
// How the relay starts a program: on the standard streams it is given, with every signal at its
// default and none blocked, in a process group of its own, and, for a controlled run, with the
// scheduler library preloaded. Used by Child and by the fork server of controlled runs.

#include <sys/types.h>

#include <string>
#include <vector>

// Starts `path` with no arguments, `in`, `out` and `err` as its standard streams and `envp` as
// its environment. With `only` at 0 or more, that descriptor becomes its descriptor 3
// (kOnlyDescriptor) and it inherits no other. 0, or the error of the call that failed.
constexpr int kOnlyDescriptor = 3;
int spawnProgram(const std::string& path, int in, int out, int err, char* const* envp, pid_t* pid,
                 int only = -1);

// Our environment with `library` preloaded ahead of whatever was preloaded already, an
// AddressSanitizer build told not to insist on coming first, the scheduler's own variables
// dropped, and `named` ("NAME=VALUE") added.
std::vector<std::string> controlledEnvironment(const std::string& library,
                                               const std::vector<std::string>& named);

// The pointers posix_spawn takes, to `entries`, which must outlive them; null-terminated.
std::vector<char*> environmentPointers(std::vector<std::string>& entries);

// While it lives, programs start with the address layout fixed where the system allows it, so
// that two runs under one plan record the same bytes; the setting is put back as it was after.
class FixedLayout {
 public:
  FixedLayout();
  ~FixedLayout();
  FixedLayout(const FixedLayout&) = delete;
  FixedLayout& operator=(const FixedLayout&) = delete;

 private:
  int before_ = -1;  // the persona to put back, or -1 when it was not changed
};

// Clears close-on-exec: a descriptor the started program inherits.
bool inherited(int fd);

#endif  // BARBERSHOP_TRACE_RELAY_SPAWN_H_
