// The names of a controlled run's operations (the scheduler's own table) and choices, as the
// scheduler's records and the event log spell them, read both ways.

#include "trace/reading/control.h"

#include <iterator>

namespace {

struct WhyName {
  ChoiceWhy why;
  const char* name;
};

constexpr WhyName kWhyNames[] = {
    {ChoiceWhy::kGo, "go"}, {ChoiceWhy::kWake, "wake"}, {ChoiceWhy::kTie, "tie"}};

}  // namespace

const char* syncOpName(SyncOp op) {
  const auto index = static_cast<std::size_t>(op);
  return index < std::size(control::kOpNames) ? control::kOpNames[index] : "?";
}

bool syncOpOf(const std::string& name, SyncOp* op) {
  for (std::size_t index = 0; index < std::size(control::kOpNames); ++index) {
    if (name == control::kOpNames[index]) {
      *op = static_cast<SyncOp>(index);
      return true;
    }
  }
  return false;
}

const char* choiceWhyName(ChoiceWhy why) {
  for (const WhyName& each : kWhyNames) {
    if (each.why == why) return each.name;
  }
  return "?";
}

bool choiceWhyOf(const std::string& name, ChoiceWhy* why) {
  for (const WhyName& each : kWhyNames) {
    if (name == each.name) {
      *why = each.why;
      return true;
    }
  }
  return false;
}
