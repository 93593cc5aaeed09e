// The Chrome trace of a run: Trace Event objects built with nlohmann-json, times in microseconds.

#include "trace/files/chrome_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "trace/common/json_text.h"
#include "trace/common/micros.h"
#include "trace/common/utf8.h"

namespace {

constexpr int kPid = 1;
constexpr int kBarberTid = 1;  // customers follow in roster order, then the exact schedule

class Trace {
 public:
  explicit Trace(const FinishedRun& run) : run_(run), record_(run.record) {}

  Json build() {
    threads();
    for (const BarberStay& stay : run_.story.barber) barberSpan(stay);
    for (std::size_t who = 0; who < run_.story.visits.size(); ++who) {
      customer(static_cast<int>(who), run_.story.visits[who]);
    }
    exactSchedule();
    for (const QueueStep& step : run_.story.queue) {
      event("C", 0, "queue", "queue", step.at.count, {{"args", {{"waiting", step.length}}}});
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

  void complete(int tid, const std::string& title, const char* category, Micros from, Micros to,
                std::optional<std::size_t> line) {
    event("X", tid, title, category, from.count,
          {{"dur", std::max<std::int64_t>(0, (to - from).count)}, {"args", narrated(line)}});
  }

  void instant(int tid, const std::string& title, const Moment& moment) {
    event("i", tid, title, "customer", moment.at.count,
          {{"s", "t"}, {"args", narrated(moment.line)}});
  }

  // His sleep and his cuts; awake between them is the gap.
  void barberSpan(const BarberStay& stay) {
    if (stay.doing == BarberDoing::kAwake) return;
    const std::string title =
        stay.doing == BarberDoing::kAsleep ? "asleep" : "cutting " + name(stay.who);
    complete(kBarberTid, title, "barber", stay.from, stay.to, stay.line);
  }

  // Its stays while waiting or being cut, as the story tells them, and its first and last line.
  void customer(int who, const Visit& v) {
    const int tid = customerTid(who);
    if (v.arrived) instant(tid, "arrives", *v.arrived);
    for (const Stay& stay : v.stays) {
      if (stay.to <= stay.from) continue;
      if (stay.cutting) {
        complete(tid, "in the chair", "customer", stay.from, stay.to, stay.line);
      } else if (stay.place == Place::kQueue || stay.place == Place::kDoor ||
                 stay.place == Place::kChair) {
        complete(tid, placeWords(stay.place), "customer", stay.from, stay.to, stay.line);
      }
    }
    if (!v.left) return;
    const std::string title = wentAway(v.outcome) ? std::string(wordsOf(v.outcome).words)
                              : v.leftEarly       ? "leaves before the cut is done"
                                                  : "leaves, cut";
    instant(tid, title, *v.left);
  }

  void exactSchedule() {
    for (const CustomerStory& story : run_.analysis.customers) {
      if (story.planned.startMs < 0) continue;
      const Micros start = Micros::ofMs(story.planned.startMs);
      event("X", exactTid(), "cutting " + name(story.who), "exact", start.count,
            {{"dur", (Micros::ofMs(story.planned.finishMs) - start).count},
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
