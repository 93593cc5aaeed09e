// The strategies. Random and PCT draw from one splitmix64 stream seeded by the plan, so the
// same plan makes the same choices. PCT (Burckhardt et al., ASPLOS 2010): distinct random
// priorities as threads are made, and depth-1 change points at random step numbers where the
// running thread drops below everyone; the highest-priority thread that can go goes.

#include "scheduler/choose.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "scheduler/baton.h"
#include "scheduler/records.h"

namespace sched {

namespace {

constexpr int kMaxChangePoints = 64;
constexpr std::uint64_t kHighPriorities = std::uint64_t{1} << 40;  // above every dropped one

// Written at start-up; then guarded by the baton.
Plan gPlan;
int gAnswerFd = -1;
std::uint64_t gRandom = 0;
std::int64_t gChangePoints[kMaxChangePoints];
int gChangeCount = 0;
std::uint64_t gChangesDone = 0;  // a bit for each change point applied
std::uint64_t gLowest = kHighPriorities;

std::uint64_t nextRandom() {
  std::uint64_t z = (gRandom += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// The slot of thread TID when it can go, else -1.
int slotIfGoes(int tid, const bool* can) {
  Thread* thread = tid >= 0 ? threadOf(tid) : nullptr;
  return thread != nullptr && thread->live && can[slotOf(thread)] ? slotOf(thread) : -1;
}

int randomPick(const bool* can) {
  int count = 0;
  for (int i = 0; i < gLiveCount; ++i) count += can[slotOf(gLiveThreads[i])] ? 1 : 0;
  int left = static_cast<int>(nextRandom() % static_cast<std::uint64_t>(count));
  for (int i = 0; i < gLiveCount; ++i)
    if (can[slotOf(gLiveThreads[i])] && left-- == 0) return slotOf(gLiveThreads[i]);
  return -1;
}

int highestPriority(const bool* can) {
  int best = -1;
  for (int i = 0; i < gLiveCount; ++i) {
    int t = slotOf(gLiveThreads[i]);
    if (can[t] && (best < 0 || gThreads[t].priority > gThreads[best].priority)) best = t;
  }
  return best;
}

// Reads "T\n" from the companion; -1 for anything else or the end of its answers.
int readAnswer() {
  constexpr std::int64_t kNone = -1;
  std::int64_t value = 0;
  bool digits = false, wrong = false;
  for (;;) {
    char c;
    long n = syscall(SYS_read, gAnswerFd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return kNone;
    if (c == '\n') return digits && !wrong ? static_cast<int>(value) : kNone;
    wrong = wrong || c < '0' || c > '9' || value > 100000000;  // the line is read to its end
    if (!wrong) value = value * 10 + (c - '0');
    digits = true;
  }
}

int askCompanion(std::int64_t k, std::int64_t n, const char* why, int plain, const bool* can) {
  recordBegin("ask");
  recordNumber(k);
  recordNumber(n);
  recordText(why);
  recordNumber(plain);
  recordThreads(can);
  recordEnd();
  recordsFlush();
  return gAnswerFd >= 0 ? readAnswer() : -1;
}

[[noreturn]] void diverge(std::int64_t k, int t) {
  recordBegin("diverged");
  recordNumber(k);
  recordNumber(t);
  recordEnd();
  recordsFlush();
  parkForever();
}

}  // namespace

void startChooser(const char* planText, int answerFd) {
  readPlan(planText, &gPlan);
  gAnswerFd = answerFd;
  gRandom = gPlan.seed;
  if (gPlan.then != Then::kPct) return;
  std::int64_t steps = gPlan.steps > 0 ? gPlan.steps : 1;
  for (int i = 0; i + 1 < gPlan.depth && i < kMaxChangePoints; ++i)
    gChangePoints[gChangeCount++] = 1 + static_cast<std::int64_t>(nextRandom() % steps);
}

void onThreadCreated(Thread* thread) {
  if (gPlan.then != Then::kPct) return;
  bool distinct;
  do {
    thread->priority = kHighPriorities + (nextRandom() >> 24);
    distinct = true;
    for (int i = 0; i < gLiveCount; ++i)
      if (gLiveThreads[i] != thread && gLiveThreads[i]->priority == thread->priority)
        distinct = false;
  } while (!distinct);
}

void beforeDecision(Thread* running, std::int64_t n) {
  for (int i = 0; i < gChangeCount; ++i) {
    if ((gChangesDone & (std::uint64_t{1} << i)) != 0 || gChangePoints[i] > n) continue;
    gChangesDone |= std::uint64_t{1} << i;
    running->priority = --gLowest;
  }
}

int choose(std::int64_t k, std::int64_t n, const char* why, int plain, const bool* can) {
  int planned = nextPick(&gPlan);
  if (planned >= 0) {
    if (slotIfGoes(planned, can) >= 0) return slotIfGoes(planned, can);
    if (gPlan.strict) diverge(k, planned);
  }
  int over = slotIfGoes(overrideFor(gPlan, k), can);
  if (over >= 0) return over;
  int pick = -1;
  switch (gPlan.then) {
    case Then::kRandom:
      pick = randomPick(can);
      break;
    case Then::kPct:
      pick = highestPriority(can);
      break;
    case Then::kAsk:
      pick = slotIfGoes(askCompanion(k, n, why, gThreads[plain].tid, can), can);
      break;
    case Then::kFirst:
      break;
  }
  return pick >= 0 ? pick : plain;
}

}  // namespace sched
