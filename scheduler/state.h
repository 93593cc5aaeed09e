#ifndef BARBERSHOP_SCHEDULER_STATE_H_
#define BARBERSHOP_SCHEDULER_STATE_H_
// The scheduler's model of the program: its threads, its mutexes and semaphores, the virtual
// clock and the step and choice counters. Fixed arrays, no allocation.
// Everything here is guarded by the baton (scheduler/baton.h): only the one thread that holds it
// reads or writes, except Thread::baton itself and gNow, which the clock readers may read.

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "scheduler/protocol.h"
#include "scheduler/real.h"

namespace sched {

using Op = control::Op;

const char* opName(Op op);
bool hasDeadline(Op op);  // a timed lock or wait, or a sleep: ARG is its deadline

constexpr int kMaxThreads = 64;
constexpr int kMaxObjects = 1024;

struct Object {
  void* address = nullptr;
  int id = 0;
  bool mutex = true;
  int owner = -1;             // a mutex's holder, -1 when free
  long count = 0;             // a semaphore's count
  std::int64_t released = 0;  // the last unlock or post, by step number
};

struct Pending {
  Op op = Op::kStart;
  Object* object = nullptr;
  std::int64_t arg = 0;  // the deadline, the thread joined or the count, by op
};

struct Thread {
  std::atomic<int> baton{0};  // 1 when this thread may run (values in scheduler/baton.cpp)
  int tid = 0;
  bool used = false;    // the slot holds a thread, live or ended
  bool live = false;    // created and not yet ended
  bool joined = false;  // ended and joined: its slot may take a new thread
  bool waited = false;  // its pending lock or wait found the object taken at some choice
  Pending pending;
  pthread_t handle{};
  ThreadBody body = nullptr;
  void* arg = nullptr;
  std::uint64_t priority = 0;  // for then=pct
};

// Threads by slot. A slot is reused once its thread has ended and been joined (or only ended,
// when the slots run short), so a program may make any number of threads, 64 at a time.
extern Thread gThreads[kMaxThreads];
extern Thread* gLiveThreads[kMaxThreads];  // the live ones, in the order of their numbers
extern int gLiveCount;
extern int gNextTid;  // the number the next thread gets

inline int slotOf(const Thread* thread) { return static_cast<int>(thread - gThreads); }

// A slot for a new thread, numbered and live; null when 64 threads are live.
Thread* newThread();
// The thread numbered TID while its slot still holds it, else null.
Thread* threadOf(int tid);
// Takes THREAD off the live ones.
void endThread(Thread* thread);

extern std::atomic<std::int64_t> gNow;              // virtual nanoseconds since the library started
extern std::int64_t gSteps;                         // steps carried out
extern std::int64_t gChoices;                       // choices made
extern bool gActive;                                // a controlled run is going on
extern std::int64_t gRealtimeBase, gMonotonicBase;  // the real clocks at start, in ns

// The calling thread's entry, or null for a thread the library does not control.
Thread* self();
void setSelf(Thread* thread);

// True when the caller is a controlled thread of an active run: its wrappers then schedule.
inline bool controlled() { return gActive && self() != nullptr; }

// The object at ADDRESS, registered (with its record) on first sight.
Object* mutexAt(void* address);
Object* semaphoreAt(void* address);
// A fresh object for an init call (an old one at the same address is forgotten).
Object* initObject(void* address, bool mutex, long value);
void forgetObject(void* address);

// Appends the THREADS field of a choice or ask record: every live thread's pending step and
// whether it can go (CAN, by slot).
void recordThreads(const bool* can);

// Whether a step's ARG is shown (else "-"); PENDING for a step not yet carried out.
bool argShown(Op op, bool pending);

void setExecutableImage(std::uint64_t base, std::uint64_t begin, std::uint64_t end);

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_STATE_H_
