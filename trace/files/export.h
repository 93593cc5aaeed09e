#ifndef BARBERSHOP_TRACE_FILES_EXPORT_H_
#define BARBERSHOP_TRACE_FILES_EXPORT_H_
// Runs and schedules as JSON, for scripts and the benchmark: what the summary shows, as data.
// Customers are roster positions (`who`); IDs keep every byte (trace/common/json_text.h).

#include <string>

#include "trace/common/json_text.h"
#include "trace/files/write_whole.h"
#include "trace/judging/finish.h"
#include "trace/judging/schedule.h"

Json rosterJson(const Roster& roster);
Json scheduleJson(const Roster& roster, const Schedule& schedule);
Json runJson(const FinishedRun& run);

// --export-json FILE: opened before the first run and written run by run, so a session of a
// hundred thousand runs holds none of them; a file is put in place whole when the session ends,
// a FIFO, a device or standard output ("-") gets each run as it comes (trace/files/write_whole.h).
class ExportFile {
 public:
  bool open(const std::string& path, const std::string& program, const std::string& rosterSource,
            std::string* error);
  bool isOpen() const { return file_.isOpen(); }
  // `summaryMs`: how long the companion took to judge the run and show its summary.
  void add(const FinishedRun& run, double summaryMs);
  bool finish(int exitStatus, std::string* error);

 private:
  GrowingFile file_;
  bool first_ = true;
};

#endif  // BARBERSHOP_TRACE_FILES_EXPORT_H_
