// The event log's field readers.

#include "trace/reading/log_fields.h"

#include <limits>

const Json& logField(const Json& object, const char* name) {
  auto found = object.find(name);
  if (found == object.end()) throw LogFault{"no \"" + std::string(name) + "\" field"};
  return *found;
}

std::int64_t logWhole(const Json& object, const char* name, std::int64_t low, std::int64_t high) {
  const Json& value = logField(object, name);
  const bool fits = value.is_number_integer() &&
                    !(value.is_number_unsigned() &&
                      value.get<std::uint64_t>() >
                          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) &&
                    value.get<std::int64_t>() >= low && value.get<std::int64_t>() <= high;
  if (!fits) {
    throw LogFault{"\"" + std::string(name) + "\" must be a whole number from " +
                   std::to_string(low) + " to " + std::to_string(high)};
  }
  return value.get<std::int64_t>();
}

std::string logString(const Json& object, const char* name) {
  const Json& value = logField(object, name);
  if (!value.is_string()) throw LogFault{"\"" + std::string(name) + "\" must be a string"};
  return value.get<std::string>();
}

Json logLine(std::string_view text) {
  Json object = Json::parse(text.begin(), text.end(), nullptr, false);
  if (object.is_discarded()) throw LogFault{"not JSON"};
  if (!object.is_object()) throw LogFault{"not a JSON object; each line holds one object"};
  return object;
}
