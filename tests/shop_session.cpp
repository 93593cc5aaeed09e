// Runs the real binary behind pipes, with a time limit, for the end-to-end tests.

#include "shop_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <sstream>

namespace {

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

Session runShop(const std::string& input, int seconds) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    execl(BARBERSHOP_BINARY, "barbershop", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  fcntl(in[1], F_SETFL, O_NONBLOCK);

  Session session;
  std::size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  const double deadline = now() + seconds;
  int open = 2;
  while (open > 0) {
    double left = deadline - now();
    if (left <= 0) {
      session.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    poll(fds, inFd >= 0 ? 3 : 2, static_cast<int>(left * 1000) + 1);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? session.out : session.err).append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        (i == 0 ? out[0] : err[0]) = -1;
        --open;
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR))) {
      ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  for (int fd : {inFd, out[0], err[0]}) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) session.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) session.signal = WTERMSIG(status);
  return session;
}

std::string addCustomer(const std::string& id, int delay, int cuttingTime) {
  return "1\n" + id + "\n" + std::to_string(delay) + "\n" + std::to_string(cuttingTime) + "\n";
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> stateBlocks(const std::string& text) {
  std::vector<std::string> blocks;
  for (std::size_t at = text.find("Curr: "); at != std::string::npos;
       at = text.find("Curr: ", at + 1)) {
    std::size_t end = text.find("------------------------\n", at);
    blocks.push_back(text.substr(at, end == std::string::npos ? end : end + 25 - at));
  }
  return blocks;
}
