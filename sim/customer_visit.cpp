// A customer's visit, on its own thread: arrive after the delay, then wake the sleeping barber,
// take a waiting chair, or go away. Holds no lock while it prints or shows the state.

#include <cerrno>

#include "core/customer.h"
#include "core/narration.h"
#include "core/shop.h"
#include "core/sync.h"
#include "sim/simulation.h"
#include "sim/state_display.h"

namespace {

// Tries to wake the barber for as long as he is seen asleep. Returns true when this customer
// woke him and handed itself over through the chair; false when he is awake.
bool wakeBarber(Customer* self) {
  const char* id = self->GetId();
  while (Barber::fgSleeping.load()) {
    concurrentPrintf(kSeeSleeping, id);
    concurrentPrintf(kTryToWake, id);
    int rc = timedLock(&Barber::fgHWakeUpTurn, TIMEOUT_INFINITE);
    if (rc != 0 && rc != ETIMEDOUT) fatal("mutex waiting", rc);
    if (rc == 0) {
      if (Barber::fgSleeping.load()) {
        // The chair is filled before the bed is posted: the post orders it before his read.
        Barber::fgCustomerToCut.store(self);
        Barber::fgSleeping.store(false);
        (void)semPost(&Barber::fgHBed);
        mutexUnlock(&Barber::fgHWakeUpTurn);
        return true;
      }
      mutexUnlock(&Barber::fgHWakeUpTurn);  // another customer woke him first
    }
    concurrentPrintf(kFailedToWake, id);
  }
  return false;
}

void beCutAndLeave(Customer* self) {
  self->WaitForCuttingFinishing();
  concurrentPrintf(kLeaveCut, self->GetId());
  concurrentDisplayState();
}

void goAway(Customer* self) {
  (void)pthread_mutex_lock(&gGoAwayLock);
  gGoAway.push_back(self);
  (void)pthread_mutex_unlock(&gGoAwayLock);
}

// The first look at the queue, before trying for a chair; the look under the lock decides.
std::size_t waitingCount() {
  (void)pthread_mutex_lock(&WaitQueue::fgLock);
  std::size_t count = WaitQueue::fgHairQueue.size();
  (void)pthread_mutex_unlock(&WaitQueue::fgLock);
  return count;
}

}  // namespace

void Customer::Run() {
  const char* id = GetId();
  sleepMillis(getDelay());
  for (;;) {
    if (wakeBarber(this)) {
      concurrentPrintf(kWokeBarber, id);
      concurrentDisplayState();
      beCutAndLeave(this);
      return;
    }
    concurrentPrintf(kSeeNotSleeping, id);
    if (waitingCount() >= WAIT_CHAIRS) {
      goAway(this);
      concurrentPrintf(kQueueFull, id);
      concurrentDisplayState();
      return;
    }
    concurrentPrintf(kTryForChair, id);
    concurrentDisplayState();

    int rc = timedLock(&WaitQueue::fgLock, TIMEOUT_INFINITE);
    if (rc != 0 && rc != ETIMEDOUT) fatal("mutex waiting", rc);
    if (rc == 0) {
      if (Barber::fgSleeping.load()) {
        // He found the queue empty and went to bed since this customer looked: sitting down
        // now would leave it unserved, so go back and wake him instead.
        mutexUnlock(&WaitQueue::fgLock);
        continue;
      }
      if (WaitQueue::fgHairQueue.size() < WAIT_CHAIRS) {
        WaitQueue::fgHairQueue.push_back(this);
        mutexUnlock(&WaitQueue::fgLock);
        concurrentPrintf(kGotChair, id);
        concurrentDisplayState();
        beCutAndLeave(this);
        return;
      }
      mutexUnlock(&WaitQueue::fgLock);
    }
    goAway(this);
    concurrentPrintf(kNoChair, id);
    return;
  }
}

void* RunCustomer(void* customer) {
  static_cast<Customer*>(customer)->Run();
  return nullptr;
}
