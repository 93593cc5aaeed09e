// Printed texts matched against the formats that printed them.

#include "trace/reading/formats.h"

bool startsWith(std::string_view text, std::string_view head) {
  return text.substr(0, head.size()) == head;
}

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::optional<std::string> formatFill(std::string_view text, std::string_view format) {
  std::size_t hole = format.find('%');
  if (hole == std::string_view::npos) {
    return text == format ? std::optional<std::string>(std::string()) : std::nullopt;
  }
  std::string_view head = format.substr(0, hole), tail = format.substr(hole + 2);
  if (text.size() < head.size() + tail.size() || !startsWith(text, head) || !endsWith(text, tail)) {
    return std::nullopt;
  }
  std::string_view fill = text.substr(head.size(), text.size() - head.size() - tail.size());
  if (fill.find('\n') != std::string_view::npos) return std::nullopt;
  return std::string(fill);
}
