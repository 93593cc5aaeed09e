// The Chrome trace of a run: Trace Event objects built with nlohmann-json, times in microseconds.

#include "trace/files/chrome_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "trace/common/json_text.h"
#include "trace/common/utf8.h"

namespace {

constexpr int kPid = 1;
constexpr int kBarberTid = 1;  // customers follow in roster order, then the exact schedule

std::int64_t usOf(double ms) { return std::llround(ms * 1000.0); }

class Trace {
 public:
  explicit Trace(const FinishedRun& run) : run_(run), record_(run.record) {}

  Json build() {
    threads();
    for (const BarberSpan& span : run_.analysis.barber) barberSpan(span);
    for (const CustomerStory& story : run_.analysis.customers) customer(story);
    exactSchedule();
    for (const QueuePoint& point : run_.analysis.queue) {
      event("C", 0, "queue", "queue", usOf(point.ms), {{"args", {{"waiting", point.length}}}});
    }
    for (const Finding& finding : run_.verdict.broken) broken(finding);
    Json other = {{"version", record_.writtenBy}};
    putText(other, "program", record_.program);
    other["run"] = record_.number;
    other["started_unix_ms"] = record_.startedUnixMs;
    other["verdict"] = verdictHeadline(run_.verdict);
    if (!record_.incomplete.empty()) other["incomplete"] = record_.incomplete;
    return {{"displayTimeUnit", "ms"}, {"otherData", other}, {"traceEvents", events_}};
  }

 private:
  static int customerTid(int who) { return kBarberTid + 1 + who; }
  int exactTid() const { return customerTid(static_cast<int>(record_.roster.size())); }
  std::string name(int who) const { return visible(customerName(record_.roster, who)); }

  void event(const char* phase, int tid, const std::string& title, const char* category,
             std::int64_t us, Json more) {
    Json one = {{"ph", phase},   {"pid", kPid},     {"tid", tid},
                {"name", title}, {"cat", category}, {"ts", us}};
    for (auto& [key, value] : more.items()) one[key] = value;
    events_.push_back(std::move(one));
  }

  void meta(int tid, const char* title, Json args) {
    events_.push_back(
        {{"ph", "M"}, {"pid", kPid}, {"tid", tid}, {"name", title}, {"args", std::move(args)}});
  }

  void thread(int tid, const std::string& title) {
    meta(tid, "thread_name", {{"name", title}});
    meta(tid, "thread_sort_index", {{"sort_index", tid}});
  }

  void threads() {
    meta(0, "process_name", {{"name", "barbershop run " + std::to_string(record_.number)}});
    thread(kBarberTid, "Barber");
    for (const CustomerStory& story : run_.analysis.customers) {
      thread(customerTid(story.who), "Customer " + name(story.who));
    }
    thread(exactTid(), "Barber, exact schedule");
  }

  // The narration line behind a mark; only the barber's first sleep has none: he went to bed in
  // the run before.
  Json narrated(std::optional<std::size_t> line) const {
    Json args = Json::object();
    putText(args, "narration", line ? narration(record_.events[*line]) : std::string());
    return args;
  }

  void complete(int tid, const std::string& title, const char* category, double fromMs, double toMs,
                std::optional<std::size_t> line) {
    const std::int64_t from = usOf(fromMs);
    event("X", tid, title, category, from,
          {{"dur", std::max<std::int64_t>(0, usOf(toMs) - from)}, {"args", narrated(line)}});
  }

  void instant(int tid, const std::string& title, double ms, std::optional<std::size_t> line) {
    event("i", tid, title, "customer", usOf(ms), {{"s", "t"}, {"args", narrated(line)}});
  }

  void barberSpan(const BarberSpan& span) {
    const std::string title = span.who < 0 ? "asleep" : "cutting " + name(span.who);
    complete(kBarberTid, title, "barber", span.fromMs, span.toMs, span.line);
  }

  void customer(const CustomerStory& s) {
    const int tid = customerTid(s.who);
    const double endMs = run_.analysis.endMs;
    if (s.arrivalMs) instant(tid, "arrives", *s.arrivalMs, s.arrivalLine);
    if (s.satMs) {
      complete(tid, "waiting in the queue", "customer", *s.satMs,
               s.cutStartMs.value_or(s.leftMs.value_or(endMs)), s.satLine);
    }
    if (s.cutStartMs) {
      complete(tid, "in the chair", "customer", *s.cutStartMs, s.cutFinishMs.value_or(endMs),
               s.cutStartLine);
    }
    if (!s.leftMs) return;
    instant(tid, wentAway(s.outcome) ? std::string(wordsOf(s.outcome).words) : "leaves, cut",
            *s.leftMs, s.leftLine);
  }

  void exactSchedule() {
    for (const CustomerStory& story : run_.analysis.customers) {
      if (story.planned.startMs < 0) continue;
      event("X", exactTid(), "cutting " + name(story.who), "exact", usOf(story.planned.startMs),
            {{"dur", (story.planned.finishMs - story.planned.startMs) * 1000},
             {"args", {{"arrives_ms", story.planned.arrivalMs}}}});
    }
  }

  void broken(const Finding& finding) {
    Json args = Json::object();
    putText(args, "what", finding.what);
    std::int64_t us = record_.endUs;
    if (!finding.events.empty()) {
      us = record_.events[finding.events.front()].us;
      std::vector<std::string> lines;
      for (std::size_t index : finding.events) lines.push_back(narration(record_.events[index]));
      putTexts(args, "narration", lines);
    }
    event("i", 0, "broken: " + finding.rule, "verdict", us, {{"s", "g"}, {"args", args}});
  }

  const FinishedRun& run_;
  const RunRecord& record_;
  Json events_ = Json::array();
};

}  // namespace

std::string traceText(const FinishedRun& run) {
  return Trace(run).build().dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}
