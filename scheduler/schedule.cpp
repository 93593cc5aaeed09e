// The rule: who can go, the clock's jumps to the next deadline, the plain order, the choice
// records and the baton's hand-over.

#include "scheduler/schedule.h"

#include "scheduler/baton.h"
#include "scheduler/choose.h"
#include "scheduler/records.h"

namespace sched {

namespace {

bool waitsOnObject(Op op) {
  return op == Op::kLock || op == Op::kTimedLock || op == Op::kWait || op == Op::kTimedWait;
}

bool available(const Object* o) { return o->mutex ? o->owner < 0 : o->count > 0; }

bool canGo(const Thread& t) {
  const Pending& p = t.pending;
  std::int64_t now = gNow.load(std::memory_order_relaxed);
  switch (p.op) {
    case Op::kLock:
    case Op::kWait:
      return available(p.object);
    case Op::kTimedLock:
    case Op::kTimedWait:
      return available(p.object) || now >= p.arg;
    case Op::kSleep:
      return now >= p.arg;
    case Op::kInput:
      return false;  // only once the rest has settled: see settledReaders
    case Op::kJoin:
      return threadOf(static_cast<int>(p.arg)) == nullptr ||
             !threadOf(static_cast<int>(p.arg))->live;
    default:
      return true;
  }
}

// Fills CAN (by slot); returns how many can go.
int whoCanGo(bool* can) {
  int count = 0;
  for (int t = 0; t < kMaxThreads; ++t) can[t] = false;
  for (int i = 0; i < gLiveCount; ++i) {
    Thread& thread = *gLiveThreads[i];
    bool go = canGo(thread);
    can[slotOf(&thread)] = go;
    if (!go && waitsOnObject(thread.pending.op)) thread.waited = true;
    count += go ? 1 : 0;
  }
  return count;
}

// The earliest deadline still ahead, or -1.
std::int64_t nextDeadline() {
  std::int64_t earliest = -1;
  for (int i = 0; i < gLiveCount; ++i) {
    const Thread& thread = *gLiveThreads[i];
    if (!hasDeadline(thread.pending.op)) continue;
    if (earliest < 0 || thread.pending.arg < earliest) earliest = thread.pending.arg;
  }
  return earliest;
}

// Marks in CAN the threads about to read standard input; returns how many. A read goes only when
// no other thread can go and no deadline is pending: the shop settles while the person types, as
// it does in real time, where a person is slower than any step.
int settledReaders(bool* can) {
  int count = 0;
  for (int i = 0; i < gLiveCount; ++i) {
    Thread& thread = *gLiveThreads[i];
    if (thread.pending.op != Op::kInput) continue;
    can[slotOf(&thread)] = true;
    ++count;
  }
  return count;
}

// The plain order's pick, by slot: RUNNING while it can go, else the next number above it that
// can, wrapping round.
int plainOrder(const Thread* running, const bool* can) {
  if (running->live && can[slotOf(running)]) return slotOf(running);
  int first = -1;
  for (int i = 0; i < gLiveCount; ++i) {
    const Thread* t = gLiveThreads[i];
    if (!can[slotOf(t)]) continue;
    if (t->tid > running->tid) return slotOf(t);
    if (first < 0) first = slotOf(t);
  }
  return first;
}

const char* whyOf(bool jumped, const bool* can) {
  if (jumped) return "tie";
  for (int a = 0; a < kMaxThreads; ++a) {
    if (!can[a] || !waitsOnObject(gThreads[a].pending.op)) continue;
    for (int b = a + 1; b < kMaxThreads; ++b)
      if (can[b] && waitsOnObject(gThreads[b].pending.op) &&
          gThreads[b].pending.object == gThreads[a].pending.object)
        return "wake";
  }
  return "go";
}

void recordChoice(std::int64_t k, const char* why, int pick, int plain, const bool* can) {
  recordBegin("choice");
  recordNumber(k);
  recordNumber(gSteps + 1);
  recordText(why);
  recordNumber(gThreads[pick].tid);
  recordNumber(gThreads[plain].tid);
  recordThreads(can);
  recordEnd();
}

// Who carries out the next step; RUNNING is the thread that ran last.
Thread* decide(Thread* running) {
  beforeDecision(running, gSteps + 1);
  bool jumped = false;
  bool can[kMaxThreads];
  for (;;) {
    int count = whoCanGo(can);
    if (count == 0) {
      std::int64_t deadline = nextDeadline();
      if (deadline < 0) {
        count = settledReaders(can);
        if (count == 0) stuck();
      } else {
        gNow.store(deadline, std::memory_order_relaxed);
        jumped = true;
        continue;
      }
    }
    int plain = plainOrder(running, can);
    if (count == 1) return &gThreads[plain];
    std::int64_t k = ++gChoices;
    const char* why = whyOf(jumped, can);
    int pick = choose(k, gSteps + 1, why, plain, can);
    recordChoice(k, why, pick, plain, can);
    return &gThreads[pick];
  }
}

}  // namespace

void await(Op op, Object* object, std::int64_t arg) {
  Thread* me = self();
  me->pending = Pending{op, object, arg};
  me->waited = false;
  Thread* next = decide(me);
  if (next != me) handOver(me, next);
}

std::int64_t recordStep(Op op, Object* object, std::int64_t arg, int result, std::int64_t cause) {
  std::int64_t n = ++gSteps;
  recordBegin("step");
  recordNumber(n);
  recordNumber(self()->tid);
  recordNumber(gNow.load(std::memory_order_relaxed));
  recordText(opName(op));
  recordNumber(object != nullptr ? object->id : 0);
  if (argShown(op, false)) {
    recordNumber(arg);
  } else {
    recordText("-");
  }
  recordNumber(result);
  recordNumber(cause);
  recordEnd();
  return n;
}

void leave() {
  Thread* me = self();
  await(Op::kExit, nullptr, 0);
  (void)recordStep(Op::kExit, nullptr, 0, 0, 0);
  endThread(me);
  setSelf(nullptr);
  if (gLiveCount > 0) giveBaton(decide(me));
}

std::int64_t causeFor(const Object* object) { return self()->waited ? object->released : 0; }

std::int64_t virtualDeadline(clockid_t clock, const struct timespec& at) {
  std::int64_t base = clock == CLOCK_REALTIME ? gRealtimeBase : gMonotonicBase;
  return static_cast<std::int64_t>(at.tv_sec) * 1000000000 + at.tv_nsec - base;
}

void stuck() {
  recordBegin("stuck");
  recordNumber(gNow.load(std::memory_order_relaxed));
  recordEnd();
  recordsFlush();
  parkForever();
}

}  // namespace sched
