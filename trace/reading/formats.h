#ifndef BARBERSHOP_TRACE_READING_FORMATS_H_
#define BARBERSHOP_TRACE_READING_FORMATS_H_
// Reading the program's output back with the program's own formats (core/narration.h,
// console/texts.h, core/customer.h): a printed text matched against the format that printed it.
// Pure.

#include <optional>
#include <string>
#include <string_view>

// What fills the one conversion ("%s" or "%d") of `format` in `text`, when `text` is that format
// filled in with no line break in the fill; "" for a format without a conversion that `text`
// equals; nullopt otherwise.
std::optional<std::string> formatFill(std::string_view text, std::string_view format);

bool startsWith(std::string_view text, std::string_view head);
bool endsWith(std::string_view text, std::string_view tail);

#endif  // BARBERSHOP_TRACE_READING_FORMATS_H_
