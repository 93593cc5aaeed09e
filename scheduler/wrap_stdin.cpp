// Every reader of standard input, one `input` step per call. A read goes only once the rest of
// the program has settled (every other thread waits and no deadline is pending), so the barber is
// in bed before the menu reads its answer, as he is when a person types. The real call may then
// wait in the kernel for the bytes: no other thread could go meanwhile.

#include <stdio.h>
#include <unistd.h>

#include "scheduler/records.h"
#include "scheduler/schedule.h"

using sched::Op;

namespace {

bool reading(FILE* stream) { return stream == stdin && sched::controlled(); }

void beforeInput() {
  sched::await(Op::kInput, nullptr, 0);
  (void)sched::recordStep(Op::kInput, nullptr, 0, 0, 0);
  // The companion may have to answer what was printed before the program waits for it.
  sched::recordsFlush();
}

}  // namespace

extern "C" {

int getc(FILE* stream) {
  if (reading(stream)) beforeInput();
  return sched::real().getc(stream);
}

int fgetc(FILE* stream) {
  if (reading(stream)) beforeInput();
  return sched::real().fgetc(stream);
}

int getchar() {
  if (reading(stdin)) beforeInput();
  return sched::real().getchar();
}

char* fgets(char* line, int size, FILE* stream) {
  if (reading(stream)) beforeInput();
  return sched::real().fgets(line, size, stream);
}

ssize_t getdelim(char** line, size_t* size, int delimiter, FILE* stream) {
  if (reading(stream)) beforeInput();
  return sched::real().getdelim(line, size, delimiter, stream);
}

ssize_t getline(char** line, size_t* size, FILE* stream) {
  if (reading(stream)) beforeInput();
  return sched::real().getdelim(line, size, '\n', stream);
}

size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
  if (reading(stream)) beforeInput();
  return sched::real().fread(buffer, size, count, stream);
}

ssize_t read(int fd, void* buffer, size_t size) {
  if (fd == STDIN_FILENO && sched::controlled()) beforeInput();
  return sched::real().read(fd, buffer, size);
}

}  // extern "C"
