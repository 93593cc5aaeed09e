// The shop's shared state, its one-time set-up and the roster's teardown. The state is created
// before main runs and is never destroyed: the threads that use it run until the process ends.

#include "core/shop.h"

#include <sys/prctl.h>

#include <cstdio>

#include "core/customer.h"
#include "core/sync.h"

std::list<Customer*> WaitQueue::fgHairQueue;
pthread_mutex_t WaitQueue::fgLock;

std::atomic<bool> Barber::fgSleeping{false};
std::atomic<Customer*> Barber::fgCustomerToCut{nullptr};
sem_t Barber::fgHBed;
sem_t Barber::fgHReady;
pthread_mutex_t Barber::fgHWakeUpTurn;
std::list<std::string> Barber::fgFinished;
pthread_mutex_t Barber::fgFinishedLock;

std::vector<Customer*> gCustomers;
std::vector<Customer*> gGoAway;
pthread_mutex_t gGoAwayLock;
sem_t gHCout;

const char gIntro[] =
    "-------------------------------------------------\n"
    "This program simulates the sleeping barber problem.\n"
    "The barber shop has one barber, one barber chair, and ten chairs for waiting customers to "
    "sit on. If there are no customers present, the barber sits down in the barber chair and "
    "fall asleep .When a customer arrive, he has to wake up the sleeping barber. If additional "
    "customers arrive while the barber is cutting a customer's hair, they either sit down (if "
    "there are empty chairs) or leave the shop (if all chairs are full).\n"
    "Let's see how the sleeping barber problem is simulated.\n"
    "-------------------------------------------------";

void deleteAllCustomers() {
  for (Customer* customer : gCustomers) delete customer;
  gCustomers.clear();
}

void init() {
  // Every release through mutexUnlock and post through semPost sleeps 1 microsecond, but Linux
  // lets a sleep overrun by the thread's timer slack, 50 microseconds unless asked otherwise, and
  // a run of ten customers makes over a hundred such sleeps. Ask for a slack of 1 microsecond,
  // inherited by every thread started from here on; if the kernel refuses, sleeps are longer.
  (void)prctl(PR_SET_TIMERSLACK, 1000UL);
  // A thread of the shop needs a few KiB of stack. With the usual 8 MiB per thread the C library
  // keeps only four stacks for reuse and maps and unmaps the others on every run, which made
  // starting a run's customers about twice as slow and delayed their arrivals. Threads started
  // from here on reserve 1 MiB, so every customer of a run reuses a kept stack.
  setDefaultStackSize(1024 * 1024);
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stdin, nullptr, _IONBF, 0);
  initMutex(&WaitQueue::fgLock);
  initMutex(&Barber::fgHWakeUpTurn);
  initSemaphore(&Barber::fgHBed, 0, "semaphore initilization");
  initSemaphore(&Barber::fgHReady, 0, "semaphore initilization");
  Barber::fgCustomerToCut.store(nullptr);
  Barber::fgSleeping.store(false);
  initMutex(&Barber::fgFinishedLock);
  initMutex(&gGoAwayLock);
  // This one label really is spelt differently from the others.
  initSemaphore(&gHCout, 1, "semaphore initialization");
}
