#ifndef BARBERSHOP_TRACE_FILES_HTML_H_
#define BARBERSHOP_TRACE_FILES_HTML_H_
// The pieces every page is written with: program text escaped for HTML (its control characters
// and stray bytes shown, never obeyed), numbers for SVG, times. Pure.

#include <string>
#include <string_view>

#include "trace/common/micros.h"

// Text and attribute values alike: shown as trace/common/utf8.h's visible(), then markup
// characters as references.
std::string esc(std::string_view text);
// The same for text of several lines, whose line breaks stay (a state block in a <pre>).
std::string escLines(std::string_view text);

// At most `chars` characters of text, with an ellipsis when cut.
std::string shortened(const std::string& text, std::size_t chars);

// A number for SVG with one decimal.
std::string num(double value);

// Milliseconds as "12.3", and a stretch as "12.3–45.6 ms".
std::string msNumber(double ms);
std::string span(double fromMs, double toMs);
std::string span(Micros from, Micros to);

#endif  // BARBERSHOP_TRACE_FILES_HTML_H_
