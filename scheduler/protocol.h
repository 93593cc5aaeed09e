#ifndef BARBERSHOP_SCHEDULER_PROTOCOL_H_
#define BARBERSHOP_SCHEDULER_PROTOCOL_H_
// What the scheduler library (preloaded into the unchanged program) and barbershop-trace say to
// each other: the environment that starts a controlled run, the plan it follows, and the records
// it writes. Both sides include this file; it holds only names and constants.
//
// ENVIRONMENT (set by the companion for its child, never read by the program itself)
//   BARBERSHOP_CONTROL_FD=N      records are written to descriptor N (a pipe). Without it the
//                                library stays out of the way: every call goes straight through.
//   BARBERSHOP_CONTROL_ANSWER_FD=N  for `then=ask`: the companion's picks are read from N.
//   BARBERSHOP_CONTROL_PLAN=TEXT the plan, `key=value` pairs separated by ';':
//     then=first|random|pct|ask   who goes at a choice the plan does not fix (default first)
//     seed=S                      for random and pct (an unsigned 64-bit number)
//     depth=D steps=K             for pct: D-1 priority change points among the first K steps
//     picks=T1,T2,...             the first choices, by thread: choice k goes to Tk (replay)
//     strict=1                    a pick that cannot go stops the run (`diverged`); without it
//                                 such a pick falls back to `then`
//     over=K:T,K:T,...            choice K goes to thread T, when T can go; `then` elsewhere
//     idle_ms=M                   (unused by the library; the companion's watchdog)
//   BARBERSHOP_CONTROL_FORK=N    instead of the three above: the program is a fork server on
//                                N, a SOCK_SEQPACKET socket. It first sends an int64 0 (ready)
//                                or -EDEADLK (more threads than one: it cannot fork, and ends).
//                                A run is asked for with one message whose bytes are the
//                                plan (at most kForkPlanMax) and whose SCM_RIGHTS carry
//                                kForkFds descriptors: the run's input, output, errors,
//                                records and answers. The server forks the run, in a process
//                                group of its own, and answers with its ID as an int64, or
//                                -errno. A message of an int64 ID alone asks for that run's
//                                end: the server waits for it and answers with its waitpid
//                                status, or -errno. It ends when the socket closes. A forked
//                                run starts where a program started afresh under these
//                                variables would: before the program's own constructors, with
//                                nothing of any other run.
//
// THREADS are numbered in the order they start: 0 is the program's main thread, then 1, 2, ...
// in pthread_create order. OBJECTS (mutexes and semaphores) are numbered 1, 2, ... in the order
// the library first sees them, through an init call or on first use.
//
// THE RULE. One thread runs at a time. Before each visible operation its thread stops; the
// library then picks one of the threads that can go and lets it carry out its pending operation.
// A lock can go when the mutex is free; a wait when the count is above zero; a timed lock or
// wait also when its deadline has come (it then fails with ETIMEDOUT); a sleep when the virtual
// clock has reached its end; a join when the thread has ended; a read of standard input only when
// nothing else can go and no deadline is pending; everything else always. When no
// thread can go, the clock jumps to the earliest pending deadline; when there is none, the run is
// stuck. Where two or more can go, that is a CHOICE, numbered 1, 2, ... from the program's start.
// The plain order (then=first): the thread that was running goes on while it can; else the
// lowest-numbered thread above it that can go, wrapping round. A sleep shorter than the clock's
// tick (1 ms) takes no virtual time: its deadline is the moment it began, a yield. The clock starts
// at 0 when the library starts; the program reads the real clock's value at that moment plus the
// virtual time.
//
// RECORDS, one text line each, fields separated by single spaces, times in virtual nanoseconds
// since the library started, addresses in hex without 0x:
//   hello PID EXEBASE                       the library has started in process PID
//   thread T PARENT ARG                     thread T was created by PARENT with argument ARG
//   object O KIND ADDR OFFSET VALUE         first sight of object O: KIND m (mutex) or s
//                                           (semaphore); OFFSET its address less EXEBASE when it
//                                           lies in the program's own image, else -; VALUE the
//                                           semaphore's initial count, or - for a mutex
//   step N T NS OP OBJ ARG RESULT CAUSE     operation N (1, 2, ...) carried out by thread T at
//                                           time NS; OBJ the object or 0; ARG by OP below;
//                                           RESULT 0 or the error number (ETIMEDOUT, EBUSY,
//                                           EAGAIN); CAUSE the step that let a lock or wait that
//                                           had to wait go on (the unlock or post), else 0
//   choice K N WHY PICK DEFAULT THREADS     choice K, made before step N: WHY go, wake (two or
//                                           more of those who can go wait on one object) or tie
//                                           (deadlines that came together); PICK the thread that
//                                           went, DEFAULT the one the plain order would pick;
//                                           THREADS every live thread as T:OP:OBJ:ARG:G with G 1
//                                           when it can go, else 0
//   ask K N WHY DEFAULT THREADS             (then=ask) as choice, before the pick: the library
//                                           then reads one line "T\n" from the answer descriptor
//   stuck NS                                every live thread waits and no deadline is pending
//   diverged K T                            (strict) the plan's pick T for choice K cannot go
//   exit NS STATUS                          the process ends (exit or _exit)
// OP and ARG:
//   start -            a new thread's first step           create T   made thread T
//   join T             waits for thread T to end            exit -     the thread's body returned
//   lock - / timedlock NS(deadline) / trylock - / unlock -
//   seminit VALUE / wait - / timedwait NS(deadline) / trywait - / post -
//   sleep NS(deadline) one of usleep, nanosleep, clock_nanosleep, sleep
//   print BYTES        one call that wrote BYTES bytes to standard output; the step record of a
//                      print is written after the real call returns, so the bytes are in the
//                      pipe before their record.
//   input -            one call that reads standard input (getc, fgets, read(0), ...): it can go
//                      only when no other thread can and no deadline is pending, so the program
//                      settles before it reads, as it does while a person types
// Records are written in order; the library flushes at each input step (before the real read), ask,
// stuck, diverged and exit, whenever its buffer fills, and once the prints since the last flush
// come to 16 KB, a quarter of a pipe: the companion reads the output as the records tell of it,
// not at each print. After stuck or diverged the library parks every thread for good: the
// companion ends the process.

#include <cstdint>

namespace control {

// The visible operations, in the order of their names in the records (kOpNames).
enum class Op : std::uint8_t {
  kStart,
  kCreate,
  kJoin,
  kExit,
  kLock,
  kTimedLock,
  kTryLock,
  kUnlock,
  kSemInit,
  kWait,
  kTimedWait,
  kTryWait,
  kPost,
  kSleep,
  kPrint,
  kInput,
};
inline constexpr const char* kOpNames[] = {
    "start",   "create", "join",      "exit",    "lock", "timedlock", "trylock", "unlock",
    "seminit", "wait",   "timedwait", "trywait", "post", "sleep",     "print",   "input",
};

constexpr const char* kFdVariable = "BARBERSHOP_CONTROL_FD";
constexpr const char* kAnswerFdVariable = "BARBERSHOP_CONTROL_ANSWER_FD";
constexpr const char* kPlanVariable = "BARBERSHOP_CONTROL_PLAN";
constexpr const char* kForkVariable = "BARBERSHOP_CONTROL_FORK";
constexpr int kForkFds = 5;                    // input, output, errors, records, answers
constexpr unsigned kForkPlanMax = 128 * 1024;  // as long as an environment string may be

}  // namespace control

#endif  // BARBERSHOP_SCHEDULER_PROTOCOL_H_
