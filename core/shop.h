#ifndef BARBERSHOP_CORE_SHOP_H_
#define BARBERSHOP_CORE_SHOP_H_
// The shop's shared state: every object the barber, the customers, the state display and the
// console reach, with its guard and its owner. All of it lives for the whole process; init()
// sets up the locks, semaphores and flags once, before any other thread starts.
//
// Lock order: the console lock gHCout first, then at most one of WaitQueue::fgLock,
// Barber::fgFinishedLock and gGoAwayLock. Nobody waits for gHCout while holding a list lock or
// Barber::fgHWakeUpTurn, and nobody prints while holding any of them. The one sleep under a lock
// is semPost's microsecond when the waking customer posts Barber::fgHBed while it still holds
// Barber::fgHWakeUpTurn; the lock is released right after.

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "core/constants.h"

class Customer;

class WaitQueue {
 public:
  WaitQueue() = delete;

  // Customers on the waiting chairs, served from the front. Guarded by fgLock; non-owning;
  // never more than WAIT_CHAIRS entries and never a null one.
  static std::list<Customer*> fgHairQueue;
  static pthread_mutex_t fgLock;
};

class Barber {
 public:
  Barber() = delete;

  // Body of the barber thread; never returns. Defined in sim/barber.cpp.
  static void* Run(void* unused);

  // The barber is in bed. Set to true only by the barber, while he holds WaitQueue::fgLock and
  // has found the queue empty (a time-out on that lock sends him back to look again, never to
  // bed); set to false only by the customer who wakes him, under fgHWakeUpTurn. A customer reads
  // it again under WaitQueue::fgLock before sitting down, so nobody sits behind a barber who has
  // gone to bed and every seated customer is cut.
  static std::atomic<bool> fgSleeping;
  // The customer in the chair; non-owning. A waking customer stores itself here before posting
  // fgHBed. The barber clears it after each cut and, before he sets fgSleeping, once more, so a
  // hand-over made after he is marked asleep is never wiped. The run clears it too, once it has
  // joined every customer, before it destroys them.
  static std::atomic<Customer*> fgCustomerToCut;
  static sem_t fgHBed;    // the sleeping barber waits on it; the waking customer posts it
  static sem_t fgHReady;  // posted once when the barber thread has started
  static pthread_mutex_t fgHWakeUpTurn;  // one customer at a time tries to wake the barber
  // IDs of the customers cut in this run, in the order their cuts ended. Guarded by
  // fgFinishedLock; owns its copies; emptied at the end of every run.
  static std::list<std::string> fgFinished;
  static pthread_mutex_t fgFinishedLock;
};

// The roster, in the order of adding. Owns its customers; only the console thread changes it.
extern std::vector<Customer*> gCustomers;
// Destroys every customer on the roster and empties it. Console thread only, with no run's
// customer thread alive (a run calls it once it has joined them).
void deleteAllCustomers();
// Customers who left uncut in this run, in the order of leaving; non-owning. Guarded by
// gGoAwayLock while the run's customers live; the run empties it without the lock once it has
// joined them all.
extern std::vector<Customer*> gGoAway;
extern pthread_mutex_t gGoAwayLock;
// The console lock: a semaphore of value 1 held around every print of the simulation threads.
extern sem_t gHCout;

// The introduction printed at start-up.
extern const char gIntro[];

// Switches standard output and input to unbuffered mode, gives the threads to come a
// 1-microsecond timer slack and 1 MiB stacks, and initialises the shop's locks, semaphores and
// flags. Returns only on success; any failure ends the process with status 1.
void init();

#endif  // BARBERSHOP_CORE_SHOP_H_
