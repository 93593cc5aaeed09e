// The companion's commands: scenarios, schedules and sessions with their summaries and files.

#include "trace/cli/tool.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "trace/files/export.h"
#include "trace/files/report.h"
#include "trace/judging/schedule.h"
#include "trace/cli/version.h"
#include "trace/showing/view.h"

namespace {

void say(const std::string& text) { (void)fwrite(text.data(), 1, text.size(), stdout); }

int listScenarios() {
  std::size_t width = 0;
  for (const Scenario& scenario : scenarios()) width = std::max(width, scenario.name.size());
  for (const Scenario& scenario : scenarios()) {
    printf("%-*s  %s\n", static_cast<int>(width), scenario.name.c_str(), scenario.lesson.c_str());
  }
  return kExitOk;
}

int printSchedule(const TraceOptions& options) {
  const Schedule schedule = exactSchedule(options.session.roster);
  if (options.json) {
    say(scheduleJson(schedule).dump(1) + "\n");
    return kExitOk;
  }
  printf("%-34s %8s  %-10s %9s %9s\n", "id", "arrival", "outcome", "start", "finish");
  for (const PlannedVisit& visit : schedule.visits) {
    const char* outcome = visit.outcome == Planned::kWakes   ? "wakes"
                          : visit.outcome == Planned::kWaits ? "waits"
                                                             : "sent away";
    if (visit.outcome == Planned::kSentAway) {
      printf("%-34s %8lld  %-10s %9s %9s\n", visit.id.c_str(),
             static_cast<long long>(visit.arrivalMs), outcome, "-", "-");
    } else {
      printf("%-34s %8lld  %-10s %9lld %9lld\n", visit.id.c_str(),
             static_cast<long long>(visit.arrivalMs), outcome,
             static_cast<long long>(visit.startMs), static_cast<long long>(visit.finishMs));
    }
  }
  printf("closing line at %lld ms; at most %zu waiting\n",
         static_cast<long long>(schedule.closingMs), schedule.longestQueue);
  return kExitOk;
}

// One line for a run that kept the rules, among many.
std::string digestLine(const FinishedRun& run, int of) {
  char text[256];
  snprintf(text, sizeof text,
           "run %d/%d: every rule holds, %.1f ms (exact %.0f ms), worst "
           "deviation %.2f ms%s\n",
           run.record.number, of, run.analysis.lengthMs.value_or(0), run.analysis.exactLengthMs,
           run.analysis.worstDeviationMs,
           run.verdict.races.empty() ? "" : ", a race decided an outcome");
  return text;
}

// The report directory must take files before anything runs, so a typo costs no run.
bool reportDirReady(const std::string& dir) {
  std::string error;
  if (prepareReportDir(dir, &error)) return true;
  fprintf(stderr, "barbershop-trace: cannot write to %s\n", error.c_str());
  return false;
}

// Writes one run's files; says which, or why not.
bool report(const std::string& dir, const LoggedRun& run, bool tell) {
  std::vector<std::string> written;
  std::string error;
  if (!writeReport(dir, run, &written, &error)) {
    fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
    return false;
  }
  if (tell) {
    fprintf(stderr, "barbershop-trace: run %d drawn: %s (trace %s, log %s)\n", run.record.number,
            written[2].c_str(), written[1].c_str(), written[0].c_str());
  }
  return true;
}

int renderSavedLog(const TraceOptions& options) {
  if (!reportDirReady(options.reportDir)) return kExitUsage;
  std::string text;
  FILE* file = fopen(options.renderLog.c_str(), "rb");
  bool read = file != nullptr;
  if (read) {
    char buffer[65536];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
      text.append(buffer, got);
    read = ferror(file) == 0;
  }
  if (!read) {
    fprintf(stderr, "barbershop-trace: cannot read %s: %s\n", options.renderLog.c_str(),
            strerror(errno));
    if (file != nullptr) (void)fclose(file);
    return kExitUsage;
  }
  (void)fclose(file);
  LoggedRun run;
  std::string error, warning;
  if (!readLog(text, options.renderLog, &run, &error, &warning)) {
    fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
    return kExitUsage;
  }
  if (!warning.empty()) fprintf(stderr, "barbershop-trace: %s\n", warning.c_str());
  return report(options.reportDir, run, true) ? kExitOk : kExitUsage;
}

int runSession(const TraceOptions& options) {
  const std::string& reportDir = options.reportDir;
  if (!reportDir.empty() && !reportDirReady(reportDir)) return kExitUsage;
  Session session(options.session);
  const int runs = options.session.runs;
  bool reported = true;
  session.onRun([&](const FinishedRun& run) {
    fflush(stdout);
    if (runs > 1 && run.verdict.holds()) {
      say(digestLine(run, runs));
    } else {
      // A run cut short may have left the program, or a ^C, mid-line.
      if (run.record.end != RunEnd::kClosed) say("\n");
      say(renderSummary(run.record, run.analysis, run.verdict, options.session.style));
    }
    fflush(stdout);
    if (!reportDir.empty()) {
      const LoggedRun logged{run.record, kTraceVersion, options.session.program, ""};
      if (!report(reportDir, logged, runs <= 1)) reported = false;
    }
  });
  int status = session.run();
  if (runs > 1 && !reportDir.empty() && !session.runs().empty()) {
    fprintf(stderr,
            "barbershop-trace: %zu runs drawn in %s: run-N.html, run-N.trace.json, "
            "run-N.jsonl\n",
            session.runs().size(), reportDir.c_str());
  }
  if (!reported && status == kExitOk) status = kExitUsage;
  if (runs > 1 && !session.runs().empty()) {
    std::vector<RunDigest> digests;
    for (const FinishedRun& run : session.runs()) digests.push_back({run.verdict, run.analysis});
    say(renderAggregate(digests, options.session.style));
  }
  if (!options.exportJson.empty()) {
    nlohmann::json runsJson = nlohmann::json::array();
    for (const FinishedRun& run : session.runs()) runsJson.push_back(runJson(run));
    nlohmann::json all = {{"program", options.session.program},
                          {"roster_source", options.rosterName},
                          {"exit_status", status},
                          {"runs", runsJson}};
    std::string error;
    if (!writeWhole(options.exportJson, all.dump(1) + "\n", &error)) {
      fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
      if (status == kExitOk) status = kExitUsage;
    }
  }
  fflush(stdout);
  return status;
}

}  // namespace

int runTool(const TraceOptions& options) {
  switch (options.command) {
    case Command::kExit:
      return options.exitStatus;
    case Command::kListScenarios:
      return listScenarios();
    case Command::kSchedule:
      return printSchedule(options);
    case Command::kRender:
      return renderSavedLog(options);
    case Command::kSession:
      return runSession(options);
  }
  return kExitUsage;
}
