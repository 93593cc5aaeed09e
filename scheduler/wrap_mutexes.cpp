// The mutex wrappers. The model says when a lock can go, so the real call is made only on a free
// mutex (through trylock) and never blocks; a timed lock whose virtual deadline has come while
// the mutex is taken fails with ETIMEDOUT without a real call.

#include <pthread.h>

#include <cerrno>

#include "scheduler/schedule.h"

using sched::Op;

namespace {

// A lock the model has let go: the mutex is free, or (timed) the deadline has come.
int takeLock(pthread_mutex_t* mutex, sched::Object* object, Op op, std::int64_t arg) {
  int rc = ETIMEDOUT;
  if (object->owner < 0) {
    rc = sched::real().pthread_mutex_trylock(mutex);
    if (rc == EBUSY) rc = sched::real().pthread_mutex_lock(mutex);  // held outside the model
    if (rc == 0) object->owner = sched::self()->tid;
  }
  (void)sched::recordStep(op, object, arg, rc, rc == 0 ? sched::causeFor(object) : 0);
  return rc;
}

sched::Object* modelled(pthread_mutex_t* mutex) {
  return sched::controlled() ? sched::mutexAt(mutex) : nullptr;
}

}  // namespace

extern "C" {

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attributes) {
  int rc = sched::real().pthread_mutex_init(mutex, attributes);
  if (rc == 0 && sched::controlled()) (void)sched::initObject(mutex, true, 0);
  return rc;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
  if (sched::controlled()) sched::forgetObject(mutex);
  return sched::real().pthread_mutex_destroy(mutex);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
  sched::Object* object = modelled(mutex);
  if (object == nullptr) return sched::real().pthread_mutex_lock(mutex);
  sched::await(Op::kLock, object, 0);
  return takeLock(mutex, object, Op::kLock, 0);
}

int pthread_mutex_timedlock(pthread_mutex_t* mutex, const struct timespec* deadline) {
  sched::Object* object = modelled(mutex);
  if (object == nullptr) return sched::real().pthread_mutex_timedlock(mutex, deadline);
  std::int64_t at = sched::virtualDeadline(CLOCK_REALTIME, *deadline);
  sched::await(Op::kTimedLock, object, at);
  return takeLock(mutex, object, Op::kTimedLock, at);
}

// The same on another clock (std::timed_mutex on the steady clock comes here).
int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock,
                            const struct timespec* deadline) {
  sched::Object* object = modelled(mutex);
  if (object == nullptr) return sched::real().pthread_mutex_clocklock(mutex, clock, deadline);
  std::int64_t at = sched::virtualDeadline(clock, *deadline);
  sched::await(Op::kTimedLock, object, at);
  return takeLock(mutex, object, Op::kTimedLock, at);
}

int pthread_mutex_trylock(pthread_mutex_t* mutex) {
  sched::Object* object = modelled(mutex);
  if (object == nullptr) return sched::real().pthread_mutex_trylock(mutex);
  sched::await(Op::kTryLock, object, 0);
  int rc = sched::real().pthread_mutex_trylock(mutex);
  if (rc == 0) object->owner = sched::self()->tid;
  (void)sched::recordStep(Op::kTryLock, object, 0, rc, 0);
  return rc;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  sched::Object* object = modelled(mutex);
  if (object == nullptr) return sched::real().pthread_mutex_unlock(mutex);
  sched::await(Op::kUnlock, object, 0);
  int rc = sched::real().pthread_mutex_unlock(mutex);
  if (rc == 0) object->owner = -1;
  std::int64_t n = sched::recordStep(Op::kUnlock, object, 0, rc, 0);
  if (rc == 0) object->released = n;
  return rc;
}

}  // extern "C"
