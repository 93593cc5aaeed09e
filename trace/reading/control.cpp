// The names of a controlled run's operations (the scheduler's own table) and choices, as the
// scheduler's records and the event log spell them, read both ways.

#include "trace/reading/control.h"

#include <array>
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

bool syncOpOf(std::string_view name, SyncOp* op) {
  // Measured once: a controlled run reads an operation's name in every one of its records.
  static const auto kNames = [] {
    std::array<std::string_view, std::size(control::kOpNames)> names;
    for (std::size_t index = 0; index < names.size(); ++index)
      names[index] = control::kOpNames[index];
    return names;
  }();
  for (std::size_t index = 0; index < kNames.size(); ++index) {
    if (name == kNames[index]) {
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

bool choiceWhyOf(std::string_view name, ChoiceWhy* why) {
  for (const WhyName& each : kWhyNames) {
    if (name == std::string_view(each.name)) {
      *why = each.why;
      return true;
    }
  }
  return false;
}
