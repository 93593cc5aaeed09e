#ifndef BARBERSHOP_TRACE_SHOWING_TEXT_H_
#define BARBERSHOP_TRACE_SHOWING_TEXT_H_
// What the summary, the timeline and the aggregate are drawn with: lines built from segments
// that each carry at most one colour, so that widths are counted without escape codes and colour
// can be left out entirely; UTF-8 counted, cut and padded by display column; the frame. Pure.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "trace/showing/view.h"

struct Analysis;

// SGR parameters.
inline constexpr char kDim[] = "2";
inline constexpr char kBold[] = "1";
inline constexpr char kRed[] = "31";
inline constexpr char kGreen[] = "32";
inline constexpr char kYellow[] = "33";
inline constexpr char kCyan[] = "36";

struct Glyphs {
  const char *topLeft, *topRight, *bottomLeft, *bottomRight, *across, *down;
  const char *dot, *ok, *bad, *times, *more, *newline;
  const char *asleep, *cutting, *waiting, *inChair, *arrives, *axis, *tick;
};
const Glyphs& glyphs(const ViewStyle& style);

// A stretch of text in one colour (none when `sgr` is null).
struct Seg {
  std::string text;
  const char* sgr = nullptr;
};
using Line = std::vector<Seg>;

// Display columns: one per code point, which holds for every character these views draw.
std::size_t columns(std::string_view text);
// The first `n` columns of `text`.
std::string_view headColumns(std::string_view text, std::size_t n);

// Text from the program (IDs, raw lines) made safe to draw: control bytes (an escape among them)
// and broken UTF-8 become '?', and so does every non-ASCII character in the ASCII style.
std::string clean(std::string_view text, const ViewStyle& style);

// At most `n` columns, ending in an ellipsis where it was cut.
std::string ellipsize(std::string_view text, std::size_t n, const ViewStyle& style);
std::string padRight(std::string text, std::size_t n);
std::string padLeft(const std::string& text, std::size_t n);
std::string fixed(double value, int decimals);  // never "-0.0"

// Exactly `width` columns: cut where it runs over, padded where it falls short.
std::string emit(const Line& line, std::size_t width, const ViewStyle& style);

// Word-wraps `text` into lines of `width` columns, keeping its spaces; continuation lines are
// indented by `indent`. A word longer than a line is cut.
void addWrapped(std::vector<Line>* out, const std::string& text, const char* sgr, std::size_t width,
                std::size_t indent = 2);

// Phrases joined by `dot`, broken between phrases where the line is full.
void addPhrases(std::vector<Line>* out, const std::vector<std::string>& phrases, const char* sgr,
                std::size_t width, const char* dot);

// The frame's width: the terminal's, but never narrower than the table needs.
std::size_t frameWidth(const ViewStyle& style);
// The frame that sets barbershop-trace's own text apart from the program's.
std::string framed(const std::string& title, const std::vector<Line>& body, const ViewStyle& style);

// The timeline's lines, `width` columns wide: drawn alone by renderTimeline and inside the
// summary's frame.
std::vector<Line> timelineLines(const Analysis& a, std::size_t width, const ViewStyle& style);

#endif  // BARBERSHOP_TRACE_SHOWING_TEXT_H_
