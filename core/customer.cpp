// The customer record; its visit lives in sim/customer_visit.cpp.

#include "core/customer.h"

#include <cstdio>
#include <cstring>

#include "core/narration.h"
#include "core/sync.h"

Customer::Customer(const char* id) : fId{} {
  initSemaphore(&fHandle, 0, "semaphore initilization");
  setId(id);
}

Customer::~Customer() { destroySemaphore(&fHandle); }

int Customer::WaitForCuttingFinishing() {
  concurrentPrintf(kWaiting, fId);
  waitOrEnd(&fHandle);
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
