// Reads the plan's `key=value;...` text without allocating: the picks stay in the environment's
// own string and are read as the choices come.

#include "scheduler/plan.h"

namespace sched {

namespace {

bool startsWith(const char* text, const char* prefix) {
  while (*prefix != '\0')
    if (*text++ != *prefix++) return false;
  return true;
}

// Reads an unsigned number at *text, moving past it; false when there is no digit.
bool readNumber(const char** text, std::uint64_t* value) {
  const char* p = *text;
  std::uint64_t v = 0;
  while (*p >= '0' && *p <= '9') v = v * 10 + static_cast<std::uint64_t>(*p++ - '0');
  if (p == *text) return false;
  *text = p;
  *value = v;
  return true;
}

void readOverrides(const char* p, Plan* plan) {
  std::uint64_t k, t;
  while (plan->overrideCount < kMaxOverrides && readNumber(&p, &k) && *p++ == ':' &&
         readNumber(&p, &t)) {
    plan->overrides[plan->overrideCount++] = {static_cast<std::int64_t>(k), static_cast<int>(t)};
    if (*p != ',') break;
    ++p;
  }
}

void readPair(const char* p, Plan* plan) {
  std::uint64_t v = 0;
  if (startsWith(p, "then=")) {
    p += 5;
    if (startsWith(p, "random")) plan->then = Then::kRandom;
    if (startsWith(p, "pct")) plan->then = Then::kPct;
    if (startsWith(p, "ask")) plan->then = Then::kAsk;
    if (startsWith(p, "first")) plan->then = Then::kFirst;
  } else if (startsWith(p, "seed=") && (p += 5, readNumber(&p, &v))) {
    plan->seed = v;
  } else if (startsWith(p, "depth=") && (p += 6, readNumber(&p, &v))) {
    plan->depth = static_cast<int>(v);
  } else if (startsWith(p, "steps=") && (p += 6, readNumber(&p, &v))) {
    plan->steps = static_cast<std::int64_t>(v);
  } else if (startsWith(p, "picks=")) {
    plan->picks = p + 6;
  } else if (startsWith(p, "strict=")) {
    plan->strict = p[7] == '1';
  } else if (startsWith(p, "over=")) {
    readOverrides(p + 5, plan);
  }
}

}  // namespace

void readPlan(const char* text, Plan* plan) {
  for (const char* p = text; p != nullptr && *p != '\0';) {
    readPair(p, plan);
    while (*p != '\0' && *p != ';') ++p;
    if (*p == ';') ++p;
  }
}

int nextPick(Plan* plan) {
  const char* p = plan->picks;
  std::uint64_t t;
  if (p == nullptr || !readNumber(&p, &t)) {
    plan->picks = nullptr;
    return -1;
  }
  plan->picks = *p == ',' ? p + 1 : nullptr;
  return static_cast<int>(t);
}

int overrideFor(const Plan& plan, std::int64_t k) {
  for (int i = 0; i < plan.overrideCount; ++i)
    if (plan.overrides[i].choice == k) return plan.overrides[i].tid;
  return -1;
}

}  // namespace sched
