#ifndef BARBERSHOP_CORE_SYNC_H_
#define BARBERSHOP_CORE_SYNC_H_
// The one place that calls the POSIX thread, mutex and semaphore functions: set-up, locking,
// waiting, releasing, thread start and join, serialised printing and the process's end.
// All functions are thread-safe; concurrentPrintf takes the console lock gHCout for one write.

#include <pthread.h>
#include <semaphore.h>
#include <time.h>

#include <cstddef>
#include <cstdint>

// Set-up. A lock or semaphore that cannot be initialised ends the process with status 1, the
// mutex under the label "mutex initilization", the semaphore under `label`.
void initMutex(pthread_mutex_t* mutex);
void initSemaphore(sem_t* semaphore, unsigned value, const char* label);
void destroySemaphore(sem_t* semaphore);  // result ignored
// Threads started from now on reserve `bytes` of stack, when the system allows it.
void setDefaultStackSize(std::size_t bytes);

// Locks `mutex`, giving up after `timeoutMs` milliseconds unless it is TIMEOUT_INFINITE.
// Returns 0 when held, ETIMEDOUT when the deadline passed, otherwise the lock's error number.
int timedLock(pthread_mutex_t* mutex, std::uint32_t timeoutMs);
// The semaphore twin of timedLock: 0 on success, -1 with the error in errno.
int timedWait(sem_t* semaphore, std::uint32_t timeoutMs);
// The absolute deadline `timeoutMs` milliseconds after `now`, seconds carried out of nanoseconds.
timespec deadlineAfter(timespec now, std::uint32_t timeoutMs);

// timedLock for the locks the shop cannot go on without: true when held, false when the
// deadline passed; any other failure ends the process under the label "mutex waiting".
bool lockOrEnd(pthread_mutex_t* mutex, std::uint32_t timeoutMs);
// Waits on `semaphore` without limit, again when a signal interrupts the wait; any other
// failure ends the process under the label "semaphore waiting".
void waitOrEnd(sem_t* semaphore);

// Unlocks, then sleeps 1 microsecond so that a waiting thread gets its turn.
void mutexUnlock(pthread_mutex_t* mutex);
// Posts, then sleeps 1 microsecond; returns the result of the post.
int semPost(sem_t* semaphore);
// Waits and posts whose results are ignored, without the microsecond's sleep.
void plainWait(sem_t* semaphore);
void plainPost(sem_t* semaphore);

// Holds a mutex for the guard's scope: a plain lock and unlock, results ignored, no sleep.
class MutexGuard {
 public:
  explicit MutexGuard(pthread_mutex_t* mutex);
  ~MutexGuard();
  MutexGuard(const MutexGuard&) = delete;
  MutexGuard& operator=(const MutexGuard&) = delete;

 private:
  pthread_mutex_t* fMutex;
};

// Holds a semaphore used as a lock for the guard's scope: plainWait, then plainPost.
class SemaphoreGuard {
 public:
  explicit SemaphoreGuard(sem_t* semaphore);
  ~SemaphoreGuard();
  SemaphoreGuard(const SemaphoreGuard&) = delete;
  SemaphoreGuard& operator=(const SemaphoreGuard&) = delete;

 private:
  sem_t* fSemaphore;
};

// printf under the console lock; returns the result of releasing the lock.
int concurrentPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sleeps `ms` milliseconds; nothing for zero or less, the whole length however long.
void sleepMillis(int ms);

// Starts a thread with default attributes. On failure prints "error: pthread_create, rc: %d"
// to standard error and ends the process with status 1.
void createThread(pthread_t* thread, void* (*body)(void*), void* argument);
// Waits for `thread` to end; the result is ignored.
void joinThread(pthread_t thread);

// Prints `label`, ": " and the system's text for `error` to standard error, then ends the
// process with status 1. Mutex calls pass the code they return, semaphore calls pass errno.
[[noreturn]] void fatal(const char* label, int error);

// Ends the process with `status` after flushing the standard streams. Other threads may still
// be using the shop's lists, so no static object is destroyed on the way out. When a write to
// standard output has failed, says so on standard error and ends with status 1 instead of 0.
[[noreturn]] void endProcess(int status);

#endif  // BARBERSHOP_CORE_SYNC_H_
