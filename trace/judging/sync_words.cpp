// The shop's words for a controlled run's threads, objects and steps: the one table of objects,
// and the sentences built from it.

#include "trace/judging/sync_words.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

namespace {

// A customer's semaphore lies inside the customer, whose address its thread is started with.
constexpr std::uint64_t kCustomerBytes = 128;
// A sleep shorter than this is the program's pause after a release, not a delay or a cut.
constexpr Micros kLongSleep = Micros::ofMs(1);

const SyncRoleWords kRoles[] = {
    {SyncRole::kQueueLock, "WaitQueue::fgLock", "the queue lock", "takes the queue lock",
     "lets go of the queue lock"},
    {SyncRole::kWakeUpLock, "Barber::fgHWakeUpTurn", "the wake-up lock", "takes the wake-up lock",
     "lets go of the wake-up lock"},
    {SyncRole::kFinishedLock, "Barber::fgFinishedLock", "the finished list's lock",
     "takes the finished list's lock", "lets go of the finished list's lock"},
    {SyncRole::kGoAwayLock, "gGoAwayLock", "the go-away list's lock",
     "takes the go-away list's lock", "lets go of the go-away list's lock"},
    {SyncRole::kConsole, "gHCout", "the console", "takes the console", "hands back the console"},
    {SyncRole::kBed, "Barber::fgHBed", "the barber's bed", "waits for a customer",
     "wakes the barber"},
    {SyncRole::kReady, "Barber::fgHReady", "the barber's start signal",
     "waits for the barber to start", "says he has started"},
    {SyncRole::kCut, nullptr, "@'s cut", "waits for the cut to end", "lets @ go"},
    {SyncRole::kOtherLock, nullptr, "lock #", "takes lock #", "lets go of lock #"},
    {SyncRole::kOtherSemaphore, nullptr, "semaphore #", "waits on semaphore #",
     "posts semaphore #"},
};

const ProgramThread* threadOf(const RunRecord& run, int tid) {
  for (const ProgramThread& thread : run.control.threads) {
    if (thread.tid == tid) return &thread;
  }
  return nullptr;
}

const SyncObject* objectOf(const RunRecord& run, int oid) {
  for (const SyncObject& object : run.control.objects) {
    if (object.oid == oid) return &object;
  }
  return nullptr;
}

std::string customerWords(const RunRecord& run, int who) {
  if (who >= 0 && static_cast<std::size_t>(who) < run.roster.size()) {
    return customerName(run.roster, who);
  }
  return "customer " + std::to_string(who + 1);
}

// `text` with '@' as customer `who` and '#' as object `oid`, in one pass, so that a name holding
// either character stays as it is.
std::string filled(const RunRecord& run, const char* text, int who, int oid) {
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '@') {
      out += customerWords(run, who);
    } else if (*c == '#') {
      out += std::to_string(oid);
    } else {
      out += *c;
    }
  }
  return out;
}

// The time `tid` reached its step before step `before` (0: after every step so far): that of
// its last step before it, which is where a sleep is counted from. Only sleeps ask, and the steps
// are in order, so the search starts where the step is.
Micros reachedAt(const RunRecord& run, int tid, int before) {
  const std::vector<SyncStep>& steps = run.control.steps;
  auto from = before == 0
                  ? steps.end()
                  : std::lower_bound(steps.begin(), steps.end(), before,
                                     [](const SyncStep& step, int n) { return step.n < n; });
  while (from != steps.begin()) {
    --from;
    if (from->tid == tid) return from->at;
  }
  return Micros{};
}

std::string sleepWords(const RunRecord& run, int tid, Micros deadline, Micros began) {
  const Micros length = deadline - began;
  if (length < kLongSleep) return "pauses a moment";
  switch (identifyThread(run, tid).role) {
    case ThreadRole::kCustomer:
      return "arrives at " + msText(deadline);
    case ThreadRole::kBarber:
      return "cuts for " + msText(length);
    default:
      return "sleeps until " + msText(deadline);
  }
}

std::string joinWords(const RunRecord& run, int joined) {
  const ThreadIdentity who = identifyThread(run, joined);
  switch (who.role) {
    case ThreadRole::kCustomer:
      return "waits for " + customerWords(run, who.customer) + " to leave";
    case ThreadRole::kBarber:
      return "waits for the barber to stop";
    case ThreadRole::kConsole:
      return "waits for the console to end";
    default:
      return "waits for thread " + std::to_string(joined) + " to end";
  }
}

std::string createdWords(const RunRecord& run, const ThreadIdentity& made, int tid) {
  switch (made.role) {
    case ThreadRole::kCustomer:
      return "starts " + customerWords(run, made.customer) + "'s visit";
    case ThreadRole::kBarber:
      return "starts the barber";
    case ThreadRole::kConsole:
      return "starts the console";
    default:
      return "starts thread " + std::to_string(tid);
  }
}

// Who a thread about to create one will make: main makes the barber, then the console; the
// console makes the customers in roster order.
ThreadIdentity nextMade(const RunRecord& run, int creator) {
  ThreadIdentity made;
  bool barber = false;
  int customers = 0;
  for (const ProgramThread& thread : run.control.threads) {
    const ThreadRole role = identifyThread(run, thread.tid).role;
    barber = barber || role == ThreadRole::kBarber;
    customers += role == ThreadRole::kCustomer ? 1 : 0;
  }
  if (creator == 0) {
    made.role = barber ? ThreadRole::kConsole : ThreadRole::kBarber;
  } else {
    made.role = ThreadRole::kCustomer;
    made.customer = customers;
  }
  return made;
}

struct Doing {
  int tid = 0;
  SyncOp op = SyncOp::kStart;
  int oid = 0;
  std::int64_t arg = 0;
  int before = 0;  // the step it is (0: one to come)
  bool done = false;
};

std::string objectStepWords(const RunRecord& run, const Doing& step) {
  const SyncIdentity object = identifyObject(run, step.oid);
  const SyncRoleWords& words = syncRoleWords(object.role);
  switch (step.op) {
    case SyncOp::kLock:
    case SyncOp::kTimedLock:
    case SyncOp::kWait:
    case SyncOp::kTimedWait:
      return filled(run, words.take, object.customer, step.oid);
    case SyncOp::kTryLock:
    case SyncOp::kTryWait:
      return "tries " + filled(run, words.name, object.customer, step.oid);
    case SyncOp::kUnlock:
    case SyncOp::kPost:
      return filled(run, words.give, object.customer, step.oid);
    default:  // kSemInit
      return "sets up " + filled(run, words.name, object.customer, step.oid);
  }
}

std::string doingWords(const RunRecord& run, const Doing& step) {
  switch (step.op) {
    case SyncOp::kStart:
      return "starts";
    case SyncOp::kCreate: {
      const int made = static_cast<int>(step.arg);
      if (step.done) return createdWords(run, identifyThread(run, made), made);
      return createdWords(run, nextMade(run, step.tid), made);
    }
    case SyncOp::kJoin:
      return joinWords(run, static_cast<int>(step.arg));
    case SyncOp::kExit:
      return "ends";
    case SyncOp::kSleep:
      return sleepWords(run, step.tid, Micros{step.arg}, reachedAt(run, step.tid, step.before));
    case SyncOp::kPrint:
      return "prints a line";
    case SyncOp::kInput:
      return "reads the menu's answer";
    default:
      return objectStepWords(run, step);
  }
}

}  // namespace

const SyncRoleWords& syncRoleWords(SyncRole role) {
  for (const SyncRoleWords& words : kRoles) {
    if (words.role == role) return words;
  }
  return kRoles[std::size(kRoles) - 1];
}

SyncIdentity identifyObject(const RunRecord& run, int oid) {
  SyncIdentity identity;
  const SyncObject* object = objectOf(run, oid);
  if (object == nullptr) return identity;
  for (const SyncRoleWords& words : kRoles) {
    if (words.symbol != nullptr && object->symbol == words.symbol) {
      identity.role = words.role;
      return identity;
    }
  }
  identity.role = object->mutex ? SyncRole::kOtherLock : SyncRole::kOtherSemaphore;
  if (object->mutex || object->offset >= 0) return identity;
  for (const ProgramThread& thread : run.control.threads) {
    const ThreadIdentity owner = identifyThread(run, thread.tid);
    if (owner.role == ThreadRole::kCustomer && object->address >= thread.arg &&
        object->address - thread.arg < kCustomerBytes) {
      identity.role = SyncRole::kCut;
      identity.customer = owner.customer;
    }
  }
  return identity;
}

ThreadIdentity identifyThread(const RunRecord& run, int tid) {
  ThreadIdentity identity;
  if (tid == 0) {
    identity.role = ThreadRole::kMain;
    return identity;
  }
  const ProgramThread* self = threadOf(run, tid);
  if (self == nullptr) return identity;
  int customersBefore = 0;
  bool nullBefore = false;
  for (const ProgramThread& thread : run.control.threads) {
    if (thread.tid == 0 || thread.tid >= tid) continue;
    customersBefore += thread.arg != 0 ? 1 : 0;
    nullBefore = nullBefore || thread.arg == 0;
  }
  if (self->arg != 0) {
    identity.role = ThreadRole::kCustomer;
    identity.customer = customersBefore;
  } else {
    identity.role = nullBefore ? ThreadRole::kConsole : ThreadRole::kBarber;
  }
  return identity;
}

int holderOf(const RunRecord& run, int oid) {
  const SyncObject* object = objectOf(run, oid);
  if (object == nullptr || (!object->mutex && object->initial != 1)) return -1;
  int holder = -1;
  for (const SyncStep& step : run.control.steps) {
    if (step.oid != oid || step.result != 0) continue;
    switch (step.op) {
      case SyncOp::kLock:
      case SyncOp::kTimedLock:
      case SyncOp::kTryLock:
      case SyncOp::kWait:
      case SyncOp::kTimedWait:
      case SyncOp::kTryWait:
        holder = step.tid;
        break;
      case SyncOp::kUnlock:
      case SyncOp::kPost:
        holder = -1;
        break;
      default:
        break;
    }
  }
  return holder;
}

std::string actorWords(const RunRecord& run, int tid) {
  const ThreadIdentity who = identifyThread(run, tid);
  switch (who.role) {
    case ThreadRole::kMain:
      return "Main";
    case ThreadRole::kBarber:
      return "Barber";
    case ThreadRole::kConsole:
      return "Console";
    case ThreadRole::kCustomer:
      return customerWords(run, who.customer);
    case ThreadRole::kOther:
      break;
  }
  return "thread " + std::to_string(tid);
}

std::string objectWords(const RunRecord& run, int oid) {
  const SyncIdentity object = identifyObject(run, oid);
  return filled(run, syncRoleWords(object.role).name, object.customer, oid);
}

std::string stepWords(const RunRecord& run, const PendingStep& step) {
  return doingWords(run, Doing{step.tid, step.op, step.oid, step.arg, 0, false});
}

std::string stepWords(const RunRecord& run, const SyncStep& step) {
  std::string words = doingWords(run, Doing{step.tid, step.op, step.oid, step.arg, step.n, true});
  if (step.result == ETIMEDOUT) return words + ", and gives up: time ran out";
  if (step.result != 0) return words + ", in vain: it was taken";
  return words;
}

std::string stepLine(const RunRecord& run, const PendingStep& step) {
  return actorWords(run, step.tid) + ": " + stepWords(run, step);
}

std::string stepLine(const RunRecord& run, const SyncStep& step) {
  return actorWords(run, step.tid) + ": " + stepWords(run, step);
}
