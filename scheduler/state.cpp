// The model's tables and the records of first sight (objects); objects live in a fixed array,
// and the live ones are found by a scan of the few the program has at a time.

#include "scheduler/state.h"

#include "scheduler/records.h"

namespace sched {

Thread gThreads[kMaxThreads];
Thread* gLiveThreads[kMaxThreads];
int gLiveCount = 0;
int gNextTid = 0;
std::atomic<std::int64_t> gNow{0};
std::int64_t gSteps = 0;
std::int64_t gChoices = 0;
bool gActive = false;
std::int64_t gRealtimeBase = 0, gMonotonicBase = 0;

namespace {

// One table of the protocol's operation names, in the order of Op.

__thread Thread* tSelf __attribute__((tls_model("initial-exec"))) = nullptr;

// Guarded by the baton.
Object gObjects[kMaxObjects];
Object* gLiveObjects[kMaxObjects];  // the objects not forgotten, in no order
int gObjectCount = 0;
int gLastId = 0;
std::uint64_t gExeBase = 0, gImageBegin = 0, gImageEnd = 0;

Object* find(void* address) {
  for (int i = 0; i < gObjectCount; ++i)
    if (gLiveObjects[i]->address == address) return gLiveObjects[i];
  return nullptr;
}

void writeObject(const Object& o, long value) {
  auto address = reinterpret_cast<std::uint64_t>(o.address);
  recordBegin("object");
  recordNumber(o.id);
  recordText(o.mutex ? "m" : "s");
  recordHex(address);
  if (address >= gImageBegin && address < gImageEnd) {
    recordHex(address - gExeBase);
  } else {
    recordText("-");
  }
  if (o.mutex) {
    recordText("-");
  } else {
    recordNumber(value);
  }
  recordEnd();
}

Object* add(void* address, bool mutex, long value) {
  Object* slot = nullptr;
  for (Object& o : gObjects) {
    if (o.address == nullptr) {
      slot = &o;
      break;
    }
  }
  if (slot == nullptr) return nullptr;
  *slot = Object{};
  slot->address = address;
  slot->id = ++gLastId;
  slot->mutex = mutex;
  slot->count = value;
  gLiveObjects[gObjectCount++] = slot;
  writeObject(*slot, value);
  return slot;
}

}  // namespace

const char* opName(Op op) { return control::kOpNames[static_cast<int>(op)]; }

bool hasDeadline(Op op) { return op == Op::kTimedLock || op == Op::kTimedWait || op == Op::kSleep; }

Thread* self() { return tSelf; }
void setSelf(Thread* thread) { tSelf = thread; }

// Memory may change use without a destroy call: an object of the other kind is a new one.
Object* mutexAt(void* address) {
  Object* o = find(address);
  if (o != nullptr && o->mutex) return o;
  forgetObject(address);
  return add(address, true, 0);
}

Object* semaphoreAt(void* address) {
  Object* o = find(address);
  if (o != nullptr && !o->mutex) return o;
  forgetObject(address);
  int value = 0;
  (void)real().sem_getvalue(static_cast<sem_t*>(address), &value);
  return add(address, false, value);
}

Object* initObject(void* address, bool mutex, long value) {
  forgetObject(address);
  return add(address, mutex, value);
}

void forgetObject(void* address) {
  for (int i = 0; i < gObjectCount; ++i) {
    if (gLiveObjects[i]->address != address) continue;
    gLiveObjects[i]->address = nullptr;
    gLiveObjects[i] = gLiveObjects[--gObjectCount];
    return;
  }
}

bool argShown(Op op, bool pending) {
  if (hasDeadline(op) || op == Op::kJoin || op == Op::kSemInit) return true;
  return !pending && (op == Op::kCreate || op == Op::kPrint);
}

void recordThreads(const bool* can) {
  recordText("");
  bool first = true;
  for (int i = 0; i < gLiveCount; ++i) {
    const Thread& thread = *gLiveThreads[i];
    if (!first) recordAppend(" ");
    first = false;
    recordAppendNumber(thread.tid);
    recordAppend(":");
    recordAppend(opName(thread.pending.op));
    recordAppend(":");
    recordAppendNumber(thread.pending.object != nullptr ? thread.pending.object->id : 0);
    recordAppend(":");
    if (argShown(thread.pending.op, true)) {
      recordAppendNumber(thread.pending.arg);
    } else {
      recordAppend("-");
    }
    recordAppend(can[slotOf(&thread)] ? ":1" : ":0");
  }
}

Thread* newThread() {
  Thread* slot = nullptr;
  for (Thread& t : gThreads) {
    if (!t.used || (!t.live && t.joined)) {
      slot = &t;
      break;
    }
    if (!t.live && (slot == nullptr || t.tid < slot->tid)) slot = &t;  // ended longest ago
  }
  if (slot == nullptr) return nullptr;
  slot->baton.store(0, std::memory_order_relaxed);
  slot->tid = gNextTid++;
  slot->used = true;
  slot->live = true;
  slot->joined = false;
  slot->waited = false;
  slot->pending = Pending{Op::kStart, nullptr, 0};
  slot->priority = 0;
  gLiveThreads[gLiveCount++] = slot;
  return slot;
}

Thread* threadOf(int tid) {
  for (Thread& t : gThreads)
    if (t.used && t.tid == tid) return &t;
  return nullptr;
}

void endThread(Thread* thread) {
  thread->live = false;
  int i = 0;
  while (i < gLiveCount && gLiveThreads[i] != thread) ++i;
  for (; i + 1 < gLiveCount; ++i) gLiveThreads[i] = gLiveThreads[i + 1];
  if (gLiveCount > 0) --gLiveCount;
}

void setExecutableImage(std::uint64_t base, std::uint64_t begin, std::uint64_t end) {
  gExeBase = base;
  gImageBegin = begin;
  gImageEnd = end;
}

}  // namespace sched
