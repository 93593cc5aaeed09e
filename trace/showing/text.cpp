// Drawing text for the views: widths, cutting and padding, wrapping, colour and the frame.

#include "trace/showing/text.h"

#include <algorithm>
#include <cctype>

#include "trace/common/utf8.h"

namespace {

constexpr std::size_t kMinWidth = 40;  // narrower than this nothing reads

constexpr Glyphs kUnicode = {"╭", "╮",   "╰", "╯", "─", "│", " · ", "✔", "✘", "×",
                             "…", " ⏎ ", "→", "·", "█", "░", "▓",   "▏", "─", "┴"};
constexpr Glyphs kAscii = {"+", "+",   "+",  "+", "-", "|", " - ", "OK", "FAIL", "x",
                           "~", " / ", "->", ".", "#", "-", "=",   "|",  "-",    "+"};

// Where a word ends once a unit after it is taken along, so that "200.7 ms" and "8 %" are never
// parted at the end of a line.
std::size_t withUnit(const std::string& text, std::size_t wordEnd) {
  if (wordEnd == 0 || !std::isdigit(static_cast<unsigned char>(text[wordEnd - 1]))) return wordEnd;
  for (std::string_view unit : {" ms", " %", " s"}) {
    const std::size_t end = wordEnd + unit.size();
    if (text.compare(wordEnd, unit.size(), unit) != 0) continue;
    if (end == text.size() || std::string_view(" ,;:.)").find(text[end]) != std::string_view::npos)
      return end;
  }
  return wordEnd;
}

}  // namespace

const Glyphs& glyphs(const ViewStyle& style) { return style.unicode ? kUnicode : kAscii; }

std::string shown(std::string_view text, const ViewStyle& style) {
  return visible(text, !style.unicode);
}

std::string ellipsize(std::string_view text, std::size_t n, const ViewStyle& style) {
  if (columns(text) <= n) return std::string(text);
  if (n == 0) return "";
  return std::string(headColumns(text, n - 1)) + glyphs(style).more;
}

std::string padRight(std::string text, std::size_t n) {
  const std::size_t have = columns(text);
  if (have < n) text.append(n - have, ' ');
  return text;
}

std::string padLeft(const std::string& text, std::size_t n) {
  const std::size_t have = columns(text);
  return have < n ? std::string(n - have, ' ') + text : text;
}

std::string emit(const Line& line, std::size_t width, const ViewStyle& style) {
  std::string out;
  std::size_t left = width;
  for (const Seg& seg : line) {
    const std::string_view text = headColumns(seg.text, left);
    left -= columns(text);
    if (text.empty()) continue;
    if (style.colour && seg.sgr) {
      out += "\x1b[" + std::string(seg.sgr) + "m" + std::string(text) + "\x1b[0m";
    } else {
      out += text;
    }
  }
  return out.append(left, ' ');
}

void addWrapped(std::vector<Line>* out, const std::string& text, const char* sgr, std::size_t width,
                std::size_t indent) {
  indent = std::min(indent, width / 2);
  std::string line;
  bool first = true, bare = true;  // the first line; no word on this line yet
  auto flush = [&] {
    out->push_back({Seg{line, sgr}});
    line.assign(indent, ' ');
    first = false;
    bare = true;
  };
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t wordAt = std::min(text.find_first_not_of(' ', at), text.size());
    const std::size_t wordEnd = withUnit(text, std::min(text.find(' ', wordAt), text.size()));
    const std::string gap = text.substr(at, wordAt - at);
    std::string word = text.substr(wordAt, wordEnd - wordAt);
    at = wordEnd;
    if (word.empty()) break;
    if (!bare && columns(line) + gap.size() + columns(word) > width) flush();
    if (!bare || first) line += gap;
    while (columns(line) + columns(word) > width) {
      const std::string_view head = headColumns(word, width - std::min(width, columns(line)));
      if (head.empty() && bare) break;  // a character wider than the line: let emit cut it
      line += head;
      word.erase(0, head.size());
      flush();
    }
    line += word;
    bare = false;
  }
  if (!bare || first) flush();
}

std::string wrapped(const std::string& text, std::size_t width, std::size_t indent) {
  // Line by line: a line's own indent carries over to the lines it wraps into.
  std::string out;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string source = text.substr(at, end - at);
    at = end + 1;
    if (source.empty()) {
      if (end < text.size()) out += "\n";
      continue;
    }
    std::vector<Line> lines;
    const std::size_t own = std::min(source.find_first_not_of(' '), source.size());
    addWrapped(&lines, source, nullptr, width, own + indent);
    for (const Line& line : lines) {
      std::string each = line.front().text;
      each.erase(each.find_last_not_of(' ') + 1);
      out += each + "\n";
    }
  }
  return out;
}

void addPhrases(std::vector<Line>* out, const std::vector<std::string>& phrases, const char* sgr,
                std::size_t width, const char* dot) {
  std::string line;
  for (const std::string& phrase : phrases) {
    if (!line.empty() && columns(line) + columns(dot) + columns(phrase) <= width) {
      line += dot + phrase;
      continue;
    }
    if (!line.empty()) addWrapped(out, line, sgr, width);
    line = phrase;
  }
  if (!line.empty()) addWrapped(out, line, sgr, width);
}

std::size_t frameWidth(const ViewStyle& style) { return std::max(style.width, kMinWidth); }

std::string framed(const std::string& title, const std::vector<Line>& body,
                   const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  const std::size_t width = frameWidth(style), inner = width - 4;
  auto rule = [&](std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += g.across;
    return out;
  };
  const std::string name = ellipsize(title, width - 6, style);
  const Line top = {Seg{std::string(g.topLeft) + g.across + " ", kDim}, Seg{name, kBold},
                    Seg{" " + rule(width - 5 - columns(name)) + g.topRight, kDim}};
  std::string out = emit(top, width, style) + "\n";
  for (const Line& line : body) {
    out += emit({Seg{std::string(g.down) + " ", kDim}}, 2, style) + emit(line, inner, style) +
           emit({Seg{std::string(" ") + g.down, kDim}}, 2, style) + "\n";
  }
  out += emit({Seg{g.bottomLeft + rule(width - 2) + g.bottomRight, kDim}}, width, style) + "\n";
  return out;
}

std::string counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::vector<ChangedFile> changedFiles(const std::string& patch) {
  std::vector<ChangedFile> out;
  std::string before;  // the line before: a "--- " header is one when "+++ " follows it
  for (std::size_t at = 0; at < patch.size();) {
    const std::size_t end = std::min(patch.find('\n', at), patch.size());
    const std::string line = patch.substr(at, end - at);
    at = end + 1;
    if (line.rfind("+++ ", 0) == 0 && before.rfind("--- ", 0) == 0) {
      out.back().lines.pop_back();  // the "--- " line was taken for a line taken away
      if (out.back().path.empty() && out.back().lines.empty()) out.pop_back();
      std::string path = line.substr(4);
      path = path.substr(0, path.find('\t'));
      if (path.rfind("b/", 0) == 0) path.erase(0, 2);
      out.push_back(ChangedFile{path, {}});
    } else if (!line.empty() && (line[0] == '+' || line[0] == '-')) {
      if (out.empty()) out.push_back(ChangedFile{});
      out.back().lines.push_back(line);
    }
    before = line;
  }
  return out;
}
