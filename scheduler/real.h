#ifndef BARBERSHOP_SCHEDULER_REAL_H_
#define BARBERSHOP_SCHEDULER_REAL_H_
// The real functions behind every wrapper, found once with dlsym(RTLD_NEXT) under their public
// names. The library never calls a function it wraps except through these pointers.
// Written once by the first caller of resolveReal (before the program's threads exist); read-only
// afterwards.

#include <pthread.h>
#include <semaphore.h>
#include <stdio.h>
#include <sys/time.h>
#include <time.h>

#include <cstdarg>

namespace sched {

using ThreadBody = void* (*)(void*);
using MainFunction = int (*)(int, char**, char**);

struct RealFunctions {
  int (*pthread_create)(pthread_t*, const pthread_attr_t*, ThreadBody, void*);
  int (*pthread_join)(pthread_t, void**);
  void (*pthread_exit)(void*);
  int (*pthread_mutex_init)(pthread_mutex_t*, const pthread_mutexattr_t*);
  int (*pthread_mutex_destroy)(pthread_mutex_t*);
  int (*pthread_mutex_lock)(pthread_mutex_t*);
  int (*pthread_mutex_trylock)(pthread_mutex_t*);
  int (*pthread_mutex_timedlock)(pthread_mutex_t*, const struct timespec*);
  int (*pthread_mutex_clocklock)(pthread_mutex_t*, clockid_t, const struct timespec*);
  int (*pthread_mutex_unlock)(pthread_mutex_t*);
  int (*sem_init)(sem_t*, int, unsigned);
  int (*sem_destroy)(sem_t*);
  int (*sem_wait)(sem_t*);
  int (*sem_trywait)(sem_t*);
  int (*sem_timedwait)(sem_t*, const struct timespec*);
  int (*sem_clockwait)(sem_t*, clockid_t, const struct timespec*);
  int (*sem_post)(sem_t*);
  int (*sem_getvalue)(sem_t*, int*);
  int (*usleep)(useconds_t);
  int (*nanosleep)(const struct timespec*, struct timespec*);
  int (*clock_nanosleep)(clockid_t, int, const struct timespec*, struct timespec*);
  unsigned (*sleep)(unsigned);
  int (*clock_gettime)(clockid_t, struct timespec*);
  int (*gettimeofday)(struct timeval*, void*);
  time_t (*time)(time_t*);
  int (*vfprintf)(FILE*, const char*, va_list);
  int (*vfprintf_chk)(FILE*, int, const char*, va_list);  // _FORTIFY_SOURCE's printf family
  size_t (*fwrite)(const void*, size_t, size_t, FILE*);
  int (*fputs)(const char*, FILE*);
  int (*puts)(const char*);
  int (*fputc)(int, FILE*);
  int (*putc)(int, FILE*);
  int (*putchar)(int);
  int (*fflush)(FILE*);
  ssize_t (*write)(int, const void*, size_t);
  int (*getc)(FILE*);
  int (*fgetc)(FILE*);
  int (*getchar)();
  char* (*fgets)(char*, int, FILE*);
  ssize_t (*getdelim)(char**, size_t*, int, FILE*);
  size_t (*fread)(void*, size_t, size_t, FILE*);
  ssize_t (*read)(int, void*, size_t);
  void (*exit)(int);
  void (*_exit)(int);
  void (*_Exit)(int);
  int (*libc_start_main)(MainFunction, int, char**, void (*)(), void (*)(), void (*)(), void*);
};

extern RealFunctions gReal;

// Fills gReal on the first call; a call made from inside dlsym (which may allocate) returns at
// once, leaving the pointers of that moment.
void resolveReal();

// The real pointers, resolved if need be; every wrapper starts here.
inline const RealFunctions& real() {
  if (gReal.libc_start_main == nullptr) resolveReal();
  return gReal;
}

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_REAL_H_
