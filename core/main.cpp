// Entry point: the introduction, the shop's set-up, then the barber and console threads.
// The main thread only waits afterwards; the console's Exit ends the process.

#include <pthread.h>

#include <cstdio>

#include "console/menu.h"
#include "core/shop.h"
#include "core/sync.h"

int main() {
  fputs(gIntro, stdout);
  fputc('\n', stdout);
  // Out on the terminal before init() switches the stream to unbuffered mode.
  fflush(stdout);
  init();

  pthread_t barber;
  createThread(&barber, Barber::Run, nullptr);
  plainWait(&Barber::fgHReady);
  pthread_t console;
  createThread(&console, menu, nullptr);

  joinThread(barber);
  joinThread(console);
  return 0;
}
