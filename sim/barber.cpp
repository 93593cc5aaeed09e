// The barber thread: cut the customer who woke him, serve the wait queue front to back until it
// is empty, go to bed, repeat. He prints only while holding no lock.

#include <string>

#include "core/customer.h"
#include "core/narration.h"
#include "core/shop.h"
#include "core/sync.h"

namespace {

void cut(Customer* customer) {
  concurrentPrintf(kStartCutting, customer->GetId());
  sleepMillis(customer->getCuttingTime());
  concurrentPrintf(kFinishCutting, customer->GetId());
  std::string id(customer->GetId());
  {
    MutexGuard guard(&Barber::fgFinishedLock);
    Barber::fgFinished.push_back(std::move(id));
  }
  // The customer is already on the finished list when it wakes, so its next state block
  // shows it there. After this post the barber never reads the customer again.
  (void)semPost(customer->GetHandle());
  Barber::fgCustomerToCut.store(nullptr);
}

// Cuts waiting customers until the queue is empty, then marks the barber asleep while still
// holding the queue lock, so no customer can sit down between his last look and his bed.
void serveQueue() {
  for (;;) {
    // A time-out says nothing about the queue: he tries again rather than go to bed unsure.
    while (!lockOrEnd(&WaitQueue::fgLock, TIMEOUT_INFINITE)) {
    }
    if (WaitQueue::fgHairQueue.empty()) break;
    Customer* next = WaitQueue::fgHairQueue.front();
    WaitQueue::fgHairQueue.pop_front();
    mutexUnlock(&WaitQueue::fgLock);
    Barber::fgCustomerToCut.store(next);
    cut(next);
  }
  // The slot is cleared before the flag is set: from then on a waking customer may fill it.
  Barber::fgCustomerToCut.store(nullptr);
  Barber::fgSleeping.store(true);
  mutexUnlock(&WaitQueue::fgLock);
}

}  // namespace

void* Barber::Run(void*) {
  plainPost(&fgHReady);
  for (;;) {
    // Filled by the customer who woke him, who wrote it before posting the bed.
    Customer* waker = fgCustomerToCut.load();
    if (waker != nullptr) cut(waker);
    serveQueue();
    concurrentPrintf(kBarberToBed);
    waitOrEnd(&fgHBed);
    concurrentPrintf(kBarberWokenUp);
  }
}
