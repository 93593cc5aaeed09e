// The Chrome trace of a run: Trace Event objects built with nlohmann-json, times in microseconds.

#include "trace/files/chrome_trace.h"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace {

using Json = nlohmann::ordered_json;

constexpr int kPid = 1;
constexpr int kBarberTid = 1;  // customers follow in roster order, then the exact schedule

class Trace {
 public:
  explicit Trace(const ReportRun& run) : run_(run), record_(run.logged.record) {}

  Json build() {
    const Analysis& a = run_.analysis;
    const int exactTid = kBarberTid + static_cast<int>(a.customers.size()) + 1;
    meta(0, "process_name", {{"name", "barbershop run " + std::to_string(record_.number)}});
    thread(kBarberTid, "Barber");
    for (std::size_t i = 0; i < a.customers.size(); ++i) {
      thread(customerTid(i), "Customer " + a.customers[i].id);
    }
    thread(exactTid, "Barber, exact schedule");

    for (const BarberSpan& span : a.barber) {
      if (span.customer.empty()) {
        complete(kBarberTid, "asleep", "barber", span.fromMs, span.toMs,
                 lineAt(record_, "", span.fromMs, {Kind::kBarberToBed}));
      } else {
        complete(kBarberTid, "cutting " + span.customer, "barber", span.fromMs, span.toMs,
                 lineAt(record_, span.customer, span.fromMs, {Kind::kStartCutting}));
      }
    }
    for (std::size_t i = 0; i < a.customers.size(); ++i) customer(i);
    for (const CustomerStory& story : a.customers) {
      if (story.planned.startMs < 0) continue;
      Json args = {{"arrives_ms", story.planned.arrivalMs}};
      event("X", exactTid, "cutting " + story.id, "exact", usOf(story.planned.startMs),
            {{"dur", (story.planned.finishMs - story.planned.startMs) * 1000},
             {"args", std::move(args)}});
    }
    for (const QueuePoint& point : a.queue) {
      event("C", 0, "queue", "queue", usOf(point.ms), {{"args", {{"waiting", point.length}}}});
    }
    for (const Finding& finding : run_.verdict.broken) {
      Json args = {{"what", finding.what}};
      std::int64_t us = record_.endUs;
      if (!finding.events.empty()) {
        const Event& first = record_.events[finding.events.front()];
        us = first.us;
        Json lines = Json::array();
        for (std::size_t index : finding.events) lines.push_back(narration(record_.events[index]));
        args["narration"] = std::move(lines);
      }
      event("i", 0, "broken: " + finding.rule, "verdict", us, {{"s", "g"}, {"args", args}});
    }
    Json other = {{"version", run_.logged.version},
                  {"program", run_.logged.program},
                  {"run", record_.number},
                  {"started_unix_ms", record_.startedUnixMs},
                  {"verdict", verdictHeadline(run_)}};
    if (!run_.logged.incomplete.empty()) other["incomplete"] = run_.logged.incomplete;
    return {{"displayTimeUnit", "ms"}, {"otherData", other}, {"traceEvents", events_}};
  }

 private:
  static int customerTid(std::size_t i) { return kBarberTid + 1 + static_cast<int>(i); }

  void event(const char* phase, int tid, const std::string& name, const char* category,
             std::int64_t us, Json more) {
    Json one = {{"ph", phase},  {"pid", kPid},     {"tid", tid},
                {"name", name}, {"cat", category}, {"ts", us}};
    for (auto& [key, value] : more.items()) one[key] = value;
    events_.push_back(std::move(one));
  }

  void meta(int tid, const char* name, Json args) {
    events_.push_back(
        {{"ph", "M"}, {"pid", kPid}, {"tid", tid}, {"name", name}, {"args", std::move(args)}});
  }

  void thread(int tid, const std::string& name) {
    meta(tid, "thread_name", {{"name", name}});
    meta(tid, "thread_sort_index", {{"sort_index", tid}});
  }

  Json narrated(std::optional<std::size_t> line) const {
    // Only the barber's first sleep has no line of its own: he went to bed in the run before.
    if (!line) return {{"narration", ""}};
    return {{"narration", narration(record_.events[*line])}};
  }

  void complete(int tid, const std::string& name, const char* category, double fromMs, double toMs,
                std::optional<std::size_t> line) {
    const std::int64_t from = usOf(fromMs);
    event("X", tid, name, category, from,
          {{"dur", std::max<std::int64_t>(0, usOf(toMs) - from)}, {"args", narrated(line)}});
  }

  void instant(int tid, const std::string& name, double ms, std::optional<std::size_t> line) {
    event("i", tid, name, "customer", usOf(ms), {{"s", "t"}, {"args", narrated(line)}});
  }

  void customer(std::size_t i) {
    const CustomerStory& s = run_.analysis.customers[i];
    const int tid = customerTid(i);
    const double endMs = run_.analysis.endMs;
    if (s.arrivalMs) instant(tid, "arrives", *s.arrivalMs, lineAt(record_, s.id, *s.arrivalMs));
    if (s.satMs) {
      complete(tid, "waiting in the queue", "customer", *s.satMs,
               s.cutStartMs.value_or(s.leftMs.value_or(endMs)),
               lineAt(record_, s.id, *s.satMs, {Kind::kGotChair}));
    }
    if (s.cutStartMs) {
      complete(tid, "in the chair", "customer", *s.cutStartMs, s.cutFinishMs.value_or(endMs),
               lineAt(record_, s.id, *s.cutStartMs, {Kind::kStartCutting}));
    }
    if (!s.leftMs) return;
    if (s.outcome == Outcome::kAwayQueueFull || s.outcome == Outcome::kAwayNoChair) {
      instant(tid,
              std::string("goes away: ") +
                  (s.outcome == Outcome::kAwayQueueFull ? "queue full" : "no chair"),
              *s.leftMs, lineAt(record_, s.id, *s.leftMs, {Kind::kQueueFull, Kind::kNoChair}));
    } else {
      instant(tid, "leaves, cut", *s.leftMs, lineAt(record_, s.id, *s.leftMs, {Kind::kLeaveCut}));
    }
  }

  const ReportRun& run_;
  const RunRecord& record_;
  Json events_ = Json::array();
};

}  // namespace

std::string traceText(const ReportRun& run) {
  return Trace(run).build().dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}
