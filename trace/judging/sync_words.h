#ifndef BARBERSHOP_TRACE_JUDGING_SYNC_WORDS_H_
#define BARBERSHOP_TRACE_JUDGING_SYNC_WORDS_H_
// A controlled run's threads, locks and semaphores in the shop's own words: who thread 3 is
// ("Bob"), what object 2 is ("the queue lock") and what a step does with it ("takes the queue
// lock", "Barber: lets Bob go"). One table of the shop's objects by the program's names for them;
// an object the table does not know (a stripped program) is "lock 2" or "semaphore 5". Read by
// --step, the explored run's story and the page. Pure.

#include <string>

#include "trace/reading/control.h"
#include "trace/reading/run_record.h"

// What a lock or semaphore is for in the shop.
enum class SyncRole {
  kQueueLock,
  kWakeUpLock,
  kFinishedLock,
  kGoAwayLock,
  kConsole,
  kBed,
  kReady,
  kCut,  // a customer's own semaphore, posted when its cut ends
  kOtherLock,
  kOtherSemaphore,
};

// The words of one role. In each text '@' stands for the customer whose semaphore it is and '#'
// for the object's number.
struct SyncRoleWords {
  SyncRole role;
  const char* symbol;  // the program's name for it, "WaitQueue::fgLock"; null when it has none
  const char* name;    // "the queue lock", "@'s cut", "lock #"
  const char* take;    // a lock or a wait on it: "takes the queue lock", "waits for a customer"
  const char* give;    // an unlock or a post: "lets go of the queue lock", "wakes the barber"
};
const SyncRoleWords& syncRoleWords(SyncRole role);

// What object `oid` of `run` is; `customer` is the roster position for kCut, else -1.
struct SyncIdentity {
  SyncRole role = SyncRole::kOtherLock;
  int customer = -1;
};
SyncIdentity identifyObject(const RunRecord& run, int oid);

enum class ThreadRole { kMain, kBarber, kConsole, kCustomer, kOther };
// Thread 0 is main; the first thread created with a null argument the barber, any later one the
// console; every thread created with an argument a customer, in roster order.
struct ThreadIdentity {
  ThreadRole role = ThreadRole::kOther;
  int customer = -1;  // the roster position, for kCustomer
};
ThreadIdentity identifyThread(const RunRecord& run, int tid);

// The thread that holds lock `oid` after the run's steps so far: a mutex, or a semaphore that
// starts at 1 and is taken and given back as one (the console); -1 when it is free or no lock.
int holderOf(const RunRecord& run, int oid);

// "Main", "Barber", "Console", "Bob" (as customerName() names it), "thread 7".
std::string actorWords(const RunRecord& run, int tid);
// "the queue lock", "Bob's cut", "lock 2".
std::string objectWords(const RunRecord& run, int oid);
// What a thread is about to do, without who: "takes the queue lock", "arrives at 100.0 ms".
std::string stepWords(const RunRecord& run, const PendingStep& step);
// What a thread did: the same words, with how a try or a timed step failed when it did.
std::string stepWords(const RunRecord& run, const SyncStep& step);
// "Bob: takes the queue lock", "Barber: lets Bob go".
std::string stepLine(const RunRecord& run, const PendingStep& step);
std::string stepLine(const RunRecord& run, const SyncStep& step);

#endif  // BARBERSHOP_TRACE_JUDGING_SYNC_WORDS_H_
