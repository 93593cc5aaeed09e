// Starting, feeding, looking at and reaping the program, with its standard streams on pipes.

#include "trace/relay/child.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
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
#include "trace/relay/run_forks.h"
#include "trace/relay/spawn.h"

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
  if (pipe2(records, O_CLOEXEC) != 0 || pipe2(answers, O_CLOEXEC) != 0) {
    *error = std::string("cannot make pipes: ") + strerror(errno);
    closePipe(records);
    closePipe(answers);
    return false;
  }
  bool started = startForked(path, control, records[1], answers[0], error);
  if (!started && error->empty() && (!inherited(records[1]) || !inherited(answers[0]))) {
    *error = std::string("cannot hand the program its pipes: ") + strerror(errno);
  }
  if (!started && error->empty()) {
    // Their numbers in the program are their numbers here: the program inherits both.
    std::vector<std::string> environment = controlledEnvironment(
        control.library,
        {std::string(control::kFdVariable) + "=" + std::to_string(records[1]),
         std::string(control::kAnswerFdVariable) + "=" + std::to_string(answers[0]),
         std::string(control::kPlanVariable) + "=" + control.plan});
    std::vector<char*> envp = environmentPointers(environment);
    const FixedLayout fixed;
    started = startWith(path, envp.data(), error);
  }
  // This process keeps the other ends; the program's close here, as it has its own.
  closeFd(&records[1]);
  closeFd(&answers[0]);
  records_ = records[0];
  answers_ = answers[1];
  return started;
}

bool Child::startForked(const std::string& path, const ControlStart& control, int records,
                        int answers, std::string* error) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (!streamPipes(in, out, err, error)) return false;
  pid_ = forkControlledRun(path, control.library, control.plan,
                           RunEnds{in[0], out[1], err[1], records, answers});
  keepStreams(in, out, err);
  forked_ = pid_ > 0;
  if (pid_ < 0) {
    closeFd(&in_);
    closeFd(&out_);
    closeFd(&err_);
  }
  return pid_ > 0;
}

bool Child::start(const std::string& path, std::string* error) {
  return startWith(path, environ, error);
}

bool Child::streamPipes(int in[2], int out[2], int err[2], std::string* error) {
  if (pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0 &&
      fcntl(in[1], F_SETFL, O_NONBLOCK) == 0) {
    return true;
  }
  *error = std::string("cannot make pipes: ") + strerror(errno);
  closePipe(in);
  closePipe(out);
  closePipe(err);
  return false;
}

void Child::keepStreams(int in[2], int out[2], int err[2]) {
  closeFd(&in[0]);
  closeFd(&out[1]);
  closeFd(&err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

bool Child::startWith(const std::string& path, char* const* envp, std::string* error) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (!streamPipes(in, out, err, error)) return false;
  const int rc = spawnProgram(path, in[0], out[1], err[1], envp, &pid_);
  keepStreams(in, out, err);
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
  if (forked_) {
    // The server is its parent: it waits, and tells. A server gone took the end with it.
    status = waitForkedRun(pid_);
    if (status < 0) status = SIGKILL;
  } else {
    while (waitpid(pid_, &status, 0) < 0) {
      if (errno != EINTR) return 0;
    }
  }
  pid_ = -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
