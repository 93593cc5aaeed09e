// The terminal timeline: a lane for the barber, each customer and the queue, and a time axis.

#include "trace/showing/timeline.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "trace/common/utf8.h"
#include "trace/common/words.h"

namespace {

constexpr std::size_t kLabelColumns = 9;

struct Cell {
  std::string glyph = " ";
  const char* sgr = nullptr;
};
using Cells = std::vector<Cell>;

Line joinCells(const std::string& label, const Cells& cells) {
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

// Time to columns of the track.
class Track {
 public:
  Track(std::size_t width, double endMs)
      : width_(std::max<std::size_t>(1, width)), end_(endMs > 0 ? endMs : 1) {}
  std::size_t width() const { return width_; }
  double end() const { return end_; }
  std::size_t col(double ms) const {
    if (!(ms > 0)) return 0;
    const double c = std::floor(ms / end_ * static_cast<double>(width_));
    return c >= static_cast<double>(width_) ? width_ - 1 : static_cast<std::size_t>(c);
  }
  // The columns a stretch covers, end exclusive; a stretch to the end covers the last column.
  std::pair<std::size_t, std::size_t> stretch(double from, double to, bool atLeastOne) const {
    const std::size_t c0 = col(from), c1 = to >= end_ ? width_ : col(to);
    return {c0, std::max(c1, atLeastOne ? std::min(c0 + 1, width_) : c0)};
  }
  void fill(Cells* cells, std::pair<std::size_t, std::size_t> range, const char* glyph,
            const char* sgr) const {
    for (std::size_t c = range.first; c < range.second; ++c) (*cells)[c] = Cell{glyph, sgr};
  }

 private:
  std::size_t width_;
  double end_;
};

Cells barberLane(const FinishedRun& run, const Track& track, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  Cells cells(track.width());
  for (const BarberSpan& span : run.analysis.barber) {
    if (span.who < 0)
      track.fill(&cells, track.stretch(span.fromMs, span.toMs, false), g.asleep, kDim);
  }
  for (const BarberSpan& span : run.analysis.barber) {
    if (span.who < 0) continue;
    const auto range = track.stretch(span.fromMs, span.toMs, true);
    track.fill(&cells, range, g.cutting, kCyan);
    // The customer's name inside the bar, or its initial when the name does not fit.
    std::string name = shown(customerName(run.record.roster, span.who), style);
    const std::size_t room = range.second - range.first;
    if (columns(name) + 2 > room) name = room >= 3 ? std::string(headColumns(name, 1)) : "";
    std::size_t c = range.first + 1;
    for (std::size_t i = 0; i < name.size() && c < range.second; ++c) {
      const std::size_t n = headColumns(std::string_view(name).substr(i), 1).size();
      if (n == 0) break;  // a wide character the one column cannot hold
      cells[c] = Cell{name.substr(i, n), kBold};
      i += n;
    }
  }
  return cells;
}

// The customer's stays as the run's story tells them: waiting, then being cut.
Cells customerLane(const CustomerStory& s, const Visit& v, const Track& track,
                   const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  Cells cells(track.width());
  for (const Stay& stay : v.stays) {
    if (stay.to <= stay.from) continue;
    if (stay.cutting) {
      track.fill(&cells, track.stretch(stay.from.ms(), stay.to.ms(), true), g.inChair, kGreen);
    } else if (stay.place == Place::kQueue || stay.place == Place::kDoor ||
               stay.place == Place::kChair) {
      track.fill(&cells, track.stretch(stay.from.ms(), stay.to.ms(), false), g.waiting, kYellow);
    }
  }
  if (s.arrivalMs) {
    Cell& at = cells[track.col(*s.arrivalMs)];
    if (at.glyph == " " || at.glyph == g.waiting) at = Cell{g.arrives, nullptr};
  }
  if (s.leftMs && wentAway(s.outcome)) cells[track.col(*s.leftMs)] = Cell{"x", kRed};
  return cells;
}

// The longest the queue was within each column, as a digit.
Cells queueLane(const Analysis& a, const Track& track) {
  std::vector<std::size_t> longest(track.width(), 0);
  for (std::size_t i = 0; i < a.queue.size(); ++i) {
    const double to = i + 1 < a.queue.size() ? a.queue[i + 1].ms : track.end();
    const std::size_t c1 = to > a.queue[i].ms ? track.col(to) : track.col(a.queue[i].ms);
    for (std::size_t c = track.col(a.queue[i].ms); c <= c1; ++c) {
      longest[c] = std::max(longest[c], a.queue[i].length);
    }
  }
  Cells cells(track.width());
  for (std::size_t c = 0; c < track.width(); ++c) {
    if (longest[c] == 0) continue;
    cells[c] = longest[c] <= 9 ? Cell{std::string(1, static_cast<char>('0' + longest[c])),
                                      longest[c] > 6 ? kRed : nullptr}
                               : Cell{"+", kRed};
  }
  return cells;
}

// The axis: round steps far enough apart for their labels, and the end labelled last.
std::pair<Cells, Cells> axis(const Track& track, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  const std::size_t width = track.width();
  const double end = track.end();
  const std::string last = axisNumber(end) + " ms";
  const double need = static_cast<double>(columns(axisNumber(end)) + 2);
  double step = 1;
  for (double scale = 1; scale < 1e12 && step / end * static_cast<double>(width) < need;
       scale *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      step = m * scale;
      if (step / end * static_cast<double>(width) >= need) break;
    }
  }
  Cells ticks(width, Cell{g.axis, kDim}), labels(width);
  const std::size_t lastAt = width > columns(last) ? width - columns(last) : 0;
  auto put = [&](std::size_t at, const std::string& text) {
    for (std::size_t i = 0; i < text.size() && at + i < width; ++i) labels[at + i].glyph = text[i];
  };
  for (double ms = 0; ms <= end; ms += step) {
    const std::string text = axisNumber(ms);
    if (track.col(ms) + columns(text) + 1 > lastAt) break;
    ticks[track.col(ms)].glyph = g.tick;
    put(track.col(ms), text);
  }
  ticks[width - 1].glyph = g.tick;
  put(lastAt, last);
  return {ticks, labels};
}

}  // namespace

std::vector<Line> timelineLines(const FinishedRun& run, std::size_t width, const ViewStyle& style,
                                bool customers) {
  const std::size_t labelWidth = std::min(kLabelColumns, width / 4);
  const Track track(width - labelWidth, run.analysis.endMs);
  auto label = [&](const std::string& text) {
    return padRight(ellipsize(shown(text, style), labelWidth - 1, style), labelWidth);
  };
  std::vector<Line> lines;
  lines.push_back(joinCells(label("barber"), barberLane(run, track, style)));
  for (const CustomerStory& s : run.analysis.customers) {
    if (!customers) break;
    lines.push_back(joinCells(
        label(customerName(run.record.roster, s.who)),
        customerLane(s, run.story.visits[static_cast<std::size_t>(s.who)], track, style)));
  }
  lines.push_back(joinCells(label("queue"), queueLane(run.analysis, track)));
  const auto [ticks, labels] = axis(track, style);
  lines.push_back(joinCells(std::string(labelWidth, ' '), ticks));
  lines.push_back(joinCells(std::string(labelWidth, ' '), labels));
  return lines;
}

std::vector<Line> legendLines(std::size_t width, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  // Each glyph in its lane's colour, so colour and shape tell the same things apart.
  const std::pair<std::string, const char*> keys[] = {
      {std::string(g.asleep) + " asleep", kDim},
      {std::string(g.cutting) + " cutting", kCyan},
      {std::string(g.arrives) + " arrives", nullptr},
      {std::string(g.waiting) + " waits", kYellow},
      {std::string(g.inChair) + " in the chair", kGreen},
      {"x goes away uncut", kRed},
      {"digit: customers waiting", nullptr},
  };
  std::vector<Line> lines(1);
  std::size_t used = 0;
  for (const auto& [text, sgr] : keys) {
    const std::size_t need = columns(text) + (used > 0 ? 2 : 0);
    if (used > 0 && used + need > width) {
      lines.emplace_back();
      used = 0;
    }
    if (used > 0) lines.back().push_back(Seg{"  ", nullptr});
    lines.back().push_back(Seg{text, sgr});
    used += columns(text) + (used > 0 ? 2 : 0);
  }
  return lines;
}
