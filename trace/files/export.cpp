// JSON for runs and schedules, and whole-file writes.

#include "trace/files/export.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char* plannedName(Planned planned) {
  switch (planned) {
    case Planned::kWakes:
      return "wakes";
    case Planned::kWaits:
      return "waits";
    case Planned::kSentAway:
      return "sent-away";
  }
  return "";
}

nlohmann::json optionalMs(const std::optional<double>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

}  // namespace

nlohmann::json rosterJson(const Roster& roster) {
  nlohmann::json customers = nlohmann::json::array();
  for (const RosterEntry& entry : roster) {
    customers.push_back(
        {{"id", entry.id}, {"delay_ms", entry.delayMs}, {"cut_ms", entry.cuttingMs}});
  }
  return customers;
}

nlohmann::json scheduleJson(const Schedule& schedule) {
  nlohmann::json visits = nlohmann::json::array();
  for (const PlannedVisit& visit : schedule.visits) {
    nlohmann::json one = {
        {"id", visit.id}, {"arrival_ms", visit.arrivalMs}, {"outcome", plannedName(visit.outcome)}};
    if (visit.outcome != Planned::kSentAway) {
      one["start_ms"] = visit.startMs;
      one["finish_ms"] = visit.finishMs;
    }
    visits.push_back(one);
  }
  return {{"customers", visits},
          {"closing_ms", schedule.closingMs},
          {"longest_queue", schedule.longestQueue}};
}

nlohmann::json runJson(const FinishedRun& run) {
  const Analysis& analysis = run.analysis;
  const Verdict& verdict = run.verdict;
  nlohmann::json broken = nlohmann::json::array();
  for (const Finding& finding : verdict.broken) {
    nlohmann::json lines = nlohmann::json::array();
    for (std::size_t index : finding.events) {
      const Event& event = run.record.events[index];
      lines.push_back({{"ms", static_cast<double>(event.us) / 1000.0}, {"text", event.text}});
    }
    broken.push_back({{"rule", finding.rule}, {"what", finding.what}, {"lines", lines}});
  }
  nlohmann::json races = nlohmann::json::array();
  for (const Race& race : verdict.races) {
    races.push_back({{"decided", race.decided},
                     {"other", race.other},
                     {"apart_ms", race.apartMs},
                     {"what", race.what}});
  }
  nlohmann::json customers = nlohmann::json::array();
  for (const CustomerStory& story : analysis.customers) {
    customers.push_back({{"id", story.id},
                         {"outcome", outcomeText(story.outcome)},
                         {"arrival_ms", optionalMs(story.arrivalMs)},
                         {"sat_ms", optionalMs(story.satMs)},
                         {"cut_start_ms", optionalMs(story.cutStartMs)},
                         {"cut_finish_ms", optionalMs(story.cutFinishMs)},
                         {"left_ms", optionalMs(story.leftMs)},
                         {"start_late_ms", optionalMs(story.startLateMs)},
                         {"finish_late_ms", optionalMs(story.finishLateMs)}});
  }
  nlohmann::json deviations = nlohmann::json::array();
  for (const Deviation& deviation : analysis.deviations) {
    deviations.push_back({{"kind", deviation.kind},
                          {"id", deviation.id},
                          {"exact_ms", deviation.exactMs},
                          {"measured_ms", deviation.measuredMs}});
  }
  return {{"number", run.record.number},
          {"roster", rosterJson(run.record.roster)},
          {"slow", run.record.slow},
          {"end", runEndName(run.record.end)},
          {"verdict",
           {{"holds", verdict.holds()},
            {"complete", verdict.complete},
            {"stuck", verdict.stuck},
            {"broken", broken},
            {"races", races}}},
          {"totals",
           {{"cut", analysis.cut},
            {"sent_away", analysis.sentAway},
            {"busy_share", analysis.busyShare},
            {"longest_queue", analysis.longestQueue},
            {"length_ms", optionalMs(analysis.lengthMs)},
            {"exact_length_ms", analysis.exactLengthMs},
            {"worst_deviation_ms", analysis.worstDeviationMs}}},
          {"customers", customers},
          {"deviations", deviations}};
}

bool writeWhole(const std::string& path, const std::string& text, std::string* error) {
  const std::string temporary = path + ".tmp" + std::to_string(getpid());
  FILE* file = fopen(temporary.c_str(), "wb");
  bool written = file != nullptr && fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file != nullptr && fclose(file) != 0) written = false;
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    *error = path + ": " + strerror(errno);
    (void)remove(temporary.c_str());
    return false;
  }
  return true;
}
