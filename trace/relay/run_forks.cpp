// The fork server's companion side: started on first use, asked once a run, and put aside when
// another program (or a changed file) is asked for or when it stops answering.

#include "trace/relay/run_forks.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "scheduler/protocol.h"
#include "trace/relay/program_image.h"
#include "trace/relay/spawn.h"

namespace {

// A server's first answer waits for the program's start, which a sanitizer's runtime slows.
constexpr int kReadyMs = 10000;
constexpr int kAnswerMs = 10000;

struct Server {
  pid_t owner = -1;  // the process that started it: a fork of that process must not use it
  std::string path, library;
  FileStamp stamp;
  pid_t pid = -1;
  int socket = -1;
  bool refused = false;  // it cannot serve: every run of this program is started afresh
};

std::mutex gGuard;
Server gServer;  // guarded by gGuard

// The server's answer within `ms` (-1: however long it takes).
bool answered(int socket, int ms, std::int64_t* value) {
  pollfd waiting{socket, POLLIN, 0};
  int ready;
  do {
    ready = poll(&waiting, 1, ms);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  ssize_t got;
  do {
    got = recv(socket, value, sizeof *value, 0);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof *value);
}

void putAside(Server* server) {
  if (server->socket >= 0) (void)close(server->socket);
  // Our own server ends as its socket closes; a parent's is the parent's to wait for.
  if (server->pid > 0 && server->owner == getpid()) {
    while (waitpid(server->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  *server = Server{};
}

// Every run of this program is to be started afresh from now on.
void refuse(Server* server) {
  Server refused{getpid(), server->path, server->library, server->stamp, -1, -1, true};
  putAside(server);
  *server = refused;
}

bool launch(Server* server) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
  const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
  // It holds its socket and nothing else of ours: a run's pipe it held would never end.
  std::vector<std::string> environment = controlledEnvironment(
      server->library,
      {std::string(control::kForkVariable) + "=" + std::to_string(kOnlyDescriptor)});
  std::vector<char*> envp = environmentPointers(environment);
  int rc = nothing < 0 ? EBADF : 0;
  if (rc == 0) {
    const FixedLayout fixed;
    rc = spawnProgram(server->path, nothing, nothing, nothing, envp.data(), &server->pid, pair[1]);
  }
  if (nothing >= 0) (void)close(nothing);
  (void)close(pair[1]);
  server->socket = pair[0];
  if (rc != 0) server->pid = -1;
  std::int64_t ready = -1;
  return rc == 0 && answered(server->socket, kReadyMs, &ready) && ready == 0;
}

// The server for this program as the file is now, started if need be; null when there is none.
Server* serverFor(const std::string& path, const std::string& library) {
  FileStamp stamp;
  if (!stampOf(path, &stamp)) return nullptr;
  if (gServer.owner != getpid() || gServer.path != path || gServer.library != library ||
      !(gServer.stamp == stamp)) {
    putAside(&gServer);
    gServer.owner = getpid();
    gServer.path = path;
    gServer.library = library;
    gServer.stamp = stamp;
    if (!launch(&gServer)) refuse(&gServer);
  }
  return gServer.refused ? nullptr : &gServer;
}

bool request(int socket, const std::string& plan, const RunEnds& ends) {
  const int fds[control::kForkFds] = {ends.input, ends.output, ends.errors, ends.records,
                                      ends.answers};
  alignas(cmsghdr) char space[CMSG_SPACE(sizeof fds)] = {};
  iovec part{const_cast<char*>(plan.data()), plan.size()};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = space;
  message.msg_controllen = sizeof space;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof fds);
  std::memcpy(CMSG_DATA(header), fds, sizeof fds);
  ssize_t sent;
  do {
    sent = sendmsg(socket, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(plan.size());
}

}  // namespace

pid_t forkControlledRun(const std::string& path, const std::string& library,
                        const std::string& plan, const RunEnds& ends) {
  // An empty message reads as the end of the socket: the plan always says something.
  if (plan.empty() || plan.size() > control::kForkPlanMax) return -1;
  std::lock_guard<std::mutex> held(gGuard);
  Server* server = serverFor(path, library);
  if (server == nullptr) return -1;
  std::int64_t pid = -1;
  if (!request(server->socket, plan, ends) || !answered(server->socket, kAnswerMs, &pid) ||
      pid <= 0) {
    // A server that stops answering is not asked again: the runs go on, started afresh.
    refuse(server);
    return -1;
  }
  return static_cast<pid_t>(pid);
}

int waitForkedRun(pid_t pid) {
  std::lock_guard<std::mutex> held(gGuard);
  const std::int64_t asked = pid;
  std::int64_t status = -1;
  ssize_t sent;
  do {
    sent = gServer.socket < 0
               ? -1
               : sendto(gServer.socket, &asked, sizeof asked, MSG_NOSIGNAL, nullptr, 0);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(sizeof asked) || !answered(gServer.socket, -1, &status) ||
      status < 0) {
    return -1;
  }
  return static_cast<int>(status);
}

void stopForkServer() {
  std::lock_guard<std::mutex> held(gGuard);
  if (gServer.owner == getpid()) putAside(&gServer);
}
