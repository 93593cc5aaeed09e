#ifndef BARBERSHOP_CORE_CUSTOMER_H_
#define BARBERSHOP_CORE_CUSTOMER_H_
// One simulated customer: its ID, arrival delay, cutting time, the semaphore it waits on while
// it is cut and the thread a run starts for it. Owned by the roster (gCustomers); the wait
// queue, the barber chair and the go-away list only point to it. Not copyable.

#include <pthread.h>
#include <semaphore.h>

#include <cstddef>

#include "core/constants.h"

class Customer {
 public:
  // Ends the process with status 1 when the customer's semaphore cannot be initialised.
  explicit Customer(const char* id);
  Customer(const Customer&) = delete;
  Customer& operator=(const Customer&) = delete;
  virtual ~Customer();

  // Prints the waiting line, then blocks until the barber has finished this customer's cut.
  virtual int WaitForCuttingFinishing();
  // The visit: arrive after the delay, then be cut or go away. Defined in sim/customer_visit.cpp.
  virtual void Run();
  virtual char* GetId();
  virtual int getCuttingTime() const;
  virtual void setCuttingTime(int cuttingTime);
  virtual pthread_t* getHThread();
  virtual int getDelay() const;
  virtual sem_t* GetHandle();
  // Keeps the first 35 characters of `id`.
  virtual void setId(const char* id);
  virtual void setDelay(int delay);
  // Writes the three lines of the customer list directly to standard output.
  virtual void display() const;

 private:
  char fId[ID_SIZE];
  int fDelay = 0;
  int fCuttingTime = 0;
  sem_t fHandle;  // posted once by the barber when this customer's cut ends
  pthread_t fHThread{};
};

#endif  // BARBERSHOP_CORE_CUSTOMER_H_
