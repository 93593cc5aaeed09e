// Makes one call of a threading primitive fail, for the fault tests; loaded with LD_PRELOAD.
// BARBERSHOP_FAIL=NAME[@OBJECT]:COUNT:ERROR[+] makes the COUNTth call of NAME return the error
// number ERROR instead of being made (after being made, with "+"). With @OBJECT, only calls on
// one object count: the OBJECTth mutex or semaphore set up, pthread_mutex_init and sem_init
// counted together.
// An injected failure is announced on standard error, so a test sees that it happened.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <semaphore.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char gName[32], gMade;
static long gObject, gCount, gError, gCalls, gSetUps;
static void* gKey;

__attribute__((constructor)) static void readTarget(void) {
  const char* target = getenv("BARBERSHOP_FAIL");
  if (target &&
      sscanf(target, "%31[^@:]@%ld:%ld:%ld%c", gName, &gObject, &gCount, &gError, &gMade) < 4)
    sscanf(target, "%31[^:]:%ld:%ld%c", gName, &gCount, &gError, &gMade);
}

static void* setUp(void* object) {
  if (__atomic_add_fetch(&gSetUps, 1, __ATOMIC_SEQ_CST) == gObject)
    __atomic_store_n(&gKey, object, __ATOMIC_SEQ_CST);
  return NULL;  // init calls themselves are told apart by their count alone
}

static int fails(const char* name, void* object) {
  if (strcmp(name, gName) != 0 || (gObject && object != __atomic_load_n(&gKey, __ATOMIC_SEQ_CST)))
    return 0;
  if (__atomic_add_fetch(&gCalls, 1, __ATOMIC_SEQ_CST) != gCount) return 0;
  fprintf(stderr, "inject: %s\n", getenv("BARBERSHOP_FAIL"));
  return 1;
}

// Defines NAME(PARAMS) over the next definition of NAME; FAILED is what a failed call returns:
// the error for thread and mutex calls, -1 with the error in errno for semaphore calls.
#define WRAP(name, object, failed, params, ...)                 \
  int name params {                                             \
    static __typeof__(&name) real;                              \
    if (real == NULL) *(void**)&real = dlsym(RTLD_NEXT, #name); \
    if (!fails(#name, object)) return real(__VA_ARGS__);        \
    if (gMade == '+') (void)real(__VA_ARGS__);                  \
    return failed;                                              \
  }
#define PTHREAD (int)gError
#define SEMAPHORE (errno = (int)gError, -1)

// clang-format off
WRAP(pthread_create, NULL, PTHREAD,
     (pthread_t* t, const pthread_attr_t* a, void* (*f)(void*), void* p), t, a, f, p)
WRAP(pthread_join, NULL, PTHREAD, (pthread_t t, void** result), t, result)
WRAP(pthread_mutex_init, setUp(m), PTHREAD,
     (pthread_mutex_t* m, const pthread_mutexattr_t* a), m, a)
WRAP(pthread_mutex_lock, m, PTHREAD, (pthread_mutex_t* m), m)
WRAP(pthread_mutex_unlock, m, PTHREAD, (pthread_mutex_t* m), m)
WRAP(sem_init, setUp(s), SEMAPHORE, (sem_t* s, int shared, unsigned value), s, shared, value)
WRAP(sem_wait, s, SEMAPHORE, (sem_t* s), s)
WRAP(sem_post, s, SEMAPHORE, (sem_t* s), s)
// clang-format on
