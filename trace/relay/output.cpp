// The one writer of standard output.

#include "trace/relay/output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

OutputState gState = OutputState::kOk;  // written only by writeOutput

void fail(int error) {
  if (error == EPIPE) {
    gState = OutputState::kReaderGone;
    return;
  }
  gState = OutputState::kFailed;
  const std::string message =
      std::string("barbershop-trace: cannot write to standard output: ") + strerror(error) + "\n";
  writeErrors(message);
}

}  // namespace

bool writeOutput(std::string_view bytes) {
  while (gState == OutputState::kOk && !bytes.empty()) {
    ssize_t n = write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Someone else made the shared terminal or pipe non-blocking: wait until it takes more.
      // Should poll fail, the write is simply tried again.
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      (void)poll(&out, 1, -1);
      continue;
    }
    if (n <= 0) {
      fail(n == 0 ? EIO : errno);
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return gState == OutputState::kOk;
}

OutputState outputState() { return gState; }

int statusAfterOutput(int status) {
  switch (gState) {
    case OutputState::kOk:
      return status;
    case OutputState::kReaderGone:
      return kExitReaderGone;
    case OutputState::kFailed:
      return 1;
  }
  return status;
}

void writeErrors(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(STDERR_FILENO, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}
