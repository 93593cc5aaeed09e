// A controlled run's lines in the event log, written with nlohmann-json and read back checked.

#include "trace/reading/control_log.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

#include "trace/reading/log_fields.h"

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max() / 2;
constexpr std::int64_t kMaxCount = 1000000000;

std::string hexText(std::uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "%" PRIx64, value);
  return text;
}

std::uint64_t hexOf(const Json& object, const char* name) {
  const std::string text = logString(object, name);
  std::uint64_t value = 0;
  int used = 0;
  if (text.empty() || text.size() > 16 ||
      sscanf(text.c_str(), "%" SCNx64 "%n", &value, &used) != 1 ||
      static_cast<std::size_t>(used) != text.size()) {
    throw LogFault{"\"" + std::string(name) + "\" must be a number in hex"};
  }
  return value;
}

SyncOp opOf(const std::string& name) {
  SyncOp op;
  if (!syncOpOf(name, &op)) throw LogFault{"\"" + name + "\" is no operation the log knows"};
  return op;
}

Json pendingJson(const PendingStep& step) {
  return Json::array({step.tid, syncOpName(step.op), step.oid, step.arg, step.canGo});
}

PendingStep pendingOf(const Json& entry) {
  if (!entry.is_array() || entry.size() != 5 || !entry[0].is_number_integer() ||
      !entry[1].is_string() || !entry[2].is_number_integer() || !entry[3].is_number_integer() ||
      !entry[4].is_boolean()) {
    throw LogFault{"\"threads\" must hold [thread, op, object, arg, can go] for each thread"};
  }
  PendingStep step;
  step.tid = entry[0].get<int>();
  step.op = opOf(entry[1].get<std::string>());
  step.oid = entry[2].get<int>();
  step.arg = entry[3].get<std::int64_t>();
  step.canGo = entry[4].get<bool>();
  return step;
}

// Each kind numbered 1, 2, ... (threads from 0) in the order written.
void inOrder(const char* what, std::int64_t number, std::size_t before, std::int64_t first) {
  if (number != static_cast<std::int64_t>(before) + first) {
    throw LogFault{std::string(what) + " " + std::to_string(number) + " is out of order: " +
                   std::to_string(static_cast<std::int64_t>(before) + first) + " comes next"};
  }
}

void readThread(const Json& object, ControlRecord* control) {
  ProgramThread thread;
  thread.tid = static_cast<int>(logWhole(object, "thread", 0, kMaxCount));
  // The main thread has no line of its own: the others in the order they were made.
  if (!control->threads.empty() && thread.tid <= control->threads.back().tid) {
    throw LogFault{"thread " + std::to_string(thread.tid) + " is out of order"};
  }
  thread.parent = static_cast<int>(logWhole(object, "parent", -1, kMaxCount));
  thread.arg = hexOf(object, "arg");
  control->threads.push_back(thread);
}

void readObject(const Json& object, ControlRecord* control) {
  SyncObject sync;
  sync.oid = static_cast<int>(logWhole(object, "object", 1, kMaxCount));
  inOrder("object", sync.oid, control->objects.size(), 1);
  const Json& mutex = logField(object, "mutex");
  if (!mutex.is_boolean()) throw LogFault{"\"mutex\" must be true or false"};
  sync.mutex = mutex.get<bool>();
  sync.address = hexOf(object, "address");
  sync.offset = logField(object, "offset").is_null() ? -1 : logWhole(object, "offset", 0, kMax);
  sync.initial = static_cast<int>(logWhole(object, "initial", 0, kMaxCount));
  sync.symbol = logString(object, "symbol");
  control->objects.push_back(sync);
}

void readStep(const Json& object, ControlRecord* control) {
  SyncStep step;
  step.n = static_cast<int>(logWhole(object, "step", 1, kMaxCount));
  inOrder("step", step.n, control->steps.size(), 1);
  step.tid = static_cast<int>(logWhole(object, "thread", 0, kMaxCount));
  step.at = Micros{logWhole(object, "us", -kMax, kMax)};
  step.op = opOf(logString(object, "op"));
  step.oid = static_cast<int>(logWhole(object, "object", 0, kMaxCount));
  step.arg = logWhole(object, "arg", -kMax, kMax);
  step.result = static_cast<int>(logWhole(object, "result", 0, 4095));
  step.cause = static_cast<int>(logWhole(object, "cause", 0, kMaxCount));
  control->steps.push_back(step);
}

void readChoice(const Json& object, ControlRecord* control) {
  Choice choice;
  choice.k = static_cast<int>(logWhole(object, "choice", 1, kMaxCount));
  inOrder("choice", choice.k, control->choices.size(), 1);
  choice.beforeStep = static_cast<int>(logWhole(object, "before_step", 1, kMaxCount));
  if (!choiceWhyOf(logString(object, "why"), &choice.why)) {
    throw LogFault{"\"why\" is not go, wake or tie"};
  }
  choice.pick = static_cast<int>(logWhole(object, "pick", 0, kMaxCount));
  choice.plainPick = static_cast<int>(logWhole(object, "plain", 0, kMaxCount));
  const Json& threads = logField(object, "threads");
  if (!threads.is_array()) throw LogFault{"\"threads\" must be a list"};
  for (const Json& entry : threads) choice.threads.push_back(pendingOf(entry));
  control->choices.push_back(std::move(choice));
}

}  // namespace

void putControlHeader(const ControlRecord& control, Json* header) {
  if (!control.controlled) return;
  (*header)["controlled"] = true;
  (*header)["plan"] = control.plan;
  (*header)["program_digest"] = control.programDigest;
}

void readControlHeader(const Json& header, ControlRecord* control) {
  if (!header.contains("controlled")) return;
  const Json& controlled = logField(header, "controlled");
  if (!controlled.is_boolean()) throw LogFault{"\"controlled\" must be true or false"};
  control->controlled = controlled.get<bool>();
  if (!control->controlled) return;
  control->plan = logString(header, "plan");
  control->programDigest = logString(header, "program_digest");
}

std::string controlLogLines(const ControlRecord& control) {
  if (!control.controlled) return std::string();
  std::string out;
  for (const ProgramThread& thread : control.threads) {
    out +=
        oneLine({{"thread", thread.tid}, {"parent", thread.parent}, {"arg", hexText(thread.arg)}}) +
        "\n";
  }
  for (const SyncObject& object : control.objects) {
    out += oneLine({{"object", object.oid},
                    {"mutex", object.mutex},
                    {"address", hexText(object.address)},
                    {"offset", object.offset >= 0 ? Json(object.offset) : Json(nullptr)},
                    {"initial", object.initial},
                    {"symbol", object.symbol}}) +
           "\n";
  }
  for (const SyncStep& step : control.steps) {
    out += oneLine({{"step", step.n},
                    {"thread", step.tid},
                    {"us", step.at.count},
                    {"op", syncOpName(step.op)},
                    {"object", step.oid},
                    {"arg", step.arg},
                    {"result", step.result},
                    {"cause", step.cause}}) +
           "\n";
  }
  for (const Choice& choice : control.choices) {
    Json threads = Json::array();
    for (const PendingStep& step : choice.threads) threads.push_back(pendingJson(step));
    out += oneLine({{"choice", choice.k},
                    {"before_step", choice.beforeStep},
                    {"why", choiceWhyName(choice.why)},
                    {"pick", choice.pick},
                    {"plain", choice.plainPick},
                    {"threads", std::move(threads)}}) +
           "\n";
  }
  return out;
}

bool readControlLine(const Json& object, ControlRecord* control) {
  // A step names its thread and object too: the kinds are told apart in this order.
  using Reader = void (*)(const Json&, ControlRecord*);
  const std::pair<const char*, Reader> kinds[] = {
      {"step", readStep}, {"choice", readChoice}, {"object", readObject}, {"thread", readThread}};
  for (const auto& [key, reader] : kinds) {
    if (!object.contains(key)) continue;
    if (!control->controlled) throw LogFault{"a controlled run's line in a real-time run's log"};
    reader(object, control);
    return true;
  }
  return false;
}
