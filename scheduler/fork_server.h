#ifndef BARBERSHOP_SCHEDULER_FORK_SERVER_H_
#define BARBERSHOP_SCHEDULER_FORK_SERVER_H_
// The program started once and forked for each controlled run (BARBERSHOP_CONTROL_FORK in
// scheduler/protocol.h): the dynamic loader's work and the libraries' start are done once, and
// every run still begins from the same state, that of a program no run has touched yet.
// Runs in the library's constructor, on the only thread there is.

namespace sched {

// What a forked run is given: its record and answer descriptors and its plan.
struct ForkedRun {
  int records = -1;
  int answers = -1;
  const char* plan = nullptr;  // lives as long as the process
};

// Without BARBERSHOP_CONTROL_FORK: false at once. With it: serves runs until the companion
// closes the socket, then ends the process; returns true only in a forked run, its standard
// streams already in place.
bool serveForks(ForkedRun* run);

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_FORK_SERVER_H_
