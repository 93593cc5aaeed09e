#ifndef BARBERSHOP_SCHEDULER_CHOOSE_H_
#define BARBERSHOP_SCHEDULER_CHOOSE_H_
// Who goes at a choice: the plan's picks and overrides first, then its strategy (the plain
// order, seeded random, PCT priorities, or the companion's answer).
// Called only by the thread holding the baton.

#include <cstdint>

#include "scheduler/plan.h"
#include "scheduler/state.h"

namespace sched {

void startChooser(const char* planText, int answerFd);

// Gives a thread its PCT priority; called as it is created (the main thread at start).
void onThreadCreated(Thread* thread);

// Applies the PCT change points that step N reaches: RUNNING drops below everyone.
void beforeDecision(Thread* running, std::int64_t n);

// The slot of the thread that goes at choice K before step N. CAN tells who can go, by slot;
// PLAIN is the plain order's pick. A strict plan whose pick cannot go writes `diverged` and never
// returns.
int choose(std::int64_t k, std::int64_t n, const char* why, int plain, const bool* can);

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_CHOOSE_H_
