// The thread wrappers: a new thread starts in a trampoline that parks at its `start` step, and
// ends with its `exit` step; a join waits in the model until the thread has ended.

#include <pthread.h>

#include <cerrno>

#include "scheduler/baton.h"
#include "scheduler/choose.h"
#include "scheduler/records.h"
#include "scheduler/schedule.h"

using sched::Op;

namespace {

void* trampoline(void* entry) {
  auto* thread = static_cast<sched::Thread*>(entry);
  sched::setSelf(thread);
  sched::waitForBaton(thread);
  (void)sched::recordStep(Op::kStart, nullptr, 0, 0, 0);
  void* result = thread->body(thread->arg);
  sched::leave();
  return result;
}

void recordThread(const sched::Thread& thread, int parent) {
  sched::recordBegin("thread");
  sched::recordNumber(thread.tid);
  sched::recordNumber(parent);
  sched::recordHex(reinterpret_cast<std::uint64_t>(thread.arg));
  sched::recordEnd();
}

}  // namespace

extern "C" {

int pthread_create(pthread_t* handle, const pthread_attr_t* attributes, sched::ThreadBody body,
                   void* arg) {
  if (!sched::controlled()) return sched::real().pthread_create(handle, attributes, body, arg);
  sched::await(Op::kCreate, nullptr, 0);
  sched::Thread* thread = sched::newThread();
  if (thread == nullptr) {
    (void)sched::recordStep(Op::kCreate, nullptr, -1, EAGAIN, 0);
    return EAGAIN;
  }
  thread->body = body;
  thread->arg = arg;
  int rc = sched::real().pthread_create(handle, attributes, trampoline, thread);
  if (rc != 0) {
    sched::endThread(thread);
    thread->used = false;
    --sched::gNextTid;
    (void)sched::recordStep(Op::kCreate, nullptr, -1, rc, 0);
    return rc;
  }
  thread->handle = *handle;
  sched::onThreadCreated(thread);
  recordThread(*thread, sched::self()->tid);
  (void)sched::recordStep(Op::kCreate, nullptr, thread->tid, 0, 0);
  return 0;
}

int pthread_join(pthread_t handle, void** result) {
  if (!sched::controlled()) return sched::real().pthread_join(handle, result);
  sched::Thread* joined = nullptr;
  // pthread reuses the handles of threads joined before: the newest thread not yet joined.
  for (sched::Thread& t : sched::gThreads)
    if (t.used && !t.joined && t.tid != 0 && pthread_equal(t.handle, handle) &&
        (joined == nullptr || t.tid > joined->tid))
      joined = &t;
  if (joined == nullptr) return sched::real().pthread_join(handle, result);
  int tid = joined->tid;
  sched::await(Op::kJoin, nullptr, tid);
  // The thread has passed its exit step; the real join waits only for its last instructions.
  int rc = sched::real().pthread_join(handle, result);
  if (sched::threadOf(tid) == joined) joined->joined = true;
  (void)sched::recordStep(Op::kJoin, nullptr, tid, rc, 0);
  return rc;
}

void pthread_exit(void* result) {
  if (sched::controlled()) sched::leave();
  sched::real().pthread_exit(result);
  __builtin_unreachable();
}

}  // extern "C"
