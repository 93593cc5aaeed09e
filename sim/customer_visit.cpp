// A customer's visit, on its own thread: arrive after the delay, then wake the sleeping barber,
// take a waiting chair, or go away. Holds no lock while it prints or shows the state.

#include "sim/customer_visit.h"

#include "core/customer.h"
#include "core/narration.h"
#include "core/shop.h"
#include "core/sync.h"
#include "sim/state_display.h"

namespace {

// What a customer who finds the barber awake makes of the waiting chairs.
enum class Chair {
  kTaken,         // sat down; the barber will cut it in turn
  kQueueFull,     // the first look found every chair taken
  kNoneLeft,      // the last chair went while it came to sit (or the queue lock timed out)
  kBarberAsleep,  // the barber went to bed since it saw him awake: try to wake him instead
};

// Tries to wake the barber for as long as he is seen asleep. Returns true when this customer
// woke him and handed itself over through the chair; false when he is awake.
bool wakeBarber(Customer* self) {
  const char* id = self->GetId();
  while (Barber::fgSleeping.load()) {
    concurrentPrintf(kSeeSleeping, id);
    concurrentPrintf(kTryToWake, id);
    if (lockOrEnd(&Barber::fgHWakeUpTurn, TIMEOUT_INFINITE)) {
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

// The first look at the queue, before trying for a chair; the look under the lock decides.
std::size_t waitingCount() {
  MutexGuard guard(&WaitQueue::fgLock);
  return WaitQueue::fgHairQueue.size();
}

Chair lookForChair(Customer* self) {
  const char* id = self->GetId();
  concurrentPrintf(kSeeNotSleeping, id);
  if (waitingCount() >= WAIT_CHAIRS) return Chair::kQueueFull;
  concurrentPrintf(kTryForChair, id);
  concurrentDisplayState();

  if (!lockOrEnd(&WaitQueue::fgLock, TIMEOUT_INFINITE)) return Chair::kNoneLeft;
  Chair chair = Chair::kNoneLeft;
  if (Barber::fgSleeping.load()) {
    // He found the queue empty and went to bed since this customer looked: sitting down now
    // would leave it unserved.
    chair = Chair::kBarberAsleep;
  } else if (WaitQueue::fgHairQueue.size() < WAIT_CHAIRS) {
    WaitQueue::fgHairQueue.push_back(self);
    chair = Chair::kTaken;
  }
  mutexUnlock(&WaitQueue::fgLock);
  return chair;
}

// Sits in the barber chair, having woken the barber or from a waiting chair, until cut.
void beCut(Customer* self, bool wokeBarber) {
  if (wokeBarber) {
    concurrentPrintf(kWokeBarber, self->GetId());
  } else {
    concurrentPrintf(kGotChair, self->GetId());
  }
  concurrentDisplayState();
  self->WaitForCuttingFinishing();
  concurrentPrintf(kLeaveCut, self->GetId());
  concurrentDisplayState();
}

// Leaves uncut: every chair seen taken at the first look (with a state block) or none left.
void goAway(Customer* self, Chair why) {
  {
    MutexGuard guard(&gGoAwayLock);
    gGoAway.push_back(self);
  }
  if (why == Chair::kQueueFull) {
    concurrentPrintf(kQueueFull, self->GetId());
    concurrentDisplayState();
  } else {
    concurrentPrintf(kNoChair, self->GetId());
  }
}

}  // namespace

void Customer::Run() {
  sleepMillis(getDelay());
  for (;;) {
    if (wakeBarber(this)) return beCut(this, /*wokeBarber=*/true);
    const Chair chair = lookForChair(this);
    if (chair == Chair::kTaken) return beCut(this, /*wokeBarber=*/false);
    if (chair != Chair::kBarberAsleep) return goAway(this, chair);
    // The barber went to bed meanwhile: back to the wake-up attempt.
  }
}

void* RunCustomer(void* customer) {
  static_cast<Customer*>(customer)->Run();
  return nullptr;
}
