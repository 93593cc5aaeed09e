// The summary, the terminal timeline and the aggregate over --runs: plain text, built line by
// line from segments that each carry at most one colour, so that widths are counted without
// escape codes and colour can be left out entirely. Pure and single-threaded.

#include "trace/view.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kMinWidth = 60;  // the frame needs this much for the table to make sense
constexpr std::size_t kLabelColumns = 9;

// SGR parameters.
constexpr char kDim[] = "2";
constexpr char kBold[] = "1";
constexpr char kRed[] = "31";
constexpr char kGreen[] = "32";
constexpr char kYellow[] = "33";
constexpr char kCyan[] = "36";

struct Glyphs {
  const char *topLeft, *topRight, *bottomLeft, *bottomRight, *across, *down;
  const char *dot, *ok, *bad, *times, *more, *newline;
  const char *asleep, *cutting, *waiting, *inChair, *arrives, *axis, *tick;
};
constexpr Glyphs kUnicode = {"╭", "╮",   "╰", "╯", "─", "│", " · ", "✔", "✘", "×",
                             "…", " ⏎ ", "·", "█", "░", "█", "▏",   "─", "┴"};
constexpr Glyphs kAscii = {"+", "+",   "+", "+", "-", "|", " - ", "OK", "FAIL", "x",
                           "~", " / ", ".", "#", "-", "#", "|",   "-",  "+"};
const Glyphs& glyphs(const ViewStyle& style) { return style.unicode ? kUnicode : kAscii; }

// A stretch of text in one colour (none when `sgr` is null).
struct Seg {
  std::string text;
  const char* sgr = nullptr;
};
using Line = std::vector<Seg>;

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Display columns: one per code point, which holds for every character these views draw.
std::size_t columns(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !continuation(c); }));
}

std::string_view headColumns(std::string_view text, std::size_t n) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (continuation(text[i])) continue;
    if (seen++ == n) return text.substr(0, i);
  }
  return text;
}

// Text from the program (IDs, raw lines) made safe to draw: control bytes (an escape among them)
// and broken UTF-8 become '?', and so does every non-ASCII character in the ASCII style.
std::string clean(std::string_view text, const ViewStyle& style) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    bool whole = length > 0 && i + length <= text.size() &&
                 std::all_of(text.begin() + i + 1, text.begin() + i + length, continuation);
    if (!whole || c < 0x20 || c == 0x7F || (length > 1 && !style.unicode)) {
      out += '?';
      i += whole ? length : 1;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string ellipsize(std::string_view text, std::size_t n, const ViewStyle& style) {
  if (columns(text) <= n) return std::string(text);
  if (n == 0) return "";
  return std::string(headColumns(text, n - 1)) + glyphs(style).more;
}

std::string padRight(std::string text, std::size_t n) {
  std::size_t have = columns(text);
  if (have < n) text.append(n - have, ' ');
  return text;
}

std::string padLeft(const std::string& text, std::size_t n) {
  std::size_t have = columns(text);
  return have < n ? std::string(n - have, ' ') + text : text;
}

std::string fixed(double value, int decimals) {
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;  // never "-0.0"
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string signedMs(double value) {
  std::string text = fixed(value, 1);
  return (text[0] == '-' ? text : "+" + text) + " ms";
}

std::string orDash(const std::optional<double>& ms) { return ms ? fixed(*ms, 1) : "-"; }

// Exactly `width` columns: cut where it runs over, padded where it falls short.
std::string emit(const Line& line, std::size_t width, const ViewStyle& style) {
  std::string out;
  std::size_t left = width;
  for (const Seg& seg : line) {
    std::string_view text = headColumns(seg.text, left);
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

// Word-wraps `text` into lines of `width` columns, keeping its spaces; continuation lines are
// indented by `indent`. A word longer than a line is cut.
void addWrapped(std::vector<Line>* out, const std::string& text, const char* sgr, std::size_t width,
                std::size_t indent = 2) {
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
    std::size_t wordAt = std::min(text.find_first_not_of(' ', at), text.size());
    std::size_t wordEnd = std::min(text.find(' ', wordAt), text.size());
    std::string gap = text.substr(at, wordAt - at), word = text.substr(wordAt, wordEnd - wordAt);
    at = wordEnd;
    if (word.empty()) break;
    if (!bare && columns(line) + gap.size() + columns(word) > width) flush();
    if (!bare || first) line += gap;
    while (columns(line) + columns(word) > width) {
      std::string_view head = headColumns(word, width - std::min(width, columns(line)));
      line += head;
      word.erase(0, head.size());
      flush();
    }
    line += word;
    bare = false;
  }
  if (!bare || first) flush();
}

// Phrases joined by `dot`, broken between phrases where the line is full.
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

// The frame that sets barbershop-trace's own text apart from the program's.
std::string framed(const std::string& title, const std::vector<Line>& body,
                   const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  std::size_t width = frameWidth(style), inner = width - 4;
  auto rule = [&](std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += g.across;
    return out;
  };
  std::string name = ellipsize(title, width - 6, style);
  Line top = {Seg{std::string(g.topLeft) + g.across + " ", kDim}, Seg{name, kBold},
              Seg{" " + rule(width - 5 - columns(name)) + g.topRight, kDim}};
  std::string out = emit(top, width, style) + "\n";
  for (const Line& line : body) {
    out += emit({Seg{std::string(g.down) + " ", kDim}}, 2, style) + emit(line, inner, style) +
           emit({Seg{std::string(" ") + g.down, kDim}}, 2, style) + "\n";
  }
  out += emit({Seg{g.bottomLeft + rule(width - 2) + g.bottomRight, kDim}}, width, style) + "\n";
  return out;
}

// --- The timeline ---------------------------------------------------------------------------

struct Cell {
  std::string glyph = " ";
  const char* sgr = nullptr;
};

Line joinCells(const std::string& label, const std::vector<Cell>& cells) {
  Line line = {Seg{label, nullptr}};
  for (const Cell& cell : cells) {
    if (line.back().sgr == cell.sgr && line.size() > 1) {
      line.back().text += cell.glyph;
    } else {
      line.push_back(Seg{cell.glyph, cell.sgr});
    }
  }
  return line;
}

std::string axisNumber(double ms) { return fixed(ms, ms < 10 && ms != std::floor(ms) ? 1 : 0); }

std::vector<Line> timelineLines(const Analysis& a, std::size_t width, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  std::size_t labelWidth = std::min(kLabelColumns, width / 4);
  std::size_t track = std::max<std::size_t>(1, width - labelWidth);
  double end = a.endMs > 0 ? a.endMs : 1;
  auto col = [&](double ms) -> std::size_t {
    if (!(ms > 0)) return 0;
    double c = std::floor(ms / end * static_cast<double>(track));
    return c >= static_cast<double>(track) ? track - 1 : static_cast<std::size_t>(c);
  };
  // The columns a stretch covers, end exclusive; a stretch to the end covers the last column.
  auto stretch = [&](double from, double to, bool atLeastOne) {
    std::size_t c0 = col(from), c1 = to >= end ? track : col(to);
    return std::make_pair(c0, std::max(c1, atLeastOne ? std::min(c0 + 1, track) : c0));
  };
  auto fill = [](std::vector<Cell>* cells, std::pair<std::size_t, std::size_t> range,
                 const char* glyph, const char* sgr) {
    for (std::size_t c = range.first; c < range.second; ++c) (*cells)[c] = Cell{glyph, sgr};
  };
  auto label = [&](const std::string& text) {
    return padRight(ellipsize(clean(text, style), labelWidth - 1, style), labelWidth);
  };
  std::vector<Line> lines;

  std::vector<Cell> barber(track);
  for (const BarberSpan& span : a.barber) {
    if (span.customer.empty())
      fill(&barber, stretch(span.fromMs, span.toMs, false), g.asleep, kDim);
  }
  for (const BarberSpan& span : a.barber) {
    if (span.customer.empty()) continue;
    auto range = stretch(span.fromMs, span.toMs, true);
    fill(&barber, range, g.cutting, kCyan);
    // The customer's name inside the bar, or its initial when the name does not fit.
    std::string name = clean(span.customer, style);
    std::size_t room = range.second - range.first;
    if (columns(name) + 2 > room) name = room >= 3 ? std::string(headColumns(name, 1)) : "";
    std::size_t c = range.first + 1;
    for (std::size_t i = 0; i < name.size(); ++c) {
      std::size_t n = headColumns(std::string_view(name).substr(i), 1).size();
      barber[c] = Cell{name.substr(i, n), kBold};
      i += n;
    }
  }
  lines.push_back(joinCells(label("barber"), barber));

  for (const CustomerStory& s : a.customers) {
    std::vector<Cell> lane(track);
    if (s.satMs) {
      double until = s.cutStartMs ? *s.cutStartMs : s.leftMs ? *s.leftMs : end;
      fill(&lane, stretch(*s.satMs, until, false), g.waiting, kYellow);
    }
    if (s.cutStartMs) {
      fill(&lane, stretch(*s.cutStartMs, s.cutFinishMs.value_or(end), true), g.inChair, kGreen);
    }
    if (s.arrivalMs) {
      Cell& at = lane[col(*s.arrivalMs)];
      if (at.glyph == " " || at.glyph == g.waiting) at = Cell{g.arrives, nullptr};
    }
    if (s.leftMs && (s.outcome == Outcome::kQueueFull || s.outcome == Outcome::kNoChair)) {
      lane[col(*s.leftMs)] = Cell{"x", kRed};
    }
    lines.push_back(joinCells(label(s.id), lane));
  }

  // The longest the queue was within each column.
  std::vector<std::size_t> longest(track, 0);
  for (std::size_t i = 0; i < a.queue.size(); ++i) {
    double to = i + 1 < a.queue.size() ? a.queue[i + 1].ms : end;
    std::size_t c1 = to > a.queue[i].ms ? col(to) : col(a.queue[i].ms);
    for (std::size_t c = col(a.queue[i].ms); c <= c1; ++c) {
      longest[c] = std::max(longest[c], a.queue[i].length);
    }
  }
  std::vector<Cell> queue(track);
  for (std::size_t c = 0; c < track; ++c) {
    if (longest[c] == 0) continue;
    queue[c] = longest[c] <= 9 ? Cell{std::string(1, static_cast<char>('0' + longest[c])),
                                      longest[c] > 6 ? kRed : nullptr}
                               : Cell{"+", kRed};
  }
  lines.push_back(joinCells(label("queue"), queue));

  // The axis: round steps far enough apart for their labels, and the end labelled last.
  std::string last = axisNumber(end) + " ms";
  double need = static_cast<double>(columns(axisNumber(end)) + 2);
  double step = 1;
  for (double scale = 1; scale < 1e12 && step / end * static_cast<double>(track) < need;
       scale *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      step = m * scale;
      if (step / end * static_cast<double>(track) >= need) break;
    }
  }
  std::vector<Cell> ticks(track, Cell{g.axis, kDim}), labels(track);
  std::size_t lastAt = track > columns(last) ? track - columns(last) : 0;
  auto put = [&](std::size_t at, const std::string& text) {
    for (std::size_t i = 0; i < text.size() && at + i < track; ++i) labels[at + i].glyph = text[i];
  };
  for (double ms = 0; ms <= end; ms += step) {
    std::string text = axisNumber(ms);
    if (col(ms) + columns(text) + 1 > lastAt) break;
    ticks[col(ms)].glyph = g.tick;
    put(col(ms), text);
  }
  ticks[track - 1].glyph = g.tick;
  put(lastAt, last);
  lines.push_back(joinCells(std::string(labelWidth, ' '), ticks));
  lines.push_back(joinCells(std::string(labelWidth, ' '), labels));

  std::vector<Line> legend;
  addPhrases(&legend,
             {std::string(g.asleep) + " asleep", std::string(g.cutting) + " cutting",
              std::string(g.arrives) + " arrives", std::string(g.waiting) + " waits",
              std::string(g.inChair) + " in the chair", "x goes away", "digit: queue length"},
             kDim, width, "  ");
  lines.insert(lines.end(), legend.begin(), legend.end());
  return lines;
}

// --- The summary ----------------------------------------------------------------------------

const char* endWords(RunEnd end) {
  switch (end) {
    case RunEnd::kClosed:
      return "the run closed";
    case RunEnd::kStuck:
      return "the run was stuck well past its exact schedule and the program was ended";
    case RunEnd::kDied:
      return "the program died or wrote to standard error during the run";
    case RunEnd::kInterrupted:
      return "the run was interrupted";
  }
  return "the run ended in an unknown way";
}

// The outcome column; `brief` for a frame too narrow for the whole words.
std::string outcomeCell(const CustomerStory& s, bool brief) {
  if (s.outcome == Outcome::kWaited && s.satMs && s.cutStartMs) {
    return "waited " + fixed(*s.cutStartMs - *s.satMs, 0) + " ms" + (brief ? "" : " in the queue");
  }
  if (!brief) return outcomeText(s.outcome);
  switch (s.outcome) {
    case Outcome::kWokeBarber:
      return "woke barber";
    case Outcome::kWaited:
      return "waited";
    case Outcome::kQueueFull:
      return "away: full";
    case Outcome::kNoChair:
      return "away: no chair";
    case Outcome::kStillThere:
      break;
  }
  return "still there";
}

// The customer's cut against the exact schedule's: how late it started, or how they differ.
std::string lateCell(const CustomerStory& s) {
  bool cut = s.cutStartMs.has_value(), planned = s.planned.outcome != Planned::kSentAway;
  if (!cut) return planned ? "plan: cut" : "-";
  if (!planned) return "plan: away";
  std::string text = s.startLateMs ? signedMs(*s.startLateMs) : "-";
  if (s.outcome == Outcome::kWokeBarber && s.planned.outcome == Planned::kWaits) {
    text += ", plan: waits";
  } else if (s.outcome == Outcome::kWaited && s.planned.outcome == Planned::kWakes) {
    text += ", plan: wakes";
  }
  return text;
}

void addTable(std::vector<Line>* body, const Analysis& a, std::size_t inner,
              const ViewStyle& style) {
  enum { kId, kDelay, kArrived, kOutcome, kStart, kFinish, kLate, kColumns };
  using Row = std::array<std::string, kColumns>;
  constexpr std::size_t kGap[kColumns] = {0, 2, 1, 1, 2, 1, 2};
  constexpr std::size_t kLateRoom = 10;  // "+123.4 ms", "plan: away"; more may be cut
  auto build = [&](bool brief) {
    std::vector<Row> rows = {
        Row{"ID", "delay", "arrived", "outcome", "start", "finish", "vs exact"}};
    for (const CustomerStory& s : a.customers) {
      rows.push_back(Row{clean(s.id, style), std::to_string(s.delayMs), orDash(s.arrivalMs),
                         outcomeCell(s, brief), orDash(s.cutStartMs), orDash(s.cutFinishMs),
                         lateCell(s)});
    }
    return rows;
  };
  bool narrow = false;  // one space between columns
  auto gap = [&](std::size_t c) { return narrow ? std::min<std::size_t>(kGap[c], 1) : kGap[c]; };
  auto measure = [&](const std::vector<Row>& rows, std::array<std::size_t, kColumns>* widths) {
    widths->fill(0);
    for (const Row& row : rows) {
      for (std::size_t c = 0; c < kColumns; ++c) {
        (*widths)[c] = std::max((*widths)[c], columns(row[c]));
      }
    }
    (*widths)[kId] = std::min<std::size_t>((*widths)[kId], 12);
    (*widths)[kLate] = std::min((*widths)[kLate], kLateRoom);
    std::size_t total = 0;
    for (std::size_t c = 0; c < kColumns; ++c) total += gap(c) + (*widths)[c];
    return total;
  };
  std::vector<Row> rows = build(false);
  std::array<std::size_t, kColumns> widths;
  std::size_t total = measure(rows, &widths);
  // Too wide for the frame: a shorter ID column, then shorter words, then a shorter outcome
  // and ID still; what remains too long is cut at the frame.
  auto shrink = [&](std::size_t c, std::size_t least) {
    while (total > inner && widths[c] > least) --widths[c], --total;
  };
  shrink(kId, 8);
  if (total > inner) {
    narrow = true;
    rows = build(true);
    total = measure(rows, &widths);
    shrink(kId, 8);
  }
  shrink(kOutcome, 11);
  shrink(kId, 6);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    Line line;
    std::size_t used = 0;
    for (std::size_t c = 0; c < kColumns && used + gap(c) < inner; ++c) {
      used += gap(c);
      std::size_t room = c == kLate ? inner - used : widths[c];
      std::string text = ellipsize(rows[r][c], room, style);
      bool number = c == kDelay || c == kArrived || c == kStart || c == kFinish;
      if (c != kLate) text = number ? padLeft(text, room) : padRight(text, room);
      used += columns(text);
      const char* sgr = r == 0 ? kDim : nullptr;
      if (r > 0 && c == kOutcome) {
        Outcome o = a.customers[r - 1].outcome;
        sgr = o == Outcome::kStillThere                              ? kRed
              : (o == Outcome::kQueueFull || o == Outcome::kNoChair) ? kYellow
                                                                     : nullptr;
      }
      line.push_back(Seg{std::string(gap(c), ' '), nullptr});
      line.push_back(Seg{text, sgr});
    }
    body->push_back(line);
  }
}

std::string oneLine(const std::string& text, const ViewStyle& style) {
  std::size_t from = text.find_first_not_of('\n'), to = text.find_last_not_of('\n');
  if (from == std::string::npos) return "";
  std::string out;
  for (char c : text.substr(from, to - from + 1)) {
    if (c == '\n') {
      out += glyphs(style).newline;
    } else {
      out += c;
    }
  }
  return clean(out, style);
}

}  // namespace

std::vector<std::string> renderTimeline(const Analysis& analysis, const ViewStyle& style) {
  std::vector<std::string> out;
  for (const Line& line : timelineLines(analysis, style.width, style)) {
    out.push_back(emit(line, style.width, style));
  }
  return out;
}

std::string renderSummary(const RunRecord& run, const Analysis& a, const Verdict& verdict,
                          const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body;
  if (run.end != RunEnd::kClosed) {
    addWrapped(&body, std::string("INCOMPLETE RUN: ") + endWords(run.end), kRed, inner);
    body.push_back({});
  }
  body.push_back({Seg{"times in ms from the Run choice", kDim}});
  addTable(&body, a, inner, style);
  body.push_back({});

  std::string length =
      a.lengthMs ? "run length " + fixed(*a.lengthMs, 1) + " ms" : std::string("no closing line");
  addPhrases(&body,
             {"cut " + std::to_string(a.cut), "sent away " + std::to_string(a.sentAway),
              "barber busy " + fixed(a.busyShare * 100, 0) + " %",
              "longest queue " + std::to_string(a.longestQueue),
              length + " against exact " + fixed(a.exactLengthMs, 0) + " ms",
              "worst deviation " + fixed(a.worstDeviationMs, 1) + " ms"},
             nullptr, inner, g.dot);
  body.push_back({});
  for (Line& line : timelineLines(a, inner, style)) body.push_back(std::move(line));
  body.push_back({});

  if (verdict.holds()) addWrapped(&body, std::string(g.ok) + " every rule holds", kGreen, inner);
  for (const Finding& finding : verdict.broken) {
    addWrapped(
        &body,
        std::string(g.bad) + " " + clean(finding.rule, style) + ": " + clean(finding.what, style),
        kRed, inner);
    for (std::size_t index : finding.events) {
      if (index >= run.events.size()) continue;
      const Event& event = run.events[index];
      addWrapped(&body,
                 "    at " + fixed(static_cast<double>(event.us) / 1000.0, 1) +
                     " ms: " + oneLine(event.text, style),
                 nullptr, inner, 6);
    }
  }
  for (const Race& race : verdict.races) {
    addWrapped(&body,
               "race: " + clean(race.decided, style) + " and " + clean(race.other, style) + " " +
                   fixed(race.apartMs, 1) + " ms apart: " + clean(race.what, style),
               kYellow, inner);
  }
  if (!verdict.complete) {
    std::string text = std::string("INCOMPLETE: ") +
                       (run.end == RunEnd::kClosed ? "no closing line" : endWords(run.end));
    if (!verdict.stuck.empty()) text += "; " + clean(verdict.stuck, style);
    addWrapped(&body, text, kRed, inner);
  }

  std::size_t n = run.roster.size();
  std::string title = "barbershop-trace" + std::string(g.dot) + "run " +
                      std::to_string(run.number) + g.dot + std::to_string(n) +
                      (n == 1 ? " customer" : " customers");
  return framed(title, body, style);
}

// --- The aggregate --------------------------------------------------------------------------

namespace {

// Nearest rank: a value that was measured, never one between two.
double percentile(const std::vector<double>& sorted, double q) {
  double rank = std::ceil(q * static_cast<double>(sorted.size()));
  std::size_t at = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
  return sorted[std::min(at, sorted.size() - 1)];
}

}  // namespace

std::string renderAggregate(const std::vector<RunDigest>& runs, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body;
  auto count = [&](const std::string& what, std::size_t n) {
    return what + " " + std::to_string(n) + g.times;
  };

  // How each customer fared, by ID, in the order the customers first appear.
  constexpr std::size_t kOutcomes = static_cast<std::size_t>(Outcome::kStillThere) + 1;
  const char* const kShort[kOutcomes] = {"woke the barber", "waited", "queue full", "no chair",
                                         "still in the shop"};
  std::vector<std::string> order;
  std::map<std::string, std::array<std::size_t, kOutcomes>> outcomes;
  for (const RunDigest& run : runs) {
    for (const CustomerStory& s : run.analysis.customers) {
      if (!outcomes.count(s.id)) order.push_back(s.id);
      ++outcomes[s.id][static_cast<std::size_t>(s.outcome)];
    }
  }
  std::size_t idWidth = 0;
  for (const std::string& id : order) idWidth = std::max(idWidth, columns(clean(id, style)));
  idWidth = std::min<std::size_t>(idWidth, 12);
  body.push_back({Seg{"outcomes per customer", kDim}});
  for (const std::string& id : order) {
    std::string text;
    for (std::size_t o = 0; o < kOutcomes; ++o) {
      if (outcomes[id][o] == 0) continue;
      text += (text.empty() ? "" : ", ") + count(kShort[o], outcomes[id][o]);
    }
    addWrapped(&body, padRight(ellipsize(clean(id, style), idWidth, style), idWidth) + "  " + text,
               nullptr, inner, idWidth + 2);
  }
  body.push_back({});

  // Who won the races the exact schedule could not decide, the verdicts, and the spread of the
  // deviations and run lengths.
  std::size_t raced = 0;
  std::map<std::string, std::size_t> pairs;
  std::size_t held = 0, incomplete = 0;
  std::vector<double> deviations, lengths;
  for (const RunDigest& run : runs) {
    raced += run.verdict.races.empty() ? 0 : 1;
    for (const Race& race : run.verdict.races) {
      ++pairs[clean(race.decided, style) + "/" + clean(race.other, style)];
    }
    held += run.verdict.holds() ? 1 : 0;
    incomplete += run.verdict.complete ? 0 : 1;
    for (const Deviation& d : run.analysis.deviations) {
      deviations.push_back(std::fabs(d.measuredMs - d.exactMs));
    }
    if (run.analysis.lengthMs) lengths.push_back(*run.analysis.lengthMs);
  }
  std::vector<std::pair<std::string, std::size_t>> ranked(pairs.begin(), pairs.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& x, const auto& y) { return x.second > y.second; });
  std::string races = "a race decided an outcome in " + std::to_string(raced) + " of " +
                      std::to_string(runs.size()) + " runs";
  for (std::size_t i = 0; i < ranked.size(); ++i) {
    races += (i == 0 ? ": " : ", ") + count(ranked[i].first, ranked[i].second);
  }
  addWrapped(&body, races, ranked.empty() ? nullptr : kYellow, inner);

  std::size_t broke = runs.size() - held;
  std::string verdicts =
      "every rule held in " + std::to_string(held) + " of " + std::to_string(runs.size()) + " runs";
  if (broke > 0) verdicts += "; broke in " + std::to_string(broke);
  if (incomplete > 0) verdicts += " (" + std::to_string(incomplete) + " of them incomplete)";
  addWrapped(&body, verdicts, broke > 0 ? kRed : kGreen, inner);

  std::sort(deviations.begin(), deviations.end());
  if (deviations.empty()) {
    body.push_back({Seg{"no moment of the exact schedule was measured", kDim}});
  } else {
    addPhrases(&body,
               {"deviation from exact over " + std::to_string(deviations.size()) +
                    " moments: median " + fixed(percentile(deviations, 0.5), 2) + " ms",
                "p90 " + fixed(percentile(deviations, 0.9), 2) + " ms",
                "p99 " + fixed(percentile(deviations, 0.99), 2) + " ms",
                "max " + fixed(deviations.back(), 2) + " ms"},
               nullptr, inner, g.dot);
  }
  std::sort(lengths.begin(), lengths.end());
  if (lengths.empty()) {
    body.push_back({Seg{"no run reached its closing line", kRed}});
  } else {
    addPhrases(
        &body,
        {"run length over " + std::to_string(lengths.size()) + " closed runs: median " +
             fixed(percentile(lengths, 0.5), 1) + " ms",
         "min " + fixed(lengths.front(), 1) + " ms", "max " + fixed(lengths.back(), 1) + " ms"},
        nullptr, inner, g.dot);
  }
  std::string title = "barbershop-trace" + std::string(g.dot) + std::to_string(runs.size()) +
                      (runs.size() == 1 ? " run" : " runs");
  return framed(title, body, style);
}
