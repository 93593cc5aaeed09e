#ifndef BARBERSHOP_TRACE_COMMON_UTF8_H_
#define BARBERSHOP_TRACE_COMMON_UTF8_H_
// Bytes from the program as text for people: an ID or a printed line may hold any byte, so every
// view and file first asks whether it is UTF-8, how many terminal columns it takes, and what it
// looks like with its control characters shown instead of obeyed. Pure.

#include <cstddef>
#include <string>
#include <string_view>

// One character of UTF-8 at `at`: its code point and byte length; `valid` false for a byte that
// starts no well-formed sequence (its length is then 1).
struct CodePoint {
  char32_t value = 0;
  std::size_t length = 1;
  bool valid = false;
};
CodePoint decodeAt(std::string_view text, std::size_t at);

bool isUtf8(std::string_view bytes);

// `bytes` as well-formed UTF-8 that shows what it holds and obeys nothing: a byte that is not
// UTF-8 and every C0 control becomes "\xHH", and C1 controls, line and paragraph separators and
// the format characters (zero-width spaces and joiners, the byte order mark, the characters that
// reorder text: Unicode's category Cf) become "\uHHHH", or "\UHHHHHHHH" past U+FFFF. With
// `asciiOnly`, every other non-ASCII character becomes '?', for terminals that cannot show it.
std::string visible(std::string_view bytes, bool asciiOnly = false);

// `bytes` with U+FFFD in place of each byte that is not UTF-8: the readable half of a JSON text.
std::string replacingInvalid(std::string_view bytes);

// Terminal columns of UTF-8 text: two for wide (East Asian, emoji) characters, none for
// combining marks, one for the rest.
std::size_t columns(std::string_view text);
// The longest head of `text` that fits in `n` columns, never splitting a character.
std::string_view headColumns(std::string_view text, std::size_t n);

// Bytes as lower-case hex digits, and back; false for text that is not an even run of them.
std::string hexOf(std::string_view bytes);
bool fromHex(std::string_view hex, std::string* bytes);

#endif  // BARBERSHOP_TRACE_COMMON_UTF8_H_
