// Makes one call of a threading primitive fail, for the fault tests; loaded with LD_PRELOAD.
// BARBERSHOP_FAIL=NAME[@OBJECT]:COUNT:ERROR[+] makes the COUNTth call of NAME return the error
// number ERROR instead of being made (after being made, with "+"). With @OBJECT only calls on
// one object count: 0xOFFSET names an object of the program by its offset from the program's
// load address (what `nm` shows for a shop global, or for a thread body in pthread_create and
// pthread_join), and "customer" names any object outside the program, i.e. on the heap.
// An injected failure is announced on standard error, so a test sees that it happened.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <pthread.h>
#include <semaphore.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char gName[32], gObject[32], gMade;
static long gCount, gError, gCalls;
static void* gTarget;  // the object named by its offset, once the program's address is known

static int findProgram(struct dl_phdr_info* info, size_t size, void* offset) {
  (void)size;
  gTarget = (char*)info->dlpi_addr + (uintptr_t)offset;
  return 1;  // the program itself comes first
}

__attribute__((constructor)) static void readTarget(void) {
  const char* target = getenv("BARBERSHOP_FAIL");
  if (!target) return;
  if (sscanf(target, "%31[^@:]@%31[^:]:%ld:%ld%c", gName, gObject, &gCount, &gError, &gMade) < 4)
    sscanf(target, "%31[^:]:%ld:%ld%c", gName, &gCount, &gError, &gMade);
  if (strncmp(gObject, "0x", 2) == 0)
    dl_iterate_phdr(findProgram, (void*)(uintptr_t)strtoull(gObject, NULL, 16));
}

static int named(void* object) {
  Dl_info info;
  if (gObject[0] == '\0') return 1;
  if (strcmp(gObject, "customer") == 0) return dladdr(object, &info) == 0;
  return object == gTarget;
}

static int fails(const char* name, void* object) {
  if (strcmp(name, gName) != 0 || !named(object)) return 0;
  if (__atomic_add_fetch(&gCalls, 1, __ATOMIC_SEQ_CST) != gCount) return 0;
  fprintf(stderr, "inject: %s\n", getenv("BARBERSHOP_FAIL"));
  return 1;
}

// Thread bodies by thread, so that a join is named by the body of the thread it waits for.
static struct {
  pthread_t thread;
  void* body;
} gThreads[1024];
static int gThreadCount;

static void* address(void* (*body)(void*)) {
  void* object;
  memcpy(&object, &body, sizeof object);
  return object;
}

static void* bodyOf(pthread_t thread) {
  int count = __atomic_load_n(&gThreadCount, __ATOMIC_SEQ_CST);
  for (int i = 0; i < count && i < 1024; ++i)
    if (pthread_equal(gThreads[i].thread, thread)) return gThreads[i].body;
  return NULL;
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

// Not through WRAP: a thread that starts is recorded with its body.
int pthread_create(pthread_t* t, const pthread_attr_t* a, void* (*f)(void*), void* p) {
  static __typeof__(&pthread_create) real;
  if (real == NULL) *(void**)&real = dlsym(RTLD_NEXT, "pthread_create");
  if (fails("pthread_create", address(f))) return (int)gError;
  int rc = real(t, a, f, p);
  int slot = __atomic_fetch_add(&gThreadCount, 1, __ATOMIC_SEQ_CST);
  if (rc == 0 && slot < 1024) {
    gThreads[slot].thread = *t;
    gThreads[slot].body = address(f);
  }
  return rc;
}

// clang-format off
WRAP(pthread_join, bodyOf(t), PTHREAD, (pthread_t t, void** result), t, result)
WRAP(pthread_mutex_init, m, PTHREAD, (pthread_mutex_t* m, const pthread_mutexattr_t* a), m, a)
WRAP(pthread_mutex_lock, m, PTHREAD, (pthread_mutex_t* m), m)
WRAP(pthread_mutex_unlock, m, PTHREAD, (pthread_mutex_t* m), m)
WRAP(sem_init, s, SEMAPHORE, (sem_t* s, int shared, unsigned value), s, shared, value)
WRAP(sem_wait, s, SEMAPHORE, (sem_t* s), s)
WRAP(sem_post, s, SEMAPHORE, (sem_t* s), s)
// clang-format on
