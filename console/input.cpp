// Number and line reading for the console, with no way to read past the 32-bit range.

#include "console/input.h"

#include <cctype>
#include <climits>
#include <cstdint>

namespace {

// Magnitudes stop growing past this, so any run of digits fits and reads as out of range.
constexpr std::uint64_t kOutOfRange = 0x100000000ull;

// Reads blanks, an optional sign and digits, then consumes one character. The magnitude is
// capped at kOutOfRange.
InputResult readNumber(FILE* in, bool* negative, std::uint64_t* magnitude) {
  int c;
  do {
    c = getc(in);
  } while (c != EOF && isspace(c));
  if (c == EOF) return InputResult::kEnd;
  *negative = c == '-';
  if (c == '-' || c == '+') c = getc(in);
  if (c == EOF) return InputResult::kEnd;
  if (!isdigit(c)) {
    ungetc(c, in);
    return InputResult::kNotNumber;
  }
  std::uint64_t digits = 0;
  for (; isdigit(c); c = getc(in)) {
    digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
    if (digits > kOutOfRange) digits = kOutOfRange;
  }
  // `c` is the character after the number, normally the newline: it is the one consumed.
  *magnitude = digits;
  return InputResult::kValue;
}

}  // namespace

InputResult readInt(FILE* in, int* value) {
  bool negative = false;
  std::uint64_t magnitude = 0;
  InputResult result = readNumber(in, &negative, &magnitude);
  if (result != InputResult::kValue) return result;
  // The magnitude is at most kOutOfRange, so the signed value fits before it is clamped.
  std::int64_t number = static_cast<std::int64_t>(magnitude);
  if (negative) number = -number;
  if (number < INT_MIN) number = INT_MIN;
  if (number > INT_MAX) number = INT_MAX;
  *value = static_cast<int>(number);
  return result;
}

InputResult readUnsigned(FILE* in, unsigned* value) {
  bool negative = false;
  std::uint64_t magnitude = 0;
  InputResult result = readNumber(in, &negative, &magnitude);
  if (result != InputResult::kValue) return result;
  if (magnitude > UINT_MAX) {
    *value = UINT_MAX;
  } else {
    *value = static_cast<unsigned>(magnitude);
    if (negative) *value = 0u - *value;
  }
  return result;
}

bool readIdLine(FILE* in, char* id, std::size_t size) {
  std::size_t count = 0;
  int c = EOF;
  while (count + 1 < size && (c = getc(in)) != EOF) {
    id[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (count == 0) {
    id[0] = '\0';
    return false;
  }
  // The last character read stands for the newline, even when the line was longer.
  id[count - 1] = '\0';
  if (c != '\n' && c != EOF) discardLine(in);
  return true;
}

void discardLine(FILE* in) {
  int c;
  do {
    c = getc(in);
  } while (c != EOF && c != '\n');
}
