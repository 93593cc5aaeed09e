// The terminal timeline: a lane for the barber, each customer and the queue, and a time axis.

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "trace/showing/text.h"
#include "trace/showing/view.h"

namespace {

constexpr std::size_t kLabelColumns = 9;

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

}  // namespace

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
    if (s.leftMs && (s.outcome == Outcome::kAwayQueueFull || s.outcome == Outcome::kAwayNoChair)) {
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

std::vector<std::string> renderTimeline(const Analysis& analysis, const ViewStyle& style) {
  std::vector<std::string> out;
  for (const Line& line : timelineLines(analysis, style.width, style)) {
    out.push_back(emit(line, style.width, style));
  }
  return out;
}
