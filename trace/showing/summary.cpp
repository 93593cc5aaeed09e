// The framed summary of one run: the customer table, the totals, the timeline and the verdict.

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trace/showing/text.h"
#include "trace/showing/view.h"

namespace {

std::string signedMs(double value) {
  std::string text = fixed(value, 1);
  return (text[0] == '-' ? text : "+" + text) + " ms";
}

std::string orDash(const std::optional<double>& ms) { return ms ? fixed(*ms, 1) : "-"; }

// The outcome column; `brief` for a frame too narrow for the whole words.
std::string outcomeCell(const CustomerStory& s, bool brief) {
  if (s.outcome == Outcome::kWaited && s.satMs && s.cutStartMs) {
    return "waited " + fixed(*s.cutStartMs - *s.satMs, 0) + " ms" + (brief ? "" : " in the queue");
  }
  if (!brief) return outcomeText(s.outcome);
  switch (s.outcome) {
    case Outcome::kWoke:
      return "woke barber";
    case Outcome::kWaited:
      return "waited";
    case Outcome::kAwayQueueFull:
      return "away: full";
    case Outcome::kAwayNoChair:
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
  if (s.outcome == Outcome::kWoke && s.planned.outcome == Planned::kWaits) {
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
        sgr = o == Outcome::kStillThere                                      ? kRed
              : (o == Outcome::kAwayQueueFull || o == Outcome::kAwayNoChair) ? kYellow
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
