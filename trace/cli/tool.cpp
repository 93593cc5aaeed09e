// The companion's commands: scenarios, schedules and sessions with their summaries and files.

#include "trace/cli/tool.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "trace/cli/version.h"
#include "trace/files/export.h"
#include "trace/files/report.h"
#include "trace/judging/schedule.h"
#include "trace/relay/output.h"
#include "trace/showing/view.h"

namespace {

// Standard output has one writer, which tells a failed write once; runTool turns it into the
// exit status.
void say(const std::string& text) { (void)writeOutput(text); }

__attribute__((format(printf, 1, 2))) void sayf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = nullptr;
  const int length = vasprintf(&text, format, args);
  va_end(args);
  if (length < 0) return;  // out of memory: the line is lost, as a failed printf loses it
  say(std::string(text, static_cast<std::size_t>(length)));
  free(text);
}

int listScenarios() {
  std::size_t width = 0;
  for (const Scenario& scenario : scenarios()) width = std::max(width, scenario.name.size());
  for (const Scenario& scenario : scenarios()) {
    sayf("%-*s  %s\n", static_cast<int>(width), scenario.name.c_str(), scenario.lesson.c_str());
  }
  return kExitOk;
}

int printSchedule(const TraceOptions& options) {
  const Schedule schedule = exactSchedule(options.session.roster);
  if (options.json) {
    say(scheduleJson(schedule).dump(1) + "\n");
    return kExitOk;
  }
  sayf("%-34s %8s  %-10s %9s %9s\n", "id", "arrival", "outcome", "start", "finish");
  for (const PlannedVisit& visit : schedule.visits) {
    const char* outcome = visit.outcome == Planned::kWakes   ? "wakes"
                          : visit.outcome == Planned::kWaits ? "waits"
                                                             : "sent away";
    if (visit.outcome == Planned::kSentAway) {
      sayf("%-34s %8lld  %-10s %9s %9s\n", visit.id.c_str(),
           static_cast<long long>(visit.arrivalMs), outcome, "-", "-");
    } else {
      sayf("%-34s %8lld  %-10s %9lld %9lld\n", visit.id.c_str(),
           static_cast<long long>(visit.arrivalMs), outcome, static_cast<long long>(visit.startMs),
           static_cast<long long>(visit.finishMs));
    }
  }
  sayf("closing line at %lld ms; at most %zu waiting\n", static_cast<long long>(schedule.closingMs),
       schedule.longestQueue);
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
  // All that is kept of the runs once they are summed up: what the aggregate and the export
  // read at the end.
  std::vector<RunDigest> digests;
  nlohmann::json runsJson = nlohmann::json::array();
  session.onRun([&](const FinishedRun& run) {
    if (runs > 1 && run.verdict.holds()) {
      say(digestLine(run, runs));
    } else {
      // A run cut short may have left the program, or a ^C, mid-line.
      if (run.record.end != RunEnd::kClosed) say("\n");
      say(renderSummary(run.record, run.analysis, run.verdict, options.style));
    }
    if (!reportDir.empty()) {
      const LoggedRun logged{run.record, kTraceVersion, options.session.program, ""};
      if (!report(reportDir, logged, runs <= 1)) reported = false;
    }
    if (runs > 1) digests.push_back({run.verdict, run.analysis});
    if (!options.exportJson.empty()) runsJson.push_back(runJson(run));
  });
  int status = session.run();
  // Standard output failed: the session has ended at once, and so does everything after it.
  if (outputState() != OutputState::kOk) return status;
  if (runs > 1 && !reportDir.empty() && !digests.empty()) {
    fprintf(stderr,
            "barbershop-trace: %zu runs drawn in %s: run-N.html, run-N.trace.json, "
            "run-N.jsonl\n",
            digests.size(), reportDir.c_str());
  }
  if (!reported && status == kExitOk) status = kExitUsage;
  if (!digests.empty()) say(renderAggregate(digests, options.style));
  if (!options.exportJson.empty()) {
    nlohmann::json all = {{"program", options.session.program},
                          {"roster_source", options.rosterName},
                          {"exit_status", status},
                          {"runs", std::move(runsJson)}};
    std::string error;
    if (!writeWhole(options.exportJson, all.dump(1) + "\n", &error)) {
      fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
      if (status == kExitOk) status = kExitUsage;
    }
  }
  return status;
}

int runCommand(const TraceOptions& options) {
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

}  // namespace

int runTool(const TraceOptions& options) { return statusAfterOutput(runCommand(options)); }
