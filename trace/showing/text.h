#ifndef BARBERSHOP_TRACE_SHOWING_TEXT_H_
#define BARBERSHOP_TRACE_SHOWING_TEXT_H_
// What the summary, the timeline and the aggregate are drawn with: lines built from segments
// that each carry at most one colour, so that widths are counted without escape codes and colour
// can be left out entirely; text from the program shown, not obeyed; lines cut, padded and
// wrapped by terminal column; the frame. Pure.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "trace/showing/view.h"

// SGR parameters.
inline constexpr char kDim[] = "2";
inline constexpr char kBold[] = "1";
inline constexpr char kRed[] = "31";
inline constexpr char kGreen[] = "32";
inline constexpr char kYellow[] = "33";
inline constexpr char kCyan[] = "36";

struct Glyphs {
  const char *topLeft, *topRight, *bottomLeft, *bottomRight, *across, *down;
  const char *dot, *ok, *bad, *times, *more, *newline, *arrow;
  const char *asleep, *cutting, *waiting, *inChair, *arrives, *axis, *tick;
};
const Glyphs& glyphs(const ViewStyle& style);

// A stretch of text in one colour (none when `sgr` is null).
struct Seg {
  std::string text;
  const char* sgr = nullptr;
};
using Line = std::vector<Seg>;

// Text from the program (IDs, raw lines) made safe to draw: control characters and bytes that
// are not UTF-8 shown as escapes, and every non-ASCII character as '?' in the ASCII style.
std::string shown(std::string_view text, const ViewStyle& style);

// At most `n` columns, ending in an ellipsis where it was cut.
std::string ellipsize(std::string_view text, std::size_t n, const ViewStyle& style);
std::string padRight(std::string text, std::size_t n);
std::string padLeft(const std::string& text, std::size_t n);

// Exactly `width` columns: cut where it runs over, padded where it falls short.
std::string emit(const Line& line, std::size_t width, const ViewStyle& style);

// Word-wraps `text` into lines of `width` columns, keeping its spaces; continuation lines are
// indented by `indent`. A word longer than a line is cut.
void addWrapped(std::vector<Line>* out, const std::string& text, const char* sgr, std::size_t width,
                std::size_t indent = 2);
// The same as plain text, each line ending in a newline, line breaks and each line's own indent
// kept: for output outside a frame.
std::string wrapped(const std::string& text, std::size_t width, std::size_t indent = 2);

// Phrases joined by `dot`, broken between phrases where the line is full.
void addPhrases(std::vector<Line>* out, const std::vector<std::string>& phrases, const char* sgr,
                std::size_t width, const char* dot);

// The frame's width: the terminal's, but never narrower than the table needs.
std::size_t frameWidth(const ViewStyle& style);
// The frame that sets barbershop-trace's own text apart from the program's.
std::string framed(const std::string& title, const std::vector<Line>& body, const ViewStyle& style);

// A count with its noun in the right number: "1 run", "2 runs", "0 runs".
std::string counted(std::size_t n, const char* one, const char* many);

// What a variant's patch changes in one file: the file's name and the lines the patch adds and
// takes away ("+..." and "-..."), without its headers, hunk lines or unchanged lines.
struct ChangedFile {
  std::string path;  // as the patch names it after "+++ b/"
  std::vector<std::string> lines;
};
std::vector<ChangedFile> changedFiles(const std::string& patch);

#endif  // BARBERSHOP_TRACE_SHOWING_TEXT_H_
