// Writing a run's report files.

#include "trace/files/report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "trace/files/export.h"
#include "trace/files/page.h"
#include "trace/files/chrome_trace.h"
#include "trace/judging/schedule.h"

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
