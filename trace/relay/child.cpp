// Starting, feeding, looking at and reaping the program, with its standard streams on pipes.

#include "trace/relay/child.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/personality.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include "scheduler/protocol.h"

extern char** environ;

namespace {

bool executable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

void closeFd(int* fd) {
  // A close that fails still frees the descriptor on Linux; there is nothing to retry.
  if (*fd >= 0) (void)close(*fd);
  *fd = -1;
}

void closePipe(int ends[2]) {
  closeFd(&ends[0]);
  closeFd(&ends[1]);
}

// The set-up of posix_spawn: the pipes as the program's standard streams, every signal at its
// default and none blocked, in a process group of its own. The companion ignores SIGPIPE and
// blocks the signals it waits for; the program gets every signal as if started from the shell,
// so a closed pipe does to it what it always did, and the companion passes on Ctrl-Z. Its own
// group lets the companion end whatever the program started along with it. 0, or the error of
// the call that failed.
int spawn(const std::string& path, const int in[2], const int out[2], const int err[2],
          char* const* envp, pid_t* pid) {
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
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
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

// The state letter of a /proc/PID/task/TID/stat line: the field after the command's ")".
char stateOf(const std::string& stat) {
  std::size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

std::string firstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// The directory this executable is in, with its slash; empty when it cannot be read.
std::string ownDirectory() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return std::string();
  std::string dir(self, static_cast<std::size_t>(length));
  return dir.erase(dir.rfind('/') + 1);
}

// The environment of a controlled run: ours, with the scheduler library preloaded ahead of
// whatever was preloaded already, an AddressSanitizer build told not to insist on coming first,
// and the run's descriptors and plan named.
std::vector<std::string> controlledEnvironment(const ControlStart& control, int records,
                                               int answers) {
  std::vector<std::string> out;
  std::string preload = control.library;
  std::string asan = "verify_asan_link_order=0";
  const std::string_view ours[] = {control::kFdVariable, control::kAnswerFdVariable,
                                   control::kPlanVariable};
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
  out.push_back(std::string(control::kFdVariable) + "=" + std::to_string(records));
  out.push_back(std::string(control::kAnswerFdVariable) + "=" + std::to_string(answers));
  out.push_back(std::string(control::kPlanVariable) + "=" + control.plan);
  return out;
}

bool inherited(int fd) { return fcntl(fd, F_SETFD, 0) == 0; }

}  // namespace

std::string findVariantProgram(const std::string& name, bool unwidened) {
  const std::string dir = ownDirectory();
  if (dir.empty()) return std::string();
  const std::string kind = unwidened ? "variants/unwidened/" : "variants/";
  for (const std::string& where : {dir + kind, dir + "../lib/barbershop/" + kind}) {
    if (executable(where + name)) return where + name;
  }
  return std::string();
}

std::string findSchedulerLibrary() {
  const std::string dir = ownDirectory();
  if (dir.empty()) return std::string();
  const char kName[] = "libbarbershop-scheduler.so";
  for (const std::string& where : {dir, dir + "../lib/barbershop/"}) {
    if (access((where + kName).c_str(), R_OK) == 0) return where + kName;
  }
  return std::string();
}

std::string findProgram(const std::string& explicitPath) {
  if (!explicitPath.empty()) return explicitPath;
  // Beside this executable: build/ in a checkout, /usr/bin once installed.
  const std::string own = ownDirectory();
  if (!own.empty() && executable(own + "barbershop")) return own + "barbershop";
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
  kill();
  (void)wait();
  closeFd(&in_);
  closeFd(&out_);
  closeFd(&err_);
  closeFd(&records_);
  closeFd(&answers_);
}

bool Child::start(const std::string& path, const ControlStart& control, std::string* error) {
  int records[2] = {-1, -1}, answers[2] = {-1, -1};
  if (pipe2(records, O_CLOEXEC) != 0 || pipe2(answers, O_CLOEXEC) != 0 || !inherited(records[1]) ||
      !inherited(answers[0])) {
    *error = std::string("cannot make pipes: ") + strerror(errno);
    closePipe(records);
    closePipe(answers);
    return false;
  }
  // Their numbers in the program are their numbers here: the program inherits both, and this
  // process keeps the other ends, which close when the program is started.
  std::vector<std::string> environment = controlledEnvironment(control, records[1], answers[0]);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  // The same addresses every time, so two runs under one plan record the same bytes: the
  // program starts without address randomisation, where the system allows it.
  const int persona = personality(0xffffffff);
  const bool fixedLayout = persona >= 0 && personality(persona | ADDR_NO_RANDOMIZE) >= 0;
  const bool started = startWith(path, envp.data(), error);
  if (fixedLayout) (void)personality(persona);  // back as it was: it was ours to set
  closeFd(&records[1]);
  closeFd(&answers[0]);
  records_ = records[0];
  answers_ = answers[1];
  return started;
}

bool Child::start(const std::string& path, std::string* error) {
  return startWith(path, environ, error);
}

bool Child::startWith(const std::string& path, char* const* envp, std::string* error) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 ||
      fcntl(in[1], F_SETFL, O_NONBLOCK) != 0) {
    *error = std::string("cannot make pipes: ") + strerror(errno);
    closePipe(in);
    closePipe(out);
    closePipe(err);
    return false;
  }
  const int rc = spawn(path, in, out, err, envp, &pid_);
  closeFd(&in[0]);
  closeFd(&out[1]);
  closeFd(&err[1]);
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

void Child::send(std::string_view bytes) {
  pending_.append(bytes);
  flush();
}

void Child::endInput() {
  endInput_ = true;
  flush();
}

void Child::flush() {
  std::size_t done = 0;
  while (in_ >= 0 && done < pending_.size()) {
    ssize_t n = ::write(in_, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;  // the rest when it reads
    if (n <= 0) {
      // EPIPE: the program closed its input or ended; what it will never read is dropped.
      closeFd(&in_);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  pending_.erase(0, done);
  if (in_ < 0) pending_.clear();
  if (endInput_ && pending_.empty()) closeFd(&in_);
}

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

void Child::closeRecords() { closeFd(&records_); }

bool Child::answer(int tid) {
  const std::string line = std::to_string(tid) + "\n";
  std::size_t done = 0;
  while (answers_ >= 0 && done < line.size()) {
    const ssize_t n = ::write(answers_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return done == line.size();
}

void Child::closeOutput(int fd) {
  if (fd == out_) closeFd(&out_);
  if (fd == err_) closeFd(&err_);
}

ThreadSample Child::look() const {
  std::vector<ThreadState> threads;
  const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
  DIR* dir = pid_ > 0 ? opendir(tasks.c_str()) : nullptr;
  if (dir == nullptr) return ThreadSample{};
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string task = tasks + "/" + entry->d_name;
    const std::string stat = firstLine(task + "/stat");
    // A thread that ended between readdir and here is simply not counted.
    if (!stat.empty()) threads.push_back({stateOf(stat), firstLine(task + "/wchan")});
  }
  (void)closedir(dir);  // a directory stream that was opened closes
  return classify(threads);
}

void Child::kill() { signal(SIGKILL); }

void Child::signal(int signo) {
  // The group is the program's pid, which cannot be reused before the program is reaped.
  // ESRCH (the whole group has ended) is the only failure for our own child's group.
  if (pid_ > 0) (void)::kill(-pid_, signo);
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
