// The record writer: one static buffer, flushed by whole lines with raw writes that retry on
// partial writes and interruptions, so no libc stream (and no wrapped function) is involved.

#include "scheduler/records.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace sched {

namespace {

constexpr int kBufferSize = 1 << 16;
constexpr int kLongestLine = 8192;  // a choice over every thread fits many times
// A quarter of a pipe's default size: the companion reads the output as the records tell it.
constexpr long kPrintedBeforeFlush = 16 * 1024;

// Guarded by the baton.
char gBuffer[kBufferSize];
int gUsed = 0;
int gFd = -1;
bool gFirstField = true;
long gPrinted = 0;  // bytes printed since the last flush

void put(char c) {
  if (gUsed < kBufferSize) gBuffer[gUsed++] = c;
}

void separate() {
  if (!gFirstField) put(' ');
  gFirstField = false;
}

}  // namespace

void recordsOpen(int fd) { gFd = fd; }

void recordsFlush() {
  int done = 0;
  while (gFd >= 0 && done < gUsed) {
    long n = syscall(SYS_write, gFd, gBuffer + done, gUsed - done);
    if (n > 0) {
      done += static_cast<int>(n);
    } else if (n < 0 && errno != EINTR) {
      break;  // the companion has gone; nothing reads the records any more
    }
  }
  gUsed = 0;
  gPrinted = 0;
}

void recordsAfterPrint(long bytes) {
  gPrinted += bytes;
  if (gPrinted >= kPrintedBeforeFlush) recordsFlush();
}

void recordBegin(const char* kind) {
  if (kBufferSize - gUsed < kLongestLine) recordsFlush();
  gFirstField = true;
  recordText(kind);
}

void recordAppend(const char* text) {
  while (*text != '\0') put(*text++);
}

void recordAppendNumber(std::int64_t value) {
  char digits[24];
  int n = 0;
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) put('-');
  while (n > 0) put(digits[--n]);
}

void recordText(const char* text) {
  separate();
  recordAppend(text);
}

void recordNumber(std::int64_t value) {
  separate();
  recordAppendNumber(value);
}

void recordHex(std::uint64_t value) {
  separate();
  char digits[16];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value & 15];
    value >>= 4;
  } while (value != 0);
  while (n > 0) put(digits[--n]);
}

void recordEnd() { put('\n'); }

}  // namespace sched
