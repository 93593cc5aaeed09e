// Writing a run's report files.

#include "trace/files/report.h"

#include <utility>

#include "trace/files/chrome_trace.h"
#include "trace/files/page.h"
#include "trace/files/write_whole.h"
#include "trace/reading/event_log.h"

bool writeReport(const std::string& dir, const FinishedRun& run, std::vector<std::string>* written,
                 std::string* error) {
  const std::string base = dir + "/run-" + std::to_string(run.record.number);
  const std::pair<std::string, std::string> files[] = {
      {base + ".jsonl", logText(run.record)},
      {base + ".trace.json", traceText(run)},
      {base + ".html", htmlPage(run)},
  };
  for (const auto& [path, text] : files) {
    if (!writeWhole(path, text, error)) return false;
    written->push_back(path);
  }
  return true;
}
