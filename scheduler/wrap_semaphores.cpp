// The semaphore wrappers. The model keeps each count: a wait is let go only on a positive count,
// so the real call is a trywait that never blocks; a timed wait whose virtual deadline has come
// on a zero count fails with ETIMEDOUT without a real call.

#include <semaphore.h>

#include <cerrno>

#include "scheduler/schedule.h"

using sched::Op;

namespace {

sched::Object* modelled(sem_t* semaphore) {
  return sched::controlled() ? sched::semaphoreAt(semaphore) : nullptr;
}

// A wait the model has let go: the count is positive, or (timed) the deadline has come.
int takeCount(sem_t* semaphore, sched::Object* object, Op op, std::int64_t arg) {
  int error = ETIMEDOUT;
  if (object->count > 0) {
    error = sched::real().sem_trywait(semaphore) == 0 ? 0 : errno;
    if (error == EAGAIN) {  // posted outside the model's sight: wait for it for real
      error = sched::real().sem_wait(semaphore) == 0 ? 0 : errno;
    }
    if (error == 0) --object->count;
  }
  (void)sched::recordStep(op, object, arg, error, error == 0 ? sched::causeFor(object) : 0);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

}  // namespace

extern "C" {

int sem_init(sem_t* semaphore, int shared, unsigned value) {
  if (!sched::controlled()) return sched::real().sem_init(semaphore, shared, value);
  sched::Object* object = sched::initObject(semaphore, false, value);
  if (object == nullptr) return sched::real().sem_init(semaphore, shared, value);
  sched::await(Op::kSemInit, object, value);
  int rc = sched::real().sem_init(semaphore, shared, value);
  int error = rc == 0 ? 0 : errno;
  (void)sched::recordStep(Op::kSemInit, object, value, error, 0);
  if (rc != 0) errno = error;
  return rc;
}

int sem_destroy(sem_t* semaphore) {
  if (sched::controlled()) sched::forgetObject(semaphore);
  return sched::real().sem_destroy(semaphore);
}

int sem_wait(sem_t* semaphore) {
  sched::Object* object = modelled(semaphore);
  if (object == nullptr) return sched::real().sem_wait(semaphore);
  sched::await(Op::kWait, object, 0);
  return takeCount(semaphore, object, Op::kWait, 0);
}

int sem_timedwait(sem_t* semaphore, const struct timespec* deadline) {
  sched::Object* object = modelled(semaphore);
  if (object == nullptr) return sched::real().sem_timedwait(semaphore, deadline);
  std::int64_t at = sched::virtualDeadline(CLOCK_REALTIME, *deadline);
  sched::await(Op::kTimedWait, object, at);
  return takeCount(semaphore, object, Op::kTimedWait, at);
}

// The same on another clock.
int sem_clockwait(sem_t* semaphore, clockid_t clock, const struct timespec* deadline) {
  sched::Object* object = modelled(semaphore);
  if (object == nullptr) return sched::real().sem_clockwait(semaphore, clock, deadline);
  std::int64_t at = sched::virtualDeadline(clock, *deadline);
  sched::await(Op::kTimedWait, object, at);
  return takeCount(semaphore, object, Op::kTimedWait, at);
}

int sem_trywait(sem_t* semaphore) {
  sched::Object* object = modelled(semaphore);
  if (object == nullptr) return sched::real().sem_trywait(semaphore);
  sched::await(Op::kTryWait, object, 0);
  int rc = sched::real().sem_trywait(semaphore);
  int error = rc == 0 ? 0 : errno;
  if (rc == 0) --object->count;
  (void)sched::recordStep(Op::kTryWait, object, 0, error, 0);
  if (rc != 0) errno = error;
  return rc;
}

int sem_post(sem_t* semaphore) {
  sched::Object* object = modelled(semaphore);
  if (object == nullptr) return sched::real().sem_post(semaphore);
  sched::await(Op::kPost, object, 0);
  int rc = sched::real().sem_post(semaphore);
  int error = rc == 0 ? 0 : errno;
  if (rc == 0) ++object->count;
  std::int64_t n = sched::recordStep(Op::kPost, object, 0, error, 0);
  if (rc == 0) object->released = n;
  if (rc != 0) errno = error;
  return rc;
}

}  // extern "C"
