// Small scenes for the scheduler's tests, one per argument: two threads and a mutex, two waiters
// on one semaphore, two sleeps that tie, a timed wait that times out, and two threads that wait
// on each other. Each thread announces itself on standard output, unbuffered as the shop's is,
// except in the buffered scene, where stdio writes only at the end.
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

// Waits for the one semaphore, then posts the other: with both at zero, neither ever goes.
static void* crossed(void* first) {
  sem_t* mine = first ? &gFirst : &gSecond;
  sem_wait(mine);
  sem_post(mine == &gFirst ? &gSecond : &gFirst);
  return NULL;
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
  puts("done");
  return 0;
}
