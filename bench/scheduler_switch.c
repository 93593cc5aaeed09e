// The cost of one switch under the scheduler library: two threads hand a token back and forth
// through two semaphores, so every step passes the baton to the other thread. Build and run it
// preloaded:
//   cc -O2 -o scheduler_switch bench/scheduler_switch.c -lpthread
//   BARBERSHOP_CONTROL_FD=3 LD_PRELOAD=build/libbarbershop-scheduler.so
//     ./scheduler_switch [ROUNDS] 3>/dev/null
// It reads the real clock through the raw system call, since the library makes the clock virtual.
#include <pthread.h>
#include <semaphore.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static sem_t gPing, gPong;
static long gRounds = 100000;

static double seconds(void) {
  struct timespec now;
  syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void* pong(void* unused) {
  (void)unused;
  for (long i = 0; i < gRounds; ++i) {
    sem_wait(&gPing);
    sem_post(&gPong);
  }
  return NULL;
}

int main(int argc, char** argv) {
  if (argc > 1) gRounds = atol(argv[1]);
  sem_init(&gPing, 0, 0);
  sem_init(&gPong, 0, 0);
  pthread_t thread;
  pthread_create(&thread, NULL, pong, NULL);
  double start = seconds();
  for (long i = 0; i < gRounds; ++i) {
    sem_post(&gPing);
    sem_wait(&gPong);
  }
  double spent = seconds() - start;
  pthread_join(thread, NULL);
  // Each round is four steps and two switches.
  fprintf(stderr, "%ld rounds: %.2f us a step, %.2f us a switch\n", gRounds,
          spent * 1e6 / (4.0 * gRounds), spent * 1e6 / (2.0 * gRounds));
  return 0;
}
