// Starting a program for the relay: posix_spawn's set-up, a controlled run's environment, the
// fixed address layout.

#include "trace/relay/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/personality.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "scheduler/protocol.h"

extern char** environ;

// The companion ignores SIGPIPE and blocks the signals it waits for; the program gets every
// signal as if started from the shell, so a closed pipe does to it what it always did, and the
// companion passes on Ctrl-Z. Its own group lets the companion end whatever the program started
// along with it.
int spawnProgram(const std::string& path, int in, int out, int err, char* const* envp, pid_t* pid,
                 int only) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  int rc = posix_spawn_file_actions_init(&actions);
  if (rc != 0) return rc;
  rc = posix_spawnattr_init(&attributes);
  if (rc != 0) {
    (void)posix_spawn_file_actions_destroy(&actions);
    return rc;
  }
  sigset_t all, none;
  (void)sigfillset(&all);  // cannot fail for a valid set
  (void)sigemptyset(&none);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  if (rc == 0 && only >= 0) {
    rc = posix_spawn_file_actions_adddup2(&actions, only, kOnlyDescriptor);
    if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, kOnlyDescriptor + 1);
  }
  if (rc == 0) rc = posix_spawnattr_setsigdefault(&attributes, &all);
  if (rc == 0) rc = posix_spawnattr_setsigmask(&attributes, &none);
  if (rc == 0) rc = posix_spawnattr_setpgroup(&attributes, 0);  // its own pid as the group's
  if (rc == 0) {
    rc = posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  }
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  if (rc == 0) rc = posix_spawn(pid, path.c_str(), &actions, &attributes, argv, envp);
  // Destroying set-up objects that were made cannot fail.
  (void)posix_spawn_file_actions_destroy(&actions);
  (void)posix_spawnattr_destroy(&attributes);
  return rc;
}

std::vector<std::string> controlledEnvironment(const std::string& library,
                                               const std::vector<std::string>& named) {
  std::vector<std::string> out;
  std::string preload = library;
  std::string asan = "verify_asan_link_order=0";
  const std::string_view ours[] = {control::kFdVariable, control::kAnswerFdVariable,
                                   control::kPlanVariable, control::kForkVariable};
  for (char** each = environ; *each != nullptr; ++each) {
    const std::string_view entry(*each);
    const std::string_view name = entry.substr(0, entry.find('='));
    const std::string_view value = entry.substr(std::min(entry.size(), name.size() + 1));
    if (name == "LD_PRELOAD") {
      if (!value.empty()) preload += ":" + std::string(value);
    } else if (name == "ASAN_OPTIONS") {
      if (!value.empty()) asan = std::string(value) + ":" + asan;
    } else if (std::find(std::begin(ours), std::end(ours), name) == std::end(ours)) {
      out.emplace_back(entry);
    }
  }
  out.push_back("LD_PRELOAD=" + preload);
  out.push_back("ASAN_OPTIONS=" + asan);
  out.insert(out.end(), named.begin(), named.end());
  return out;
}

std::vector<char*> environmentPointers(std::vector<std::string>& entries) {
  std::vector<char*> pointers;
  for (std::string& entry : entries) pointers.push_back(entry.data());
  pointers.push_back(nullptr);
  return pointers;
}

FixedLayout::FixedLayout() {
  const int persona = personality(0xffffffff);
  if (persona >= 0 && personality(persona | ADDR_NO_RANDOMIZE) >= 0) before_ = persona;
}

FixedLayout::~FixedLayout() {
  if (before_ >= 0) (void)personality(before_);  // back as it was: it was ours to set
}

bool inherited(int fd) { return fcntl(fd, F_SETFD, 0) == 0; }
