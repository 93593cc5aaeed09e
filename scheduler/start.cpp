// The library's start: without BARBERSHOP_CONTROL_FD it stays out of the way; with it, the main
// thread becomes thread 0 holding the baton, the clocks are read once, the plan is read and the
// `hello` record is written. With BARBERSHOP_CONTROL_FORK it first serves forks, and each forked
// run goes on from here as a run started afresh would.

#include <link.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "scheduler/choose.h"
#include "scheduler/fork_server.h"
#include "scheduler/protocol.h"
#include "scheduler/records.h"
#include "scheduler/state.h"

namespace sched {

namespace {

// A descriptor number from the environment, or -1.
int descriptor(const char* variable) {
  const char* text = getenv(variable);
  if (text == nullptr || *text < '0' || *text > '9') return -1;
  int fd = 0;
  while (*text >= '0' && *text <= '9') fd = fd * 10 + (*text++ - '0');
  return *text == '\0' ? fd : -1;
}

std::int64_t nanoseconds(clockid_t clock) {
  struct timespec now {};
  (void)real().clock_gettime(clock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::uint64_t gExeBase = 0;  // written once, by the constructor

// The program's own image comes first in the list: its load address and extent.
int findProgram(struct dl_phdr_info* info, size_t, void*) {
  std::uint64_t begin = UINT64_MAX, end = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_LOAD) continue;
    std::uint64_t from = info->dlpi_addr + header.p_vaddr;
    if (from < begin) begin = from;
    if (from + header.p_memsz > end) end = from + header.p_memsz;
  }
  gExeBase = info->dlpi_addr;
  setExecutableImage(gExeBase, begin, end);
  return 1;
}

__attribute__((constructor)) void startLibrary() {
  const bool server = getenv(control::kForkVariable) != nullptr;
  ForkedRun forked;
  int fd = server ? -1 : descriptor(control::kFdVariable);
  if (!server && fd < 0) return;
  (void)real();
  // One thread runs at a time: a malloc arena for each would only cost every thread's first
  // allocation a fresh heap.
  (void)mallopt(M_ARENA_MAX, 1);
  if (server) {
    if (!serveForks(&forked)) return;
    fd = forked.records;
  }
  gRealtimeBase = nanoseconds(CLOCK_REALTIME);
  gMonotonicBase = nanoseconds(CLOCK_MONOTONIC);
  (void)dl_iterate_phdr(findProgram, nullptr);
  recordsOpen(fd);
  Thread* main = newThread();
  main->baton.store(1);
  setSelf(main);
  if (server) {
    startChooser(forked.plan, forked.answers);
  } else {
    startChooser(getenv(control::kPlanVariable), descriptor(control::kAnswerFdVariable));
  }
  onThreadCreated(main);
  recordBegin("hello");
  recordNumber(getpid());
  recordHex(gExeBase);
  recordEnd();
  gActive = true;
}

}  // namespace

}  // namespace sched
