#ifndef BARBERSHOP_TRACE_READING_LOG_FIELDS_H_
#define BARBERSHOP_TRACE_READING_LOG_FIELDS_H_
// The event log's field readers, shared by its parts: each throws a LogFault naming the field,
// which the log's reader turns into "NAME:LINE: what is wrong". Pure.

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/common/json_text.h"

struct LogFault {
  std::string what;
};

const Json& logField(const Json& object, const char* name);
// A whole number from `low` to `high`.
std::int64_t logWhole(const Json& object, const char* name, std::int64_t low, std::int64_t high);
std::string logString(const Json& object, const char* name);
// One line of the log as a JSON object.
Json logLine(std::string_view text);

#endif  // BARBERSHOP_TRACE_READING_LOG_FIELDS_H_
