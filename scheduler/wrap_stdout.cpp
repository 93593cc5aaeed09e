// Every writer to standard output, one `print BYTES` step per call with the bytes it wrote. The
// step is recorded (and the records flushed) after the real call, so the program's bytes reach
// the pipe before their record. Other streams pass straight through, without a step.
// While standard output is still buffered, a call writes what stdio lets through: the bytes it
// took, less what stdio holds afterwards beyond what it held before.

#include "scheduler/wrap_stdout.h"

#include <stdio.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>

#include "scheduler/records.h"
#include "scheduler/schedule.h"

using sched::Op;

namespace {

bool printing(FILE* stream) { return stream == stdout && sched::controlled(); }

long gHeld = 0;  // what stdio held for standard output before the call; guarded by the baton

long held() { return static_cast<long>(stdout->_IO_write_ptr - stdout->_IO_write_base); }

// Stops before a print; the caller then makes the real call.
void beforePrint() {
  sched::await(Op::kPrint, nullptr, 0);
  gHeld = held();
}

// TAKEN: the bytes the call took from the program (a negative count for none).
void afterPrint(long taken) {
  long bytes = gHeld + (taken < 0 ? 0 : taken) - held();
  (void)sched::recordStep(Op::kPrint, nullptr, bytes < 0 ? 0 : bytes, 0, 0);
  sched::recordsAfterPrint(bytes < 0 ? 0 : bytes);
}

int printed(int result) {
  afterPrint(result);
  return result;
}

int vprintStdout(const char* format, va_list args) {
  beforePrint();
  return printed(sched::real().vfprintf(stdout, format, args));
}

// The checked twin that a program built with _FORTIFY_SOURCE (as Debian packages are) calls.
int vprintChecked(FILE* stream, int flag, const char* format, va_list args) {
  if (!printing(stream)) return sched::real().vfprintf_chk(stream, flag, format, args);
  beforePrint();
  return printed(sched::real().vfprintf_chk(stream, flag, format, args));
}

}  // namespace

void sched::flushStdoutAtExit() {
  if (!sched::controlled() || held() == 0) return;
  beforePrint();
  (void)sched::real().fflush(stdout);
  afterPrint(0);
}

extern "C" {

int vfprintf(FILE* stream, const char* format, va_list args) {
  if (!printing(stream)) return sched::real().vfprintf(stream, format, args);
  return vprintStdout(format, args);
}

int vprintf(const char* format, va_list args) {
  if (!printing(stdout)) return sched::real().vfprintf(stdout, format, args);
  return vprintStdout(format, args);
}

int fprintf(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result =
      printing(stream) ? vprintStdout(format, args) : sched::real().vfprintf(stream, format, args);
  va_end(args);
  return result;
}

int printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result =
      printing(stdout) ? vprintStdout(format, args) : sched::real().vfprintf(stdout, format, args);
  va_end(args);
  return result;
}

int __vfprintf_chk(FILE* stream, int flag, const char* format, va_list args) {
  return vprintChecked(stream, flag, format, args);
}

int __vprintf_chk(int flag, const char* format, va_list args) {
  return vprintChecked(stdout, flag, format, args);
}

int __fprintf_chk(FILE* stream, int flag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = vprintChecked(stream, flag, format, args);
  va_end(args);
  return result;
}

int __printf_chk(int flag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = vprintChecked(stdout, flag, format, args);
  va_end(args);
  return result;
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
  if (!printing(stream)) return sched::real().fwrite(data, size, count, stream);
  beforePrint();
  size_t written = sched::real().fwrite(data, size, count, stream);
  afterPrint(static_cast<long>(written * size));
  return written;
}

int fputs(const char* text, FILE* stream) {
  if (!printing(stream)) return sched::real().fputs(text, stream);
  beforePrint();
  int rc = sched::real().fputs(text, stream);
  afterPrint(rc == EOF ? 0 : static_cast<long>(strlen(text)));
  return rc;
}

int puts(const char* text) {
  if (!printing(stdout)) return sched::real().puts(text);
  beforePrint();
  int rc = sched::real().puts(text);
  afterPrint(rc == EOF ? 0 : static_cast<long>(strlen(text)) + 1);
  return rc;
}

int fputc(int c, FILE* stream) {
  if (!printing(stream)) return sched::real().fputc(c, stream);
  beforePrint();
  int rc = sched::real().fputc(c, stream);
  afterPrint(rc == EOF ? 0 : 1);
  return rc;
}

int putc(int c, FILE* stream) {
  if (!printing(stream)) return sched::real().putc(c, stream);
  beforePrint();
  int rc = sched::real().putc(c, stream);
  afterPrint(rc == EOF ? 0 : 1);
  return rc;
}

int putchar(int c) {
  if (!printing(stdout)) return sched::real().putchar(c);
  beforePrint();
  int rc = sched::real().putchar(c);
  afterPrint(rc == EOF ? 0 : 1);
  return rc;
}

int fflush(FILE* stream) {
  // Flushing every stream writes what stdio holds for standard output too.
  bool all = stream == nullptr && sched::controlled() && held() > 0;
  if (!all && !printing(stream)) return sched::real().fflush(stream);
  beforePrint();
  int rc = sched::real().fflush(stream);
  afterPrint(0);
  return rc;
}

ssize_t write(int fd, const void* data, size_t size) {
  if (fd != STDOUT_FILENO || !sched::controlled()) return sched::real().write(fd, data, size);
  sched::await(Op::kPrint, nullptr, 0);
  ssize_t written = sched::real().write(fd, data, size);
  (void)sched::recordStep(Op::kPrint, nullptr, written < 0 ? 0 : written, 0, 0);
  sched::recordsAfterPrint(written < 0 ? 0 : written);
  return written;
}

}  // extern "C"
