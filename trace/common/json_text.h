#ifndef BARBERSHOP_TRACE_COMMON_JSON_TEXT_H_
#define BARBERSHOP_TRACE_COMMON_JSON_TEXT_H_
// Program text in JSON without losing a byte. A JSON string holds only UTF-8, while an ID may
// hold any byte; so a text that is not UTF-8 is written twice: under its key in readable form
// (U+FFFD for each stray byte) and under KEY_hex as the exact bytes in hex. Readers take the hex
// when it is there. Every JSON the companion writes or reads goes through these. Pure.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

using Json = nlohmann::ordered_json;

void putText(Json& object, const std::string& key, std::string_view bytes);
void putTexts(Json& object, const std::string& key, const std::vector<std::string>& list);

// The bytes under `key`. Throws JsonTextError when the field is missing or malformed.
std::string textOf(const Json& object, const std::string& key);
std::vector<std::string> textsOf(const Json& object, const std::string& key);

struct JsonTextError {
  std::string what;  // a sentence naming the field
};

// One JSON value on one line; a last guard replaces what is not UTF-8.
std::string oneLine(const Json& value);

#endif  // BARBERSHOP_TRACE_COMMON_JSON_TEXT_H_
