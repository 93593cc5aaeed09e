// Starting and reaping the program, with its standard streams on pipes.

#include "trace/relay/child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

bool executable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

void closeFd(int* fd) {
  if (*fd >= 0) (void)close(*fd);
  *fd = -1;
}

}  // namespace

std::string findProgram(const std::string& explicit_path) {
  if (!explicit_path.empty()) return explicit_path;
  // Beside this executable: build/ in a checkout, /usr/bin once installed.
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    std::string dir(self, static_cast<std::size_t>(length));
    dir.erase(dir.rfind('/') + 1);
    if (executable(dir + "barbershop")) return dir + "barbershop";
  }
  const char* path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= dirs.size();) {
    std::size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(at, end - at);
    std::string candidate = (dir.empty() ? "." : dir) + "/barbershop";
    if (executable(candidate)) return candidate;
    at = end + 1;
  }
  return std::string();
}

Child::~Child() {
  closeFd(&in_);
  closeFd(&out_);
  closeFd(&err_);
}

bool Child::start(const std::string& path, std::string* error) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    *error = std::string("cannot make pipes: ") + strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  // The companion ignores SIGPIPE and blocks the signals it waits for; the program gets every
  // signal as if started from the shell, so a closed pipe or Ctrl-C does to it what it always did.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  int rc = posix_spawn(&pid_, path.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  (void)close(in[0]);
  (void)close(out[1]);
  (void)close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  if (rc != 0) {
    pid_ = -1;
    *error = "cannot start " + path + ": " + strerror(rc);
    return false;
  }
  return true;
}

bool Child::write(const std::string& bytes) {
  std::size_t done = 0;
  while (in_ >= 0 && done < bytes.size()) {
    ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return in_ >= 0;
}

void Child::closeInput() { closeFd(&in_); }

bool Child::read(int fd, std::string* chunk) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    chunk->assign(buffer, static_cast<std::size_t>(n));
    return true;
  }
}

void Child::closeOutput(int fd) {
  if (fd == out_) closeFd(&out_);
  if (fd == err_) closeFd(&err_);
}

void Child::kill() {
  if (pid_ > 0) (void)::kill(pid_, SIGKILL);
}

int Child::wait() {
  if (pid_ <= 0) return 0;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) return 0;
  }
  pid_ = -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
