// The fork server: a request for each run, answered with the run's process ID, and one for each
// run's end, answered with its wait status once it has ended.
//
// It touches no heap and no stdio, and maps nothing: each run must find memory exactly as a
// program no run has touched would, so that a run forked from here and a run started afresh
// under the same plan do the same. It calls only what the library does not wrap (or the system
// directly), since its own wrappers are not yet ready to serve.

#include "scheduler/fork_server.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "scheduler/protocol.h"

namespace sched {

namespace {

char gPlan[control::kForkPlanMax + 1];  // the forked run's plan, kept for its whole life

void sendReply(int socket, std::int64_t value) {
  (void)syscall(SYS_sendto, socket, &value, sizeof value, MSG_NOSIGNAL, nullptr, 0);
}

[[noreturn]] void endNow(int status) {
  (void)syscall(SYS_exit_group, status);
  __builtin_unreachable();
}

// Threads besides this one (a sanitizer's helper) would be lost in every fork.
bool onlyThread() {
  char buffer[4096];
  const int fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int threads = 0;
  for (;;) {
    const long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (long at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      if (entry->d_name[0] != '.') ++threads;
      at += entry->d_reclen;
    }
  }
  (void)close(fd);
  return threads == 1;
}

// One request: a run's plan as the message with the five descriptors (input, output, errors,
// records, answers) beside it, or a run's ID alone (an int64) asking for its end. The number of
// bytes, with `fds` filled for a run; -1 when the socket closed or the request is bad.
long receive(int socket, int fds[control::kForkFds], bool* run) {
  alignas(struct cmsghdr) char space[CMSG_SPACE(sizeof(int) * control::kForkFds)];
  struct iovec part = {gPlan, control::kForkPlanMax};
  struct msghdr message {};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = space;
  message.msg_controllen = sizeof space;
  long n;
  do {
    n = recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  if (n <= 0 || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) return -1;
  const struct cmsghdr* header = CMSG_FIRSTHDR(&message);
  *run = header != nullptr;
  if (!*run) return n == sizeof(std::int64_t) ? n : -1;
  if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS ||
      header->cmsg_len != CMSG_LEN(sizeof(int) * control::kForkFds)) {
    return -1;
  }
  std::memcpy(fds, CMSG_DATA(header), sizeof(int) * control::kForkFds);
  gPlan[n] = '\0';
  return n;
}

// In the run: its streams in place, the server's descriptors gone.
void becomeRun(int socket, const int fds[control::kForkFds], ForkedRun* run) {
  (void)setpgid(0, 0);
  for (int stream = 0; stream < 3; ++stream) (void)dup2(fds[stream], stream);
  for (int stream = 0; stream < 3; ++stream) (void)close(fds[stream]);
  (void)close(socket);
  run->records = fds[3];
  run->answers = fds[4];
  run->plan = gPlan;
}

// The end of a run of ours, as waitpid tells it, or -errno.
std::int64_t endOf(std::int64_t pid) {
  int status = 0;
  while (waitpid(static_cast<pid_t>(pid), &status, 0) < 0) {
    if (errno != EINTR) return -errno;
  }
  return status;
}

}  // namespace

bool serveForks(ForkedRun* run) {
  const char* text = getenv(control::kForkVariable);
  if (text == nullptr) return false;
  const int socket = atoi(text);
  const bool ready = onlyThread();
  sendReply(socket, ready ? 0 : -EDEADLK);
  if (!ready) endNow(0);
  for (;;) {
    int fds[control::kForkFds] = {-1, -1, -1, -1, -1};
    bool asksRun = false;
    if (receive(socket, fds, &asksRun) < 0) endNow(0);  // the companion has gone
    if (!asksRun) {
      std::int64_t pid = 0;
      std::memcpy(&pid, gPlan, sizeof pid);
      sendReply(socket, endOf(pid));
      continue;
    }
    const pid_t child = fork();
    if (child == 0) {
      becomeRun(socket, fds, run);
      return true;
    }
    const std::int64_t said = child > 0 ? child : -errno;
    // Its own group from the start, whichever of the two calls comes first.
    if (child > 0) (void)setpgid(child, child);
    for (int fd : fds) (void)close(fd);
    sendReply(socket, said);
  }
}

}  // namespace sched
