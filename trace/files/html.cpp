// Escaping and numbers for the pages.

#include "trace/files/html.h"

#include <cstdio>

#include "trace/common/utf8.h"
#include "trace/common/words.h"

std::string esc(std::string_view text) {
  const std::string shown = visible(text);
  std::string out;
  out.reserve(shown.size());
  for (char c : shown) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string escLines(std::string_view text) {
  std::string out;
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find('\n', at);
    out += esc(text.substr(at, end == std::string_view::npos ? end : end - at));
    if (end == std::string_view::npos) return out;
    out += '\n';
    at = end + 1;
  }
}

std::string shortened(const std::string& text, std::size_t chars) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size();) {
    if (count++ == chars) return text.substr(0, at) + "\xE2\x80\xA6";
    at += decodeAt(text, at).length;
  }
  return text;
}

std::string num(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string msNumber(double ms) { return fixed(ms, 1); }

std::string span(double fromMs, double toMs) {
  return msNumber(fromMs) + "\xE2\x80\x93" + ::ms(toMs);
}

std::string span(Micros from, Micros to) {
  return msNumberText(from) + "\xE2\x80\x93" + msText(to);
}
