// The framed summary of one run: the customer table, the totals, the timeline and the verdict;
// or, when the terminal is too short for it and the menu after it, the same condensed.

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trace/common/utf8.h"
#include "trace/common/words.h"
#include "trace/judging/telling.h"
#include "trace/showing/text.h"
#include "trace/showing/timeline.h"
#include "trace/showing/verdict_lines.h"

namespace {

// Rows the program's menu takes after the summary, with the barber's bed line.
constexpr std::size_t kMenuRows = 11;

enum { kName, kDelay, kArrived, kOutcome, kStart, kFinish, kLate, kColumns };
using Row = std::array<std::string, kColumns>;
constexpr std::size_t kGap[kColumns] = {0, 2, 1, 1, 2, 1, 2};

std::string orDash(const std::optional<double>& value) { return value ? fixed(*value, 1) : "-"; }

// The customer's cut against the plan's: how late it started, or how they differ.
std::string lateCell(const CustomerStory& s) {
  const bool cut = s.cutStartMs.has_value(), planned = s.planned.outcome != Planned::kSentAway;
  if (!cut) return planned ? "plan: cut" : "-";
  if (!planned) return "plan: away";
  std::string text = s.startLateMs ? signedMs(*s.startLateMs) : "-";
  if (!fulfils(s.outcome, s.planned.outcome) && s.leftMs) {
    text += std::string(", plan: ") + wordsOf(s.planned.outcome).brief;
  }
  return text;
}

std::vector<Row> tableRows(const FinishedRun& run, const ViewStyle& style, bool brief) {
  std::vector<Row> rows = {
      Row{"customer", "delay", "arrived", "outcome", "start", "finish", "late"}};
  for (const CustomerStory& s : run.analysis.customers) {
    rows.push_back(Row{shown(customerName(run.record.roster, s.who), style),
                       std::to_string(s.delayMs), orDash(s.arrivalMs),
                       outcomeWords(run, s.who, brief), orDash(s.cutStartMs), orDash(s.cutFinishMs),
                       lateCell(s)});
  }
  return rows;
}

// Column widths for `rows` that fit `inner`: shorter names first, then shorter outcomes.
std::array<std::size_t, kColumns> widthsFor(const std::vector<Row>& rows, std::size_t inner) {
  std::array<std::size_t, kColumns> widths{};
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], columns(row[c]));
  }
  widths[kName] = std::min<std::size_t>(widths[kName], 12);
  widths[kLate] = std::min<std::size_t>(widths[kLate], 10);  // more may be cut at the frame
  std::size_t total = 0;
  for (std::size_t c = 0; c < kColumns; ++c) total += kGap[c] + widths[c];
  for (auto [c, least] : {std::pair<int, std::size_t>{kName, 6}, {kOutcome, 11}}) {
    while (total > inner && widths[c] > least) --widths[c], --total;
  }
  return widths;
}

const char* outcomeColour(Outcome o) {
  if (o == Outcome::kStillThere) return kRed;
  return wentAway(o) ? kYellow : nullptr;
}

void addTable(std::vector<Line>* body, const FinishedRun& run, std::size_t inner,
              const ViewStyle& style, bool brief) {
  const std::vector<Row> rows = tableRows(run, style, brief);
  const std::array<std::size_t, kColumns> widths = widthsFor(rows, inner);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    Line line;
    std::size_t used = 0;
    for (std::size_t c = 0; c < kColumns && used + kGap[c] < inner; ++c) {
      used += kGap[c];
      const std::size_t room = c == kLate ? inner - used : widths[c];
      std::string text = ellipsize(rows[r][c], room, style);
      const bool number = c == kDelay || c == kArrived || c == kStart || c == kFinish;
      if (c != kLate) text = number ? padLeft(text, room) : padRight(text, room);
      used += columns(text);
      const char* sgr = r == 0 ? kDim : nullptr;
      if (r > 0 && c == kOutcome) sgr = outcomeColour(run.analysis.customers[r - 1].outcome);
      line.push_back(Seg{std::string(kGap[c], ' '), nullptr});
      line.push_back(Seg{text, sgr});
    }
    body->push_back(line);
  }
}

// Races and notes: what happened that breaks no rule.
void addNotes(std::vector<Line>* body, const FinishedRun& run, std::size_t inner,
              const ViewStyle& style) {
  for (const Race& race : run.analysis.races) {
    addWrapped(body, "race: " + shown(raceSentence(run, race), style), kYellow, inner);
  }
  for (const std::string& note : run.verdict.notes) {
    addWrapped(body, "note: " + shown(note, style), kYellow, inner);
  }
}

std::string title(const FinishedRun& run, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  const std::size_t n = run.record.roster.size();
  return "barbershop-trace" + std::string(g.dot) + "run " + std::to_string(run.record.number) +
         g.dot + counted(n, "customer", "customers") +
         (run.record.variant.empty() ? ""
                                     : g.dot + ("variant " + shown(run.record.variant, style)));
}

std::vector<Line> fullBody(const FinishedRun& run, std::size_t inner, const ViewStyle& style) {
  std::vector<Line> body;
  if (run.record.end != RunEnd::kClosed) {
    addWrapped(&body, std::string("not finished: ") + endWords(run.record.end), kRed, inner);
    body.push_back({});
  }
  addWrapped(&body, runKindWords(run.record.control.controlled), kDim, inner);
  addWrapped(&body,
             "times in ms since Run was chosen; late: how long after its planned time the cut "
             "started (the plan: the run as it would go if the shop's machinery took no time)",
             kDim, inner);
  addTable(&body, run, inner, style, false);
  body.push_back({});
  addPhrases(&body, totalsParts(run), nullptr, inner, glyphs(style).dot);
  body.push_back({});
  for (Line& line : timelineLines(run, inner, style, true)) body.push_back(std::move(line));
  for (Line& line : legendLines(inner, style)) body.push_back(std::move(line));
  body.push_back({});
  // An unfinished run's top line has said how it ended.
  addVerdict(&body, run.verdict, run.record.end, run.record.events, inner, style,
             VerdictForm{false, false});
  addNotes(&body, run, inner, style);
  return body;
}

// Verdict and totals first, then as much of the table and the lanes as the rows allow.
std::vector<Line> compactBody(const FinishedRun& run, std::size_t inner, const ViewStyle& style,
                              std::size_t rows) {
  std::vector<Line> body;
  addVerdict(&body, run.verdict, run.record.end, run.record.events, inner, style,
             VerdictForm{true, true});
  addPhrases(&body, totalsParts(run), nullptr, inner, glyphs(style).dot);
  const Line kind = {Seg{runKindWords(run.record.control.controlled), kDim}};
  const Line hint = {Seg{"the whole summary: --summary full, or the page with --report DIR", kDim}};
  std::vector<Line> table;
  addTable(&table, run, inner, style, true);
  std::vector<Line> lanes = timelineLines(run, inner, style, true);
  // Two rows at the foot: the kind of run and the hint.
  if (body.size() + table.size() + lanes.size() + 2 > rows) {
    lanes = timelineLines(run, inner, style, false);
  }
  for (const std::vector<Line>* part : {&table, &lanes}) {
    if (body.size() + part->size() + 2 > rows) continue;
    body.insert(body.end(), part->begin(), part->end());
  }
  body.push_back(kind);
  body.push_back(hint);
  return body;
}

}  // namespace

std::string renderSummary(const FinishedRun& run, const ViewStyle& style) {
  const std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body = fullBody(run, inner, style);
  const std::size_t room = style.height > kMenuRows + 2 ? style.height - kMenuRows - 2 : 0;
  const bool compact = style.form == SummaryForm::kCompact ||
                       (style.form == SummaryForm::kAuto && style.height > 0 && body.size() > room);
  if (compact) body = compactBody(run, inner, style, std::max<std::size_t>(room, 6));
  return framed(title(run, style), body, style);
}

std::string renderDigest(const FinishedRun& run, int runs, const ViewStyle& style) {
  const Analysis& a = run.analysis;
  std::string text = "run " + std::to_string(run.record.number) + "/" + std::to_string(runs) +
                     ": every rule holds, " + ms(a.lengthMs.value_or(0)) + " (planned " +
                     fixed(a.exactLengthMs, 0) + "), at most " + fixed(a.worstDeviationMs, 2) +
                     " ms off";
  if (!a.races.empty()) text += ", a race";
  return wrapped(text, frameWidth(style), 4);
}
