// The names of a controlled run's operations and choices, as the scheduler's records and the
// event log spell them: one table each, read both ways.

#include "trace/reading/control.h"

#include <iterator>

namespace {

struct OpName {
  SyncOp op;
  const char* name;
};

constexpr OpName kOpNames[] = {
    {SyncOp::kStart, "start"},         {SyncOp::kCreate, "create"},
    {SyncOp::kJoin, "join"},           {SyncOp::kExit, "exit"},
    {SyncOp::kLock, "lock"},           {SyncOp::kTimedLock, "timedlock"},
    {SyncOp::kTryLock, "trylock"},     {SyncOp::kUnlock, "unlock"},
    {SyncOp::kSemInit, "seminit"},     {SyncOp::kWait, "wait"},
    {SyncOp::kTimedWait, "timedwait"}, {SyncOp::kTryWait, "trywait"},
    {SyncOp::kPost, "post"},           {SyncOp::kSleep, "sleep"},
    {SyncOp::kPrint, "print"},         {SyncOp::kInput, "input"},
};

struct WhyName {
  ChoiceWhy why;
  const char* name;
};

constexpr WhyName kWhyNames[] = {
    {ChoiceWhy::kGo, "go"}, {ChoiceWhy::kWake, "wake"}, {ChoiceWhy::kTie, "tie"}};

}  // namespace

const char* syncOpName(SyncOp op) {
  for (const OpName& each : kOpNames) {
    if (each.op == op) return each.name;
  }
  return "?";
}

bool syncOpOf(const std::string& name, SyncOp* op) {
  for (const OpName& each : kOpNames) {
    if (name == each.name) {
      *op = each.op;
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
