/*
 * The barber's loop (sim/barber.cpp) and a customer's visit (sim/customer_visit.cpp), step for
 * step, over the shared state of core/shop.h. Each load or store of an atomic, each lock,
 * unlock, post and wait is one step, and any step of one thread may come between two steps of
 * another: that stands for every arrival delay and every cutting time. The state block
 * (sim/state_display.cpp) is kept because it takes the console lock and then the list locks.
 * Narration lines are left out: each holds only the console lock and takes nothing inside it,
 * so a line can only delay its thread, which the model already allows at every step.
 *
 * Sizes (spin -D...):
 *   N     customers in a run (default 3)
 *   CAP   waiting chairs (default 6, WAIT_CHAIRS)
 *   RUNS  runs one after the other, the barber carried over between them (default 1)
 * Variants, each the change of the program's variant of the same name (variants/NAME.patch),
 * without the sleep that widens its window there, since every interleaving is tried anyway:
 *   VARIANT_LOST_WAKEUP     a customer does not look at the asleep mark again before sitting
 *   VARIANT_CHECK_THEN_ACT  a customer sits down on the count of its first look, not recounting
 *   VARIANT_EARLY_RELEASE   the barber posts the customer's semaphore as the cut starts
 *   VARIANT_DOUBLE_WAKE     a customer does not look at the asleep mark again under the
 *                           wake-up lock
 *   VARIANT_LATE_CLEAR      the barber clears the chair slot after marking himself asleep and
 *                           releasing the queue lock
 *   VARIANT_MARKS_LATE      the model's own: the barber marks himself asleep after releasing
 *                           the queue lock, the other half of the lost wake-up's window
 * The program's unlocked-print has no counterpart: the model leaves the narration out.
 *
 * Checked by check.sh: the assertions below and the end states (nobody blocked for ever but
 * the barber in bed), then the claim allLeave under weak fairness. The printf lines only show
 * in a replayed counterexample (spin -t); they cost no states.
 */

#ifndef N
#define N 3
#endif
#ifndef CAP
#define CAP 6
#endif
#ifndef RUNS
#define RUNS 1
#endif
#define NOBODY 255

/* Barber::fgSleeping and Barber::fgCustomerToCut. */
bool sleeping = false;
byte slot = NOBODY;
/* Barber::fgHBed and each customer's own semaphore (Customer::GetHandle). */
byte bed = 0;
byte handle[N];
/* WaitQueue::fgHairQueue, front at 0, and its length. */
byte queue[N];
byte waiting = 0;
/* Mutexes hold 0 when free, else the holder's process number + 1; gHCout is a semaphore. */
byte queueLock = 0;      /* WaitQueue::fgLock */
byte wakeUpTurn = 0;     /* Barber::fgHWakeUpTurn */
byte finishedLock = 0;   /* Barber::fgFinishedLock */
byte goAwayLock = 0;     /* gGoAwayLock */
byte cout = 1;           /* gHCout */
/* Barber::fgFinished and gGoAway, one flag per customer. */
bool finished[N];
bool goneAway[N];

/* Read only by the checks. */
bool cut[N];          /* the barber has started this customer's cut */
byte waker = NOBODY;  /* woke the barber and has not been cut yet */
byte left = 0;        /* customers whose visit has ended in this run */
byte runsDone = 0;

inline lock(m) { atomic { m == 0 -> m = _pid + 1 } }
inline release(m) { assert(m == _pid + 1); m = 0 }
inline unlock(m) { d_step { release(m) } }
inline wait(s) { atomic { s > 0 -> s-- } }

/* Every store into the chair finds it empty or holding a customer already cut: the chair holds
 * one customer at a time, and the hand-over of a waking customer is never wiped. */
inline setSlot(value) {
  assert(slot == NOBODY || cut[slot]);
  slot = value
}

/* cut() in sim/barber.cpp; the cutting time is the freedom to wait between any two steps. */
inline cutCustomer(c) {
  d_step {
    assert(!cut[c]);                        /* nobody is cut twice */
    assert(!goneAway[c]);                   /* nor after going away */
    assert(waker == NOBODY || waker == c);  /* whoever woke him is cut first */
    cut[c] = true;
    if
    :: waker == c -> waker = NOBODY
    :: else -> skip
    fi;
    printf("barber: cuts customer %d\n", c)
  }
#ifdef VARIANT_EARLY_RELEASE
  d_step { handle[c]++; printf("barber: lets customer %d go as the cut starts\n", c) }
#endif
  lock(finishedLock);
  finished[c] = true;
  unlock(finishedLock);
#ifndef VARIANT_EARLY_RELEASE
  d_step {
    assert(finished[c]);  /* the semaphore is posted only after the ID is on the list */
    handle[c]++
  }
#endif
  d_step { setSlot(NOBODY); c = NOBODY; printf("barber: empties the chair\n") }
}

/* concurrentDisplayState(): the console lock, then each list lock in turn. */
inline showState() {
  wait(cout);
  lock(queueLock);
  unlock(queueLock);
  lock(finishedLock);
  unlock(finishedLock);
  lock(goAwayLock);
  unlock(goAwayLock);
  cout++
}

active proctype Barber() {
  byte c = NOBODY, i;
  do
  :: /* The customer who woke him, written before the bed was posted. */
     c = slot;
     if
     :: c != NOBODY -> cutCustomer(c)
     :: else -> skip
     fi;
     /* serveQueue() */
     do
     :: lock(queueLock);
        if
        :: waiting > 0 ->
           d_step {
             c = queue[0];
             i = 0;
             do
             :: i + 1 < waiting -> queue[i] = queue[i + 1]; i++
             :: else -> break
             od;
             waiting--;
             queue[waiting] = 0;
             i = 0;
             printf("barber: takes customer %d from the queue\n", c)
           }
           unlock(queueLock);
           d_step { setSlot(c) }
           cutCustomer(c)
        :: else -> break
        fi
     od;
     /* The queue is empty and he holds its lock. */
#if defined(VARIANT_MARKS_LATE)
     atomic { release(queueLock); printf("barber: finds the queue empty, releases its lock\n") }
     d_step { setSlot(NOBODY) }
     d_step { sleeping = true; printf("barber: marks himself asleep\n") }
#elif defined(VARIANT_LATE_CLEAR)
     atomic { sleeping = true; printf("barber: finds the queue empty, marks himself asleep\n") }
     unlock(queueLock);
     d_step { setSlot(NOBODY); printf("barber: empties the chair\n") }
#else
     atomic { setSlot(NOBODY); printf("barber: finds the queue empty\n") }
     d_step { sleeping = true; printf("barber: marks himself asleep\n") }
     unlock(queueLock);
#endif
end_bed:
     atomic { bed > 0 -> bed--; printf("barber: woken up\n") }
  od
}

proctype Customer(byte self) {
  /* Arrives after its delay: at any moment after the run starts its thread. */
visit:
  /* wakeBarber(): try for as long as he is seen asleep. */
  do
  :: sleeping ->
     lock(wakeUpTurn);
     if
#ifdef VARIANT_DOUBLE_WAKE
     :: true ->  /* he was asleep at the look before the lock */
#else
     :: sleeping ->
#endif
        d_step { setSlot(self); waker = self; printf("customer %d: sits in the chair\n", self) }
        d_step { sleeping = false; printf("customer %d: wakes the barber\n", self) }
        d_step { assert(bed == 0); bed++ }  /* one post per night */
        unlock(wakeUpTurn);
        goto woken
     :: else -> unlock(wakeUpTurn)
     fi
  :: else -> break
  od;
  /* The first look at the queue, under its lock for the count only. */
  lock(queueLock);
  if
  :: waiting >= CAP -> unlock(queueLock); goto goAway
  :: else ->
     d_step { release(queueLock); printf("customer %d: saw him awake, a chair is free\n", self) }
  fi;
  showState();
  lock(queueLock);
#ifndef VARIANT_LOST_WAKEUP
  if
  :: sleeping ->
     /* He went to bed since the first look: go back and wake him. */
     d_step { release(queueLock); printf("customer %d: finds the barber asleep after all\n", self) }
     goto visit
  :: else -> skip
  fi;
#endif
  if
#ifdef VARIANT_CHECK_THEN_ACT
  :: true ->  /* the first look found a chair free */
#else
  :: waiting < CAP ->
#endif
     d_step {
       queue[waiting] = self;
       waiting++;
       assert(waiting <= CAP);  /* never more waiting than chairs */
       printf("customer %d: sits down, %d waiting\n", self, waiting)
     }
     unlock(queueLock);
     showState();
     goto beCut
  :: else ->
     unlock(queueLock);
     lock(goAwayLock);
     d_step { goneAway[self] = true; printf("customer %d: finds no chair, goes away\n", self) }
     unlock(goAwayLock);
     goto leave
  fi;
woken:
  showState();
beCut:
  atomic {
    handle[self] > 0 -> handle[self]--;
    assert(finished[self] && !goneAway[self]);  /* its next state block shows it finished */
    printf("customer %d: leaves after being cut\n", self)
  }
  showState();
  goto leave;
goAway:
  lock(goAwayLock);
  d_step { goneAway[self] = true; printf("customer %d: goes away\n", self) }
  unlock(goAwayLock);
  showState();
leave:
  atomic { assert(finished[self] != goneAway[self]); left++ }  /* one outcome */
}

/* The console thread's run(): start every customer, join them all, empty the chair and the
 * lists; the barber goes on from wherever he is. */
init {
  byte i;
  do
  :: runsDone < RUNS ->
     atomic {
       i = 0;
       do
       :: i < N -> run Customer(i); i++
       :: else -> break
       od;
       i = 0
     }
     left == N;
     d_step {
       assert(waiting == 0);
       setSlot(NOBODY);
       do
       :: i < N ->
          assert(finished[i] != goneAway[i] && cut[i] == finished[i]);
          finished[i] = false;
          goneAway[i] = false;
          cut[i] = false;
          i++
       :: else -> break
       od;
       i = 0;
       left = 0;
       runsDone++
     }
  :: else -> break
  od
}

/* Every customer of every run eventually leaves, cut or uncut. */
ltl allLeave { <> (runsDone == RUNS) }
