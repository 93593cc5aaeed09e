// JSON for runs and schedules.

#include "trace/files/export.h"

namespace {

Json optionalMs(const std::optional<double>& value) { return value ? Json(*value) : Json(nullptr); }

Json whoJson(int who) { return who >= 0 ? Json(who) : Json(nullptr); }

Json findingsJson(const FinishedRun& run) {
  Json broken = Json::array();
  for (const Finding& finding : run.verdict.broken) {
    Json lines = Json::array();
    for (std::size_t index : finding.events) {
      const Event& event = run.record.events[index];
      Json line = {{"ms", static_cast<double>(event.us) / 1000.0}};
      putText(line, "text", event.text);
      lines.push_back(std::move(line));
    }
    Json one = {{"rule", finding.rule}};
    putText(one, "what", finding.what);
    one["who"] = finding.who;
    one["lines"] = std::move(lines);
    broken.push_back(std::move(one));
  }
  return broken;
}

Json verdictJson(const FinishedRun& run) {
  const Verdict& verdict = run.verdict;
  Json notes = Json::array();
  for (const std::string& note : verdict.notes) {
    Json one = Json::object();
    putText(one, "note", note);
    notes.push_back(std::move(one));
  }
  Json races = Json::array();
  for (const Race& race : run.analysis.races) {
    races.push_back({{"winner", race.winner}, {"loser", race.loser}, {"apart_ms", race.apartMs}});
  }
  Json out = {{"holds", verdict.holds()},  {"complete", verdict.complete},
              {"stuck", verdict.stuck},    {"broken", findingsJson(run)},
              {"notes", std::move(notes)}, {"races", std::move(races)}};
  putText(out, "story", verdict.stuckStory);
  return out;
}

Json customerJson(const CustomerStory& story, const Roster& roster) {
  Json one = {{"who", story.who}};
  putText(one, "id", story.id);
  putText(one, "name", customerName(roster, story.who));
  one["outcome"] = wordsOf(story.outcome).name;
  one["planned"] = wordsOf(story.planned.outcome).name;
  one["arrival_ms"] = optionalMs(story.arrivalMs);
  one["sat_ms"] = optionalMs(story.satMs);
  one["cut_start_ms"] = optionalMs(story.cutStartMs);
  one["cut_finish_ms"] = optionalMs(story.cutFinishMs);
  one["left_ms"] = optionalMs(story.leftMs);
  one["start_late_ms"] = optionalMs(story.startLateMs);
  one["finish_late_ms"] = optionalMs(story.finishLateMs);
  return one;
}

Json totalsJson(const Analysis& a) {
  return {{"cut", a.cut},
          {"sent_away", a.sentAway},
          {"busy_share", a.busyShare},
          {"longest_queue", a.longestQueue},
          {"length_ms", optionalMs(a.lengthMs)},
          {"exact_length_ms", a.exactLengthMs},
          {"worst_deviation_ms", a.worstDeviationMs}};
}

}  // namespace

Json rosterJson(const Roster& roster) {
  Json customers = Json::array();
  for (const RosterEntry& entry : roster) {
    Json one = Json::object();
    putText(one, "id", entry.id);
    one["delay_ms"] = entry.delayMs;
    one["cut_ms"] = entry.cuttingMs;
    customers.push_back(std::move(one));
  }
  return customers;
}

Json scheduleJson(const Roster& roster, const Schedule& schedule) {
  Json visits = Json::array();
  for (std::size_t i = 0; i < schedule.visits.size(); ++i) {
    const PlannedVisit& visit = schedule.visits[i];
    Json one = {{"who", i}};
    putText(one, "id", roster[i].id);
    one["arrival_ms"] = visit.arrivalMs;
    one["outcome"] = wordsOf(visit.outcome).name;
    if (visit.outcome != Planned::kSentAway) {
      one["start_ms"] = visit.startMs;
      one["finish_ms"] = visit.finishMs;
    }
    visits.push_back(std::move(one));
  }
  return {{"customers", visits},
          {"closing_ms", schedule.closingMs},
          {"longest_queue", schedule.longestQueue}};
}

Json runJson(const FinishedRun& run) {
  const Analysis& analysis = run.analysis;
  Json customers = Json::array();
  for (const CustomerStory& story : analysis.customers) {
    customers.push_back(customerJson(story, run.record.roster));
  }
  Json deviations = Json::array();
  for (const Deviation& deviation : analysis.deviations) {
    deviations.push_back({{"kind", deviation.kind},
                          {"who", whoJson(deviation.who)},
                          {"exact_ms", deviation.exactMs},
                          {"measured_ms", deviation.measuredMs}});
  }
  return {{"number", run.record.number}, {"roster", rosterJson(run.record.roster)},
          {"slow", run.record.slow},     {"end", runEndName(run.record.end)},
          {"verdict", verdictJson(run)}, {"totals", totalsJson(analysis)},
          {"customers", customers},      {"deviations", deviations}};
}

bool ExportFile::open(const std::string& path, const std::string& program,
                      const std::string& rosterSource, std::string* error) {
  if (!file_.open(path, error)) return false;
  Json head = Json::object();
  putText(head, "program", program);
  putText(head, "roster_source", rosterSource);
  std::string text = head.dump(1, ' ', false, Json::error_handler_t::replace);
  text.erase(text.find_last_of('}'));  // left open: the runs follow
  // A disk already full is told now, before any run, with the file's name and why.
  return file_.append(text + ",\n \"runs\": [") || file_.finish(error);
}

void ExportFile::add(const FinishedRun& run, double summaryMs) {
  Json one = runJson(run);
  one["summary_ms"] = summaryMs;
  (void)file_.append(std::string(first_ ? "\n" : ",\n") + oneLine(one));
  first_ = false;
}

bool ExportFile::finish(int exitStatus, std::string* error) {
  (void)file_.append("\n ],\n \"exit_status\": " + std::to_string(exitStatus) + "\n}\n");
  return file_.finish(error);
}
