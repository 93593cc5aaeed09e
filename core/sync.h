#ifndef BARBERSHOP_CORE_SYNC_H_
#define BARBERSHOP_CORE_SYNC_H_
// Lock helpers, serialised printing, sleeping and the fatal exits shared by every thread.
// All functions are thread-safe; concurrentPrintf takes the console lock gHCout for one write.

#include <pthread.h>
#include <semaphore.h>
#include <time.h>

#include <cstdint>

// Locks `mutex`, giving up after `timeoutMs` milliseconds unless it is TIMEOUT_INFINITE.
// Returns 0 when held, ETIMEDOUT when the deadline passed, otherwise the lock's error number.
int timedLock(pthread_mutex_t* mutex, std::uint32_t timeoutMs);
// The semaphore twin of timedLock: 0 on success, -1 with the error in errno.
int timedWait(sem_t* semaphore, std::uint32_t timeoutMs);
// The absolute deadline `timeoutMs` milliseconds after `now`, seconds carried out of nanoseconds.
timespec deadlineAfter(timespec now, std::uint32_t timeoutMs);

// Unlocks, then sleeps 1 microsecond so that a waiting thread gets its turn.
void mutexUnlock(pthread_mutex_t* mutex);
// Posts, then sleeps 1 microsecond; returns the result of the post.
int semPost(sem_t* semaphore);

// printf under the console lock; returns the result of releasing the lock.
int concurrentPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sleeps `ms` milliseconds; nothing for zero or less, the whole length however long.
void sleepMillis(int ms);

// Starts a thread with default attributes. On failure prints "error: pthread_create, rc: %d"
// to standard error and ends the process with status 1.
void createThread(pthread_t* thread, void* (*body)(void*), void* argument);

// Prints `label`, ": " and the system's text for `error` to standard error, then ends the
// process with status 1. Mutex calls pass the code they return, semaphore calls pass errno.
[[noreturn]] void fatal(const char* label, int error);

// Ends the process with `status` after flushing the standard streams. Other threads may still
// be using the shop's lists, so no static object is destroyed on the way out.
[[noreturn]] void endProcess(int status);

#endif  // BARBERSHOP_CORE_SYNC_H_
