// One run: start every customer's thread, join them all, then clear what the run left behind.

#include "sim/simulation.h"

#include "core/customer.h"
#include "core/narration.h"
#include "core/shop.h"
#include "core/sync.h"
#include "sim/customer_visit.h"

void run() {
  // Every thread starts before any is joined, so all delays count from nearly one moment.
  for (Customer* customer : gCustomers) {
    createThread(customer->getHThread(), RunCustomer, customer);
  }
  for (Customer* customer : gCustomers) joinThread(*customer->getHThread());

  // Every customer has left, but the barber may not yet have emptied the chair of the last one
  // he cut. Empty it here, before that customer is destroyed, so that no state block of the
  // next run reads it. Nobody can fill the chair now: only a customer wakes the barber.
  Barber::fgCustomerToCut.store(nullptr);
  deleteAllCustomers();
  // The customer threads that filled it have all been joined.
  gGoAway.clear();
  {
    MutexGuard guard(&Barber::fgFinishedLock);
    Barber::fgFinished.clear();
  }
  concurrentPrintf(kClosing);
}
