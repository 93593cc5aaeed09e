// A broken variant's change, framed: shown once per session, before the first summary of its runs.

#include <algorithm>
#include <string>
#include <vector>

#include "trace/showing/text.h"

namespace {

// A changed line, wrapped: continuation lines start under its code, a little further in, so the
// "+" and "-" column stays clear.
void addChangedLine(std::vector<Line>* body, const std::string& line, std::size_t inner,
                    const ViewStyle& style) {
  const std::string text = "  " + shown(line, style);
  const std::size_t code = std::min(text.find_first_not_of(' ', 3), text.size());
  addWrapped(body, text, line[0] == '+' ? kGreen : kRed, inner, code + 2);
}

}  // namespace

std::string renderChange(const std::string& variant, const std::string& fault,
                         const std::string& patch, const ViewStyle& style) {
  const std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body;
  if (!fault.empty()) addWrapped(&body, shown(fault, style), nullptr, inner);
  addWrapped(&body, "the shop with this change to its protocol:", kDim, inner);
  for (const ChangedFile& file : changedFiles(patch)) {
    if (!file.path.empty()) addWrapped(&body, shown(file.path, style), kBold, inner);
    for (const std::string& line : file.lines) addChangedLine(&body, line, inner, style);
  }
  return framed(
      "barbershop-trace" + std::string(glyphs(style).dot) + "variant " + shown(variant, style),
      body, style);
}
