#ifndef BARBERSHOP_TRACE_RELAY_RUN_FORKS_H_
#define BARBERSHOP_TRACE_RELAY_RUN_FORKS_H_
// Controlled runs forked from one program kept at its start (BARBERSHOP_CONTROL_FORK in
// scheduler/protocol.h). Starting a program and loading its libraries costs more than a short
// controlled run itself, and an exploration starts the same program for every schedule; each
// forked run still begins where a program started afresh would.
//
// One server per process, for the program (and file state) last asked for; a process forked from
// this one starts its own. Calls are serialised by a mutex of this file's; the server is a child
// of this process, ended by closing its socket, and the runs are the server's children, waited
// for through it.

#include <sys/types.h>

#include <string>

// The run's ends of its pipes, in the order the server takes them.
struct RunEnds {
  int input = -1, output = -1, errors = -1, records = -1, answers = -1;
};

// Forks a controlled run of `path` under `library`, following `plan`, on `ends`. Its process ID
// (in a group of its own), or -1 when no server can serve it: the caller then starts the program
// afresh. A program that cannot be forked (more
// than one thread at its start) is started afresh for good.
pid_t forkControlledRun(const std::string& path, const std::string& library,
                        const std::string& plan, const RunEnds& ends);

// Waits for the forked run `pid` to end: its waitpid status, or -1 when its server cannot tell.
int waitForkedRun(pid_t pid);

// Ends this process's server, if it has one, and waits for it: for a process that is about to
// leave and would otherwise hand its server on to be reaped by whoever adopts it.
void stopForkServer();

#endif  // BARBERSHOP_TRACE_RELAY_RUN_FORKS_H_
