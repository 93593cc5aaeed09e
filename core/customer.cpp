// The customer record; its visit lives in sim/customer_visit.cpp.

#include "core/customer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/narration.h"
#include "core/sync.h"

Customer::Customer(const char* id) : fId{} {
  if (sem_init(&fHandle, 0, 0) != 0) fatal("semaphore initilization", errno);
  setId(id);
}

Customer::~Customer() { (void)sem_destroy(&fHandle); }

int Customer::WaitForCuttingFinishing() {
  concurrentPrintf(kWaiting, fId);
  while (sem_wait(&fHandle) != 0) {
    if (errno != EINTR) fatal("semaphore waiting", errno);
  }
  return 0;
}

char* Customer::GetId() { return fId; }

int Customer::getCuttingTime() const { return fCuttingTime; }

void Customer::setCuttingTime(int cuttingTime) { fCuttingTime = cuttingTime; }

pthread_t* Customer::getHThread() { return &fHThread; }

int Customer::getDelay() const { return fDelay; }

sem_t* Customer::GetHandle() { return &fHandle; }

void Customer::setId(const char* id) {
  strncpy(fId, id, sizeof fId - 1);
  fId[sizeof fId - 1] = '\0';
}

void Customer::setDelay(int delay) { fDelay = delay; }

void Customer::display() const {
  printf(kDisplayId, fId);
  printf(kDisplayDelay, fDelay);
  printf(kDisplayCuttingTime, fCuttingTime);
}
