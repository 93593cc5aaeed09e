// The scheduler library's records read, gathered and paired with the program's output.

#include "trace/relay/control_link.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace {

struct Fields {
  std::vector<std::string_view> items;
  std::size_t size() const { return items.size(); }
  std::string_view operator[](std::size_t i) const { return items[i]; }
};

Fields split(std::string_view line) {
  Fields fields;
  fields.items.reserve(16);  // a step's nine, or a choice over a full house's threads
  std::size_t at = 0;
  while (at <= line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    fields.items.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

// A field that is not what its place wants: thrown by the readers below, caught once.
struct Bad {
  std::string what;
};

template <typename T>
T number(std::string_view text, int base, const char* what) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [stop, rc] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || rc != std::errc() || stop != end) {
    throw Bad{std::string(what) + " is \"" + std::string(text) + "\", not a number"};
  }
  return value;
}

std::int64_t decimal(std::string_view text, const char* what) {
  return number<std::int64_t>(text, 10, what);
}
int small(std::string_view text, const char* what) {
  return static_cast<int>(number<int>(text, 10, what));
}
std::uint64_t hex(std::string_view text, const char* what) {
  return number<std::uint64_t>(text, 16, what);
}
// A field that may be "-" for none.
std::int64_t decimalOr(std::string_view text, std::int64_t none, const char* what) {
  return text == "-" ? none : decimal(text, what);
}

SyncOp opOf(std::string_view text) {
  SyncOp op;
  if (!syncOpOf(text, &op)) throw Bad{"\"" + std::string(text) + "\" is no operation"};
  return op;
}

void need(const Fields& fields, std::size_t count, bool orMore = false) {
  if (fields.size() == count || (orMore && fields.size() > count)) return;
  throw Bad{"\"" + std::string(fields[0]) + "\" has " + std::to_string(fields.size() - 1) +
            " fields, not " + std::to_string(count - 1)};
}

PendingStep pendingOf(std::string_view text) {
  std::string_view parts[5];
  std::size_t count = 0, at = 0;
  while (at <= text.size() && count <= 5) {
    const std::size_t end = std::min(text.find(':', at), text.size());
    if (count < 5) parts[count] = text.substr(at, end - at);
    ++count;
    at = end + 1;
  }
  if (count != 5) throw Bad{"\"" + std::string(text) + "\" is not T:OP:OBJ:ARG:G"};
  PendingStep step;
  step.tid = small(parts[0], "a thread");
  step.op = opOf(parts[1]);
  step.oid = small(parts[2], "an object");
  step.arg = decimalOr(parts[3], 0, "an argument");
  if (parts[4] != "0" && parts[4] != "1") throw Bad{"can-go is neither 0 nor 1"};
  step.canGo = parts[4] == "1";
  return step;
}

// choice K N WHY PICK DEFAULT THREADS..., or ask K N WHY DEFAULT THREADS...
Choice choiceOf(const Fields& fields, bool ask) {
  const std::size_t first = ask ? 5 : 6;
  need(fields, first, true);
  Choice choice;
  choice.k = small(fields[1], "a choice");
  choice.beforeStep = small(fields[2], "a step");
  if (!choiceWhyOf(fields[3], &choice.why)) throw Bad{"no such reason for a choice"};
  choice.pick = ask ? -1 : small(fields[4], "a pick");
  choice.plainPick = small(fields[ask ? 4 : 5], "a default");
  for (std::size_t i = first; i < fields.size(); ++i)
    choice.threads.push_back(pendingOf(fields[i]));
  return choice;
}

SyncStep stepOf(const Fields& fields, std::int64_t* ns) {
  need(fields, 9);
  SyncStep step;
  step.n = small(fields[1], "a step");
  step.tid = small(fields[2], "a thread");
  *ns = decimal(fields[3], "a time");
  step.op = opOf(fields[4]);
  step.oid = small(fields[5], "an object");
  step.arg = decimalOr(fields[6], 0, "an argument");
  step.result = small(fields[7], "a result");
  step.cause = small(fields[8], "a cause");
  return step;
}

SyncObject objectOf(const Fields& fields) {
  need(fields, 6);
  SyncObject object;
  object.oid = small(fields[1], "an object");
  if (fields[2] != "m" && fields[2] != "s") throw Bad{"an object's kind is m or s"};
  object.mutex = fields[2] == "m";
  object.address = hex(fields[3], "an address");
  object.offset = fields[4] == "-" ? -1 : static_cast<std::int64_t>(hex(fields[4], "an offset"));
  object.initial = static_cast<int>(decimalOr(fields[5], 0, "a count"));
  return object;
}

void read(const Fields& fields, ControlLine* out) {
  const std::string_view kind = fields[0];
  if (kind == "hello") {
    need(fields, 3);
    out->kind = RecordKind::kHello;
    out->pid = small(fields[1], "a pid");
    out->base = hex(fields[2], "a base");
  } else if (kind == "thread") {
    need(fields, 4);
    out->kind = RecordKind::kThread;
    out->thread.tid = small(fields[1], "a thread");
    out->thread.parent = static_cast<int>(decimalOr(fields[2], -1, "a parent"));
    out->thread.arg = hex(fields[3], "an argument");
  } else if (kind == "object") {
    out->kind = RecordKind::kObject;
    out->object = objectOf(fields);
  } else if (kind == "step") {
    out->kind = RecordKind::kStep;
    out->step = stepOf(fields, &out->ns);
  } else if (kind == "choice" || kind == "ask") {
    out->kind = kind == "ask" ? RecordKind::kAsk : RecordKind::kChoice;
    out->choice = choiceOf(fields, kind == "ask");
  } else if (kind == "stuck") {
    need(fields, 2);
    out->kind = RecordKind::kStuck;
    out->ns = decimal(fields[1], "a time");
  } else if (kind == "diverged") {
    need(fields, 3);
    out->kind = RecordKind::kDiverged;
    out->k = small(fields[1], "a choice");
    out->tid = small(fields[2], "a thread");
  } else if (kind == "exit") {
    need(fields, 3);
    out->kind = RecordKind::kExit;
    out->ns = decimal(fields[1], "a time");
    out->status = small(fields[2], "a status");
  } else {
    throw Bad{"\"" + std::string(kind) + "\" is no record"};
  }
}

std::int64_t microsOf(std::int64_t ns) { return ns / 1000; }

}  // namespace

bool parseControlLine(std::string_view line, ControlLine* out, std::string* error) {
  *out = ControlLine{};
  try {
    read(split(line), out);
    return true;
  } catch (const Bad& bad) {
    *error = "record \"" + std::string(line) + "\": " + bad.what;
    return false;
  }
}

std::vector<std::string> ControlLines::feed(std::string_view chunk) {
  partial_.append(chunk);
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = partial_.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(partial_.substr(at, end - at));
  }
  partial_.erase(0, at);
  return lines;
}

std::int64_t planIdleUs(const std::string& plan, std::int64_t otherwise) {
  const std::string key = "idle_ms=";
  for (std::size_t at = 0; at < plan.size();) {
    const std::size_t end = std::min(plan.find(';', at), plan.size());
    if (plan.compare(at, key.size(), key) == 0) {
      const std::string_view value(plan.data() + at + key.size(), end - at - key.size());
      std::int64_t ms = 0;
      const auto [stop, rc] = std::from_chars(value.data(), value.data() + value.size(), ms);
      if (rc == std::errc() && stop == value.data() + value.size() && ms > 0) return ms * 1000;
    }
    at = end + 1;
  }
  return otherwise;
}

bool argIsDeadline(SyncOp op) {
  return op == SyncOp::kSleep || op == SyncOp::kTimedLock || op == SyncOp::kTimedWait;
}

void ControlGatherer::add(const ControlLine& line) {
  switch (line.kind) {
    case RecordKind::kThread:
      threads_.push_back(line.thread);
      return;
    case RecordKind::kObject: {
      SyncObject object = line.object;
      if (object.offset >= 0 && symbolAt_) {
        object.symbol = symbolAt_(static_cast<std::uint64_t>(object.offset));
      }
      objects_.push_back(std::move(object));
      return;
    }
    case RecordKind::kStep: {
      SyncStep step = line.step;
      step.at = Micros{line.ns};
      steps_.push_back(step);
      turn_ = step.tid;
      return;
    }
    case RecordKind::kChoice:
      choices_.push_back(line.choice);
      turn_ = line.choice.pick;
      return;
    default:
      return;
  }
}

ControlRecord ControlGatherer::record(std::int64_t runNs, const std::string& plan,
                                      const std::string& digest) const {
  ControlRecord out;
  out.controlled = true;
  out.plan = plan;
  out.programDigest = digest;
  out.threads = threads_;
  out.objects = objects_;
  // Both ends to whole µs first, so a time and the Run it is measured from round alike.
  const std::int64_t runUs = microsOf(runNs);
  const auto onRunClock = [&](std::int64_t ns) { return microsOf(ns) - runUs; };
  out.steps = steps_;
  for (SyncStep& step : out.steps) {
    step.at = Micros{onRunClock(step.at.count)};
    if (argIsDeadline(step.op)) step.arg = onRunClock(step.arg);
  }
  out.choices = choices_;
  for (Choice& choice : out.choices) {
    for (PendingStep& thread : choice.threads) {
      if (argIsDeadline(thread.op)) thread.arg = onRunClock(thread.arg);
    }
  }
  return out;
}

void StampedOutput::bytes(std::string_view chunk) { waiting_.append(chunk); }

void StampedOutput::printed(std::int64_t count, std::int64_t ns) {
  lastNs_ = ns;
  if (count > 0) prints_.push_back({count, ns});
}

std::int64_t StampedOutput::owed() const {
  std::int64_t total = -static_cast<std::int64_t>(waiting_.size());
  for (const Print& print : prints_) total += print.count;
  return std::max<std::int64_t>(total, 0);
}

std::vector<StampedOutput::Piece> StampedOutput::take() {
  std::vector<Piece> pieces;
  std::size_t used = 0;
  while (used < waiting_.size() && !prints_.empty()) {
    Print& print = prints_.front();
    const std::size_t n = std::min(waiting_.size() - used, static_cast<std::size_t>(print.count));
    if (!pieces.empty() && pieces.back().ns == print.ns) {
      pieces.back().bytes.append(waiting_, used, n);
    } else {
      pieces.push_back({waiting_.substr(used, n), print.ns});
    }
    used += n;
    print.count -= static_cast<std::int64_t>(n);
    if (print.count == 0) prints_.pop_front();
  }
  if (unpaired_ && used < waiting_.size()) {
    pieces.push_back({waiting_.substr(used), lastNs_});
    used = waiting_.size();
  }
  waiting_.erase(0, used);
  return pieces;
}

namespace {

std::string pendingWords(const PendingStep& step) {
  std::string text = "thread " + std::to_string(step.tid) + " " + syncOpName(step.op);
  if (step.oid != 0) text += " object " + std::to_string(step.oid);
  if (!step.canGo) text += " (cannot go)";
  return text;
}

std::string threadsWords(const std::vector<PendingStep>& threads) {
  std::string text;
  for (const PendingStep& step : threads) text += (text.empty() ? "" : ", ") + pendingWords(step);
  return text.empty() ? "no thread" : text;
}

bool sameOffer(const PendingStep& a, const PendingStep& b) {
  return a.tid == b.tid && a.op == b.op && a.oid == b.oid && a.canGo == b.canGo;
}

}  // namespace

std::string choiceDifference(const Choice& logged, const Choice& offered) {
  const bool same = logged.beforeStep == offered.beforeStep &&
                    std::equal(logged.threads.begin(), logged.threads.end(),
                               offered.threads.begin(), offered.threads.end(), sameOffer);
  if (same) return std::string();
  return "at choice " + std::to_string(logged.k) + " (step " + std::to_string(logged.beforeStep) +
         ") the log has " + threadsWords(logged.threads) + "; the program offered " +
         threadsWords(offered.threads) +
         (logged.beforeStep != offered.beforeStep
              ? " before step " + std::to_string(offered.beforeStep)
              : std::string());
}
