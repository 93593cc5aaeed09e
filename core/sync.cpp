// Lock helpers, serialised printing, sleeping and the fatal exits.

#include "core/sync.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "core/shop.h"

timespec deadlineAfter(timespec now, std::uint32_t timeoutMs) {
  timespec deadline = now;
  deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

namespace {

timespec deadlineFromNow(std::uint32_t timeoutMs) {
  timespec now{};
  (void)clock_gettime(CLOCK_REALTIME, &now);
  return deadlineAfter(now, timeoutMs);
}

}  // namespace

int timedLock(pthread_mutex_t* mutex, std::uint32_t timeoutMs) {
  if (timeoutMs == TIMEOUT_INFINITE) return pthread_mutex_lock(mutex);
  timespec deadline = deadlineFromNow(timeoutMs);
  return pthread_mutex_timedlock(mutex, &deadline);
}

int timedWait(sem_t* semaphore, std::uint32_t timeoutMs) {
  if (timeoutMs == TIMEOUT_INFINITE) return sem_wait(semaphore);
  timespec deadline = deadlineFromNow(timeoutMs);
  return sem_timedwait(semaphore, &deadline);
}

void mutexUnlock(pthread_mutex_t* mutex) {
  (void)pthread_mutex_unlock(mutex);
  (void)usleep(1);
}

int semPost(sem_t* semaphore) {
  int rc = sem_post(semaphore);
  (void)usleep(1);
  return rc;
}

int concurrentPrintf(const char* format, ...) {
  (void)sem_wait(&gHCout);
  va_list args;
  va_start(args, format);
  (void)vprintf(format, args);
  va_end(args);
  return semPost(&gHCout);
}

void sleepMillis(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void createThread(pthread_t* thread, void* (*body)(void*), void* argument) {
  int rc = pthread_create(thread, nullptr, body, argument);
  if (rc != 0) {
    fprintf(stderr, "error: pthread_create, rc: %d\n", rc);
    endProcess(1);
  }
}

void fatal(const char* label, int error) {
  errno = error;
  perror(label);
  endProcess(1);
}

void endProcess(int status) {
  (void)fflush(stdout);
  (void)fflush(stderr);
  _exit(status);
}
