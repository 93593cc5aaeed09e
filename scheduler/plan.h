#ifndef BARBERSHOP_SCHEDULER_PLAN_H_
#define BARBERSHOP_SCHEDULER_PLAN_H_
// The plan a controlled run follows, read once from BARBERSHOP_CONTROL_PLAN at start-up
// (grammar in scheduler/protocol.h). Written before the program's main; read by the thread
// holding the baton afterwards.

#include <cstdint>

namespace sched {

enum class Then { kFirst, kRandom, kPct, kAsk };

constexpr int kMaxOverrides = 256;

struct Override {
  std::int64_t choice;
  int tid;
};

struct Plan {
  Then then = Then::kFirst;
  std::uint64_t seed = 0;
  int depth = 3;
  std::int64_t steps = 1000;
  const char* picks = nullptr;  // the rest of "T1,T2,...", consumed one choice at a time
  bool strict = false;
  Override overrides[kMaxOverrides];
  int overrideCount = 0;
};

// Reads TEXT (may be null: the default plan). Unknown keys and malformed values are ignored.
void readPlan(const char* text, Plan* plan);

// The next planned pick, or -1 when the list is used up.
int nextPick(Plan* plan);

// The override for choice K, or -1.
int overrideFor(const Plan& plan, std::int64_t k);

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_PLAN_H_
