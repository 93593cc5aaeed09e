// UTF-8 decoding, display widths and the visible form of arbitrary bytes.

#include "trace/common/utf8.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

struct Range {
  char32_t first, last;
};

// Characters a terminal draws two columns wide: East Asian wide and full-width forms and the
// emoji blocks.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x3FFFD},
};

// Characters that take no column of their own: combining marks, joiners, variation selectors.
constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},   {0x05BF, 0x05C7}, {0x0610, 0x061A},
    {0x064B, 0x065F}, {0x0670, 0x0670}, {0x06D6, 0x06ED},   {0x0E31, 0x0E31}, {0x0E34, 0x0E3A},
    {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},   {0x200B, 0x200D}, {0x20D0, 0x20FF},
    {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF},
};

// Characters shown as escapes rather than obeyed or hidden: the C1 controls, the line and
// paragraph separators, and every format character (Unicode's category Cf, as of 15.0): the
// zero-width spaces and joiners, the soft hyphen, the byte order mark, invisible operators, tags,
// and the marks, embeddings, overrides and isolates that reorder text around them. Each would
// otherwise make two IDs that look alike, or hide what an ID holds.
constexpr Range kShownAsEscape[] = {
    {0x0080, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},
    {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},
    {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

template <std::size_t N>
bool within(const Range (&ranges)[N], char32_t c) {
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [c](const Range& r) { return r.first <= c && c <= r.last; });
}

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::size_t widthOf(char32_t c) {
  if (within(kZero, c)) return 0;
  return within(kWide, c) ? 2 : 1;
}

}  // namespace

CodePoint decodeAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  CodePoint point;
  if (lead < 0x80) return CodePoint{lead, 1, true};
  std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (lead > 0xF4 || length == 0 || at + length > text.size()) return point;
  char32_t value = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    if (!continuation(byte(i))) return point;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return point;
  return CodePoint{value, length, true};
}

bool isUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const CodePoint point = decodeAt(bytes, at);
    if (!point.valid) return false;
    at += point.length;
  }
  return true;
}

std::string visible(std::string_view bytes, bool asciiOnly) {
  std::string out;
  out.reserve(bytes.size());
  char escape[16];
  for (std::size_t at = 0; at < bytes.size();) {
    const CodePoint point = decodeAt(bytes, at);
    if (!point.valid || point.value < 0x20 || point.value == 0x7F) {
      snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(bytes[at]));
      out += escape;
    } else if (within(kShownAsEscape, point.value)) {
      // Past U+FFFF eight digits, so that no digit after it can be read as part of it.
      snprintf(escape, sizeof escape, point.value > 0xFFFF ? "\\U%08x" : "\\u%04x",
               static_cast<unsigned>(point.value));
      out += escape;
    } else if (asciiOnly && point.value >= 0x80) {
      out += '?';
    } else {
      out.append(bytes, at, point.length);
    }
    at += point.length;
  }
  return out;
}

std::string replacingInvalid(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const CodePoint point = decodeAt(bytes, at);
    if (point.valid) {
      out.append(bytes, at, point.length);
    } else {
      out += "\xEF\xBF\xBD";
    }
    at += point.length;
  }
  return out;
}

std::size_t columns(std::string_view text) {
  std::size_t total = 0;
  for (std::size_t at = 0; at < text.size();) {
    const CodePoint point = decodeAt(text, at);
    total += point.valid ? widthOf(point.value) : 1;
    at += point.length;
  }
  return total;
}

std::string_view headColumns(std::string_view text, std::size_t n) {
  std::size_t used = 0;
  for (std::size_t at = 0; at < text.size();) {
    const CodePoint point = decodeAt(text, at);
    const std::size_t width = point.valid ? widthOf(point.value) : 1;
    if (used + width > n) return text.substr(0, at);
    used += width;
    at += point.length;
  }
  return text;
}

std::string hexOf(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0xF];
  }
  return out;
}

bool fromHex(std::string_view hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  bytes->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}
