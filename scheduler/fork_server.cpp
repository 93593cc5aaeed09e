// The fork server: one request a run, answered with the run's process ID.
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

// One request: the plan as the message, the five descriptors (input, output, errors, records,
// answers) beside it. The number of bytes, or -1 when the socket closed or the request is bad.
long receive(int socket, int fds[control::kForkFds]) {
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
  if (n <= 0) return -1;
  const struct cmsghdr* header = CMSG_FIRSTHDR(&message);
  const bool whole = header != nullptr && header->cmsg_level == SOL_SOCKET &&
                     header->cmsg_type == SCM_RIGHTS &&
                     header->cmsg_len == CMSG_LEN(sizeof(int) * control::kForkFds) &&
                     (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0;
  if (header != nullptr && header->cmsg_type == SCM_RIGHTS) {
    std::memcpy(fds, CMSG_DATA(header), sizeof(int) * control::kForkFds);
  }
  if (!whole) return -1;
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

// A process of its own for the run, whose parent then leaves at once: the run is handed to the
// companion (a subreaper), which waits for it as for any child. Its ID, or -errno.
std::int64_t forkRun(int socket, const int fds[control::kForkFds], ForkedRun* run, bool* inRun) {
  int handover[2];
  if (pipe2(handover, O_CLOEXEC) != 0) return -errno;
  const pid_t middle = fork();
  if (middle < 0) {
    const int error = errno;
    (void)close(handover[0]);
    (void)close(handover[1]);
    return -error;
  }
  if (middle == 0) {
    const pid_t child = fork();
    if (child == 0) {
      (void)close(handover[0]);
      (void)close(handover[1]);
      becomeRun(socket, fds, run);
      *inRun = true;
      return 0;
    }
    if (child > 0) (void)setpgid(child, child);  // as the run does: whichever comes first
    const std::int64_t said = child > 0 ? child : -errno;
    (void)syscall(SYS_write, handover[1], &said, sizeof said);
    endNow(0);
  }
  (void)close(handover[1]);
  std::int64_t said = -EPIPE;
  while (syscall(SYS_read, handover[0], &said, sizeof said) < 0 && errno == EINTR) {
  }
  (void)close(handover[0]);
  while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  return said;
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
    if (receive(socket, fds) < 0) endNow(0);  // the companion has gone
    bool inRun = false;
    const std::int64_t child = forkRun(socket, fds, run, &inRun);
    if (inRun) return true;
    for (int fd : fds) (void)close(fd);
    sendReply(socket, child);
  }
}

}  // namespace sched
