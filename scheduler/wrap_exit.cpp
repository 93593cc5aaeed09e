// The process's end: exit, _exit and _Exit, and a return from main (seen by wrapping
// __libc_start_main), write the `exit` record and flush before the real end. From then on
// every wrapper goes straight through: the other threads stay parked until the process ends.

#include <stdlib.h>
#include <unistd.h>

#include "scheduler/records.h"
#include "scheduler/schedule.h"
#include "scheduler/wrap_stdout.h"

namespace {

void recordExit(int status) {
  if (!sched::controlled()) return;
  sched::gActive = false;
  sched::recordBegin("exit");
  sched::recordNumber(sched::gNow.load(std::memory_order_relaxed));
  sched::recordNumber(status);
  sched::recordEnd();
  sched::recordsFlush();
}

sched::MainFunction gMain = nullptr;  // written once, before main

int mainThenExit(int argc, char** argv, char** environment) {
  int status = gMain(argc, argv, environment);
  sched::flushStdoutAtExit();
  recordExit(status);
  return status;
}

}  // namespace

extern "C" {

void exit(int status) {
  sched::flushStdoutAtExit();
  recordExit(status);
  sched::real().exit(status);
  __builtin_unreachable();
}

void _exit(int status) {
  recordExit(status);
  sched::real()._exit(status);
  __builtin_unreachable();
}

void _Exit(int status) {
  recordExit(status);
  sched::real()._Exit(status);
  __builtin_unreachable();
}

int __libc_start_main(sched::MainFunction main, int argc, char** argv, void (*init)(),
                      void (*fini)(), void (*loaderFini)(), void* stackEnd) {
  gMain = main;
  return sched::real().libc_start_main(mainThenExit, argc, argv, init, fini, loaderFini, stackEnd);
}

}  // extern "C"
