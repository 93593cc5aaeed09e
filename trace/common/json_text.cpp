// Program text in JSON, byte for byte.

#include "trace/common/json_text.h"

#include "trace/common/utf8.h"

namespace {

std::string hexKey(const std::string& key) { return key + "_hex"; }

std::string quoted(const std::string& key) { return "\"" + key + "\""; }

}  // namespace

void putText(Json& object, const std::string& key, std::string_view bytes) {
  if (isUtf8(bytes)) {
    object[key] = std::string(bytes);
    return;
  }
  object[key] = replacingInvalid(bytes);
  object[hexKey(key)] = hexOf(bytes);
}

void putTexts(Json& object, const std::string& key, const std::vector<std::string>& list) {
  Json readable = Json::array(), hex = Json::array();
  bool exact = true;
  for (const std::string& text : list) {
    exact = exact && isUtf8(text);
    readable.push_back(replacingInvalid(text));
    hex.push_back(hexOf(text));
  }
  object[key] = std::move(readable);
  if (!exact) object[hexKey(key)] = std::move(hex);
}

std::string textOf(const Json& object, const std::string& key) {
  auto found = object.find(key);
  if (found == object.end()) throw JsonTextError{"no " + quoted(key) + " field"};
  if (!found->is_string()) throw JsonTextError{quoted(key) + " must be a string"};
  auto hex = object.find(hexKey(key));
  if (hex == object.end()) return found->get<std::string>();
  std::string bytes;
  if (!hex->is_string() || !fromHex(hex->get<std::string>(), &bytes)) {
    throw JsonTextError{quoted(hexKey(key)) + " must be a string of hex digit pairs"};
  }
  if (replacingInvalid(bytes) != found->get<std::string>()) {
    throw JsonTextError{quoted(key) + " is not the readable form of " + quoted(hexKey(key))};
  }
  return bytes;
}

std::vector<std::string> textsOf(const Json& object, const std::string& key) {
  auto found = object.find(key);
  if (found == object.end()) throw JsonTextError{"no " + quoted(key) + " field"};
  const std::string listError = quoted(key) + " must be a list of strings";
  if (!found->is_array()) throw JsonTextError{listError};
  std::vector<std::string> out;
  for (const Json& each : *found) {
    if (!each.is_string()) throw JsonTextError{listError};
    out.push_back(each.get<std::string>());
  }
  auto hex = object.find(hexKey(key));
  if (hex == object.end()) return out;
  if (!hex->is_array() || hex->size() != out.size()) {
    throw JsonTextError{quoted(hexKey(key)) + " must list as many texts as " + quoted(key)};
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::string bytes;
    const Json& each = (*hex)[i];
    if (!each.is_string() || !fromHex(each.get<std::string>(), &bytes) ||
        replacingInvalid(bytes) != out[i]) {
      throw JsonTextError{quoted(hexKey(key)) + " does not match " + quoted(key)};
    }
    out[i] = std::move(bytes);
  }
  return out;
}

std::string oneLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}
