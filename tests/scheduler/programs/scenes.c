// Small scenes for the scheduler's tests, one per argument: two threads and a mutex, two waiters
// on one semaphore, two sleeps that tie, a timed wait that times out, tries and a timed lock on a
// lock held elsewhere, a hundred threads one after another, and two threads that wait on each
// other. Each thread announces itself on standard output, unbuffered as the shop's is, except in
// the buffered scene, where stdio writes only at the end.
#include <errno.h>
#include <pthread.h>
#include <semaphore.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;  // never passes through an init call
static sem_t gFirst, gSecond;

static void* locker(void* name) {
  pthread_mutex_lock(&gLock);
  printf("%s holds the lock\n", (const char*)name);
  pthread_mutex_unlock(&gLock);
  return NULL;
}

static void* waiter(void* name) {
  sem_wait(&gFirst);
  printf("%s woke\n", (const char*)name);
  return NULL;
}

static void* sleeper(void* name) {
  usleep(5000);
  fputs(name, stdout);
  fputc('\n', stdout);
  return NULL;
}

// Pauses a microsecond, which takes no virtual time, then sleeps a millisecond and a half.
static void* napper(void* unused) {
  (void)unused;
  usleep(1);
  usleep(1500);
  puts("late");
  return NULL;
}

// Reads a character while a napper sleeps: the read waits until the napper has printed.
static void settle(void) {
  pthread_t thread;
  pthread_create(&thread, NULL, napper, NULL);
  int c = getc(stdin);
  printf("read %c\n", c);
  pthread_join(thread, NULL);
}

// Waits for the one semaphore, then posts the other: with both at zero, neither ever goes.
static void* crossed(void* first) {
  sem_t* mine = first ? &gFirst : &gSecond;
  sem_wait(mine);
  sem_post(mine == &gFirst ? &gSecond : &gFirst);
  return NULL;
}

// Holds the lock across a long sleep.
static void* holder(void* unused) {
  (void)unused;
  pthread_mutex_lock(&gLock);
  sleep(10);
  pthread_mutex_unlock(&gLock);
  return NULL;
}

static long long nanoseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Tries and a timed lock against a lock held by a sleeping thread.
static void tries(void) {
  pthread_t thread;
  pthread_create(&thread, NULL, holder, NULL);
  usleep(1000);  // the holder has the lock by now
  printf("trylock %d, trywait %d\n", pthread_mutex_trylock(&gLock), sem_trywait(&gFirst));
  long long before = nanoseconds();
  struct timespec deadline = {(time_t)((before + 1000000000LL) / 1000000000LL),
                              (long)(before % 1000000000LL)};
  int rc = pthread_mutex_timedlock(&gLock, &deadline);
  printf("timedlock %d after %lld ns\n", rc, nanoseconds() - before);
  pthread_join(thread, NULL);
}

// More threads than the scheduler keeps at a time, one after another.
static void many(void) {
  for (int i = 0; i < 100; ++i) {
    pthread_t thread;
    pthread_create(&thread, NULL, locker, "another");
    pthread_join(thread, NULL);
  }
}

static void timedWait(void) {
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += 60;
  int rc = sem_timedwait(&gFirst, &deadline);
  printf("timed wait: %d %s\n", rc, rc != 0 && errno == ETIMEDOUT ? "timed out" : "other");
}

static void both(void* (*body)(void*), void* one, void* two) {
  pthread_t threads[2];
  pthread_create(&threads[0], NULL, body, one);
  pthread_create(&threads[1], NULL, body, two);
  if (body == waiter) {
    usleep(1000);  // both waiters wait by now
    sem_post(&gFirst);
    sem_post(&gFirst);
  }
  pthread_join(threads[0], NULL);
  pthread_join(threads[1], NULL);
}

int main(int argc, char** argv) {
  const char* scene = argc > 1 ? argv[1] : "";
  if (strcmp(scene, "buffered") != 0) setvbuf(stdout, NULL, _IONBF, 0);
  sem_init(&gFirst, 0, 0);
  sem_init(&gSecond, 0, 0);
  if (strcmp(scene, "mutex") == 0) both(locker, "one", "two");
  if (strcmp(scene, "wake") == 0) both(waiter, "one", "two");
  if (strcmp(scene, "tie") == 0) both(sleeper, "one", "two");
  if (strcmp(scene, "crossed") == 0) both(crossed, (void*)1, NULL);
  if (strcmp(scene, "timed") == 0) timedWait();
  if (strcmp(scene, "tries") == 0) tries();
  if (strcmp(scene, "many") == 0) many();
  if (strcmp(scene, "settle") == 0) settle();
  puts("done");
  return 0;
}
