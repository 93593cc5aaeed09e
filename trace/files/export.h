#ifndef BARBERSHOP_TRACE_FILES_EXPORT_H_
#define BARBERSHOP_TRACE_FILES_EXPORT_H_
// Runs and schedules as JSON, for scripts and the benchmark: what the summary shows, as data.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "trace/reading/roster.h"
#include "trace/judging/schedule.h"
#include "trace/relay/session.h"

nlohmann::json rosterJson(const Roster& roster);
nlohmann::json scheduleJson(const Schedule& schedule);
nlohmann::json runJson(const FinishedRun& run);

// Writes `text` to `path` whole or not at all: a temporary file beside it, then a rename.
// False with `error` set when it cannot.
bool writeWhole(const std::string& path, const std::string& text, std::string* error);

#endif  // BARBERSHOP_TRACE_FILES_EXPORT_H_
