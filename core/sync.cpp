// The POSIX primitives behind the shop's locks, semaphores and threads, serialised printing,
// sleeping and the process's end.

#include "core/sync.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "core/shop.h"

// An AddressSanitizer build checks for leaks before the process ends (see endProcess).
#if defined(__SANITIZE_ADDRESS__)
#define BARBERSHOP_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BARBERSHOP_LEAK_CHECK 1
#endif
#endif
#ifdef BARBERSHOP_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

void initMutex(pthread_mutex_t* mutex) {
  int rc = pthread_mutex_init(mutex, nullptr);
  if (rc != 0) fatal("mutex initilization", rc);
}

void initSemaphore(sem_t* semaphore, unsigned value, const char* label) {
  if (sem_init(semaphore, 0, value) != 0) fatal(label, errno);
}

void destroySemaphore(sem_t* semaphore) { (void)sem_destroy(semaphore); }

void setDefaultStackSize(std::size_t bytes) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return;
  (void)pthread_attr_setstacksize(&attributes, bytes);
  (void)pthread_setattr_default_np(&attributes);
  (void)pthread_attr_destroy(&attributes);
}

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

bool lockOrEnd(pthread_mutex_t* mutex, std::uint32_t timeoutMs) {
  int rc = timedLock(mutex, timeoutMs);
  if (rc != 0 && rc != ETIMEDOUT) fatal("mutex waiting", rc);
  return rc == 0;
}

void waitOrEnd(sem_t* semaphore) {
  while (sem_wait(semaphore) != 0) {
    if (errno != EINTR) fatal("semaphore waiting", errno);
  }
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

void plainWait(sem_t* semaphore) { (void)sem_wait(semaphore); }

void plainPost(sem_t* semaphore) { (void)sem_post(semaphore); }

MutexGuard::MutexGuard(pthread_mutex_t* mutex) : fMutex(mutex) { (void)pthread_mutex_lock(fMutex); }

MutexGuard::~MutexGuard() { (void)pthread_mutex_unlock(fMutex); }

SemaphoreGuard::SemaphoreGuard(sem_t* semaphore) : fSemaphore(semaphore) { plainWait(fSemaphore); }

SemaphoreGuard::~SemaphoreGuard() { plainPost(fSemaphore); }

int concurrentPrintf(const char* format, ...) {
  plainWait(&gHCout);
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

void joinThread(pthread_t thread) { (void)pthread_join(thread, nullptr); }

void fatal(const char* label, int error) {
  errno = error;
  perror(label);
  endProcess(1);
}

void endProcess(int status) {
  // Standard output is unbuffered, so a failed write (a full disk) has already set the error
  // flag; a closed pipe never gets here, since SIGPIPE ends the process first.
  if ((fflush(stdout) != 0 || ferror(stdout)) && status == 0) {
    fputs("error: cannot write to standard output\n", stderr);
    status = 1;
  }
  (void)fflush(stderr);
#ifdef BARBERSHOP_LEAK_CHECK
  // _exit skips the leak check that LeakSanitizer makes at a normal exit. Customers still on
  // the roster are reachable from it; one that was dropped without being deleted is reported
  // here, and the report ends the process with a failing status.
  __lsan_do_leak_check();
#endif
  _exit(status);
}
