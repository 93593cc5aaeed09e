// Writing a run's report files, and what the trace and the page share.

#include "trace/report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "trace/export.h"
#include "trace/report_html.h"
#include "trace/report_trace.h"
#include "trace/schedule.h"

ReportRun measured(LoggedRun logged) {
  ReportRun run;
  run.logged = std::move(logged);
  run.analysis = analyse(run.logged.record, exactSchedule(run.logged.record.roster));
  run.verdict = checkRun(run.logged.record, run.analysis);
  return run;
}

std::int64_t usOf(double ms) { return std::llround(ms * 1000.0); }

std::string msText(double ms) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", ms);
  return text;
}

std::optional<std::size_t> lineAt(const RunRecord& record, const std::string& id, double ms,
                                  std::initializer_list<Kind> kinds) {
  const std::int64_t us = usOf(ms);
  for (std::size_t i = 0; i < record.events.size(); ++i) {
    const Event& event = record.events[i];
    if (event.us != us || event.customer != id) continue;
    if (kinds.size() == 0 ? event.actor == Actor::kCustomer
                          : std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end()) {
      return i;
    }
  }
  return std::nullopt;
}

std::string verdictHeadline(const ReportRun& run) {
  const Verdict& verdict = run.verdict;
  if (verdict.holds()) return "every rule holds";
  std::string text;
  if (!verdict.broken.empty()) {
    text = std::to_string(verdict.broken.size()) +
           (verdict.broken.size() == 1 ? " rule broken" : " rules broken");
  }
  if (!verdict.complete) text += std::string(text.empty() ? "" : "; ") + "the run did not finish";
  return text;
}

bool prepareReportDir(const std::string& dir, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(dir, code);
  if (code) {
    *error = dir + ": " + code.message();
    return false;
  }
  // Creating a directory can succeed where writing in it does not (read-only mounts, modes).
  const std::string probe = dir + "/.barbershop-trace-" + std::to_string(getpid());
  FILE* file = fopen(probe.c_str(), "wb");
  if (file == nullptr) {
    *error = dir + ": " + strerror(errno);
    return false;
  }
  (void)fclose(file);
  (void)remove(probe.c_str());
  return true;
}

bool writeReport(const std::string& dir, const LoggedRun& run, std::vector<std::string>* written,
                 std::string* error) {
  // The page and the trace are drawn from the log read back, as `render` draws them, so both
  // give the same files.
  const std::string log = logText(run);
  LoggedRun read;
  std::string warning;
  if (!readLog(log, "the run's own log", &read, error, &warning)) return false;
  const ReportRun report = measured(std::move(read));
  const std::string base = dir + "/run-" + std::to_string(report.logged.record.number);
  const std::pair<std::string, std::string> files[] = {
      {base + ".jsonl", log},
      {base + ".trace.json", traceText(report)},
      {base + ".html", htmlPage(report)},
  };
  for (const auto& [path, text] : files) {
    if (!writeWhole(path, text, error)) return false;
    written->push_back(path);
  }
  return true;
}
