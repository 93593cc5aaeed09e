// Field-by-field comparisons and the judged run's invariants, for the fuzz targets.

#include "fuzz/records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "trace/common/utf8.h"
#include "trace/reading/event_log.h"

namespace {

// The fields of two values side by side, control bytes shown, so a report can be read: long
// texts from a little before their first difference, and only so far.
[[noreturn]] void differ(const std::string& what, const std::string& field, const std::string& got,
                         const std::string& want) {
  constexpr std::size_t kBefore = 40, kShown = 160;
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const std::size_t from = at > kBefore ? at - kBefore : 0;
  auto excerpt = [&](const std::string& text) {
    return (from > 0 ? "..." : "") + visible(text.substr(from, kShown)) +
           (text.size() > from + kShown ? "..." : "");
  };
  fprintf(stderr, "%s: %s differs at byte %zu of %zu and %zu\n  got:  %s\n  want: %s\n",
          what.c_str(), field.c_str(), at, got.size(), want.size(), excerpt(got).c_str(),
          excerpt(want).c_str());
  abort();
}

std::string joined(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& each : list) out += "[" + each + "]";
  return out;
}

std::string chairOf(const ShopState& state) { return state.chair ? "{" + *state.chair + "}" : "-"; }

bool inRoster(int who, const Roster& roster) {
  return who >= 0 && static_cast<std::size_t>(who) < roster.size();
}

bool isLine(const std::optional<std::size_t>& line, const RunRecord& record) {
  return !line || *line < record.events.size();
}

}  // namespace

void require(bool holds, const char* what) {
  if (holds) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

void require(bool holds, const std::string& what) { require(holds, what.c_str()); }

void requireSameRoster(const Roster& got, const Roster& want, const std::string& what) {
  if (got.size() != want.size()) {
    differ(what, "roster size", std::to_string(got.size()), std::to_string(want.size()));
  }
  for (std::size_t i = 0; i < got.size(); ++i) {
    const std::string at = "customer " + std::to_string(i) + "'s ";
    if (got[i].id != want[i].id) differ(what, at + "ID", got[i].id, want[i].id);
    if (got[i].delayMs != want[i].delayMs || got[i].cuttingMs != want[i].cuttingMs) {
      differ(what, at + "times",
             std::to_string(got[i].delayMs) + "," + std::to_string(got[i].cuttingMs),
             std::to_string(want[i].delayMs) + "," + std::to_string(want[i].cuttingMs));
    }
  }
}

void requireSameEvents(const std::vector<Event>& got, const std::vector<Event>& want,
                       bool withTimes, const std::string& what) {
  for (std::size_t i = 0; i < got.size() && i < want.size(); ++i) {
    const Event &a = got[i], &b = want[i];
    const std::string at = "event " + std::to_string(i) + "'s ";
    if (a.kind != b.kind) differ(what, at + "kind", kindName(a.kind), kindName(b.kind));
    if (a.text != b.text) differ(what, at + "text", a.text, b.text);
    if (a.id != b.id) differ(what, at + "ID", a.id, b.id);
    if (a.who != b.who) differ(what, at + "customer", std::to_string(a.who), std::to_string(b.who));
    if (withTimes && a.us != b.us) {
      differ(what, at + "time", std::to_string(a.us), std::to_string(b.us));
    }
    const ShopState &s = a.state, &t = b.state;
    if (s.chair != t.chair || s.queue != t.queue || s.finished != t.finished || s.gone != t.gone) {
      differ(what, at + "state",
             chairOf(s) + joined(s.queue) + "/" + joined(s.finished) + "/" + joined(s.gone),
             chairOf(t) + joined(t.queue) + "/" + joined(t.finished) + "/" + joined(t.gone));
    }
    if (s.ambiguous != t.ambiguous || s.fewestWaiting != t.fewestWaiting) {
      differ(what, at + "split of the queue",
             std::to_string(s.ambiguous) + "," + std::to_string(s.fewestWaiting),
             std::to_string(t.ambiguous) + "," + std::to_string(t.fewestWaiting));
    }
  }
  if (got.size() != want.size()) {
    differ(what, "number of events", std::to_string(got.size()), std::to_string(want.size()));
  }
}

void requireSameRecord(const RunRecord& got, const RunRecord& want, const std::string& what) {
  requireSameRoster(got.roster, want.roster, what);
  requireSameEvents(got.events, want.events, true, what);
  if (got.end != want.end) differ(what, "end", runEndName(got.end), runEndName(want.end));
  const std::vector<std::pair<const char*, std::pair<std::int64_t, std::int64_t>>> numbers = {
      {"end time", {got.endUs, want.endUs}},
      {"run number", {got.number, want.number}},
      {"start time", {got.startedUnixMs, want.startedUnixMs}},
      {"slow factor", {got.slow, want.slow}}};
  for (const auto& [field, pair] : numbers) {
    if (pair.first != pair.second) {
      differ(what, field, std::to_string(pair.first), std::to_string(pair.second));
    }
  }
  const std::vector<std::pair<const char*, std::pair<std::string, std::string>>> texts = {
      {"program", {got.program, want.program}},
      {"writer", {got.writtenBy, want.writtenBy}},
      {"incompleteness", {got.incomplete, want.incomplete}},
      {"variant", {got.variant, want.variant}},
      {"variant's change", {got.variantChange, want.variantChange}}};
  for (const auto& [field, pair] : texts) {
    if (pair.first != pair.second) differ(what, field, pair.first, pair.second);
  }
}

void requireJudgedSound(const FinishedRun& run) {
  const RunRecord& record = run.record;
  for (const Event& event : record.events) {
    if (event.who == -1) continue;
    require(inRoster(event.who, record.roster), "a line is given to a customer not on the roster");
    require(event.aboutCustomer(), "a line about nobody is given to a customer");
    require(record.roster[static_cast<std::size_t>(event.who)].id == event.id,
            "a line is given to a customer of another ID");
  }
  for (const auto& [first, second] : run.attribution.alike) {
    require(inRoster(first, record.roster) && inRoster(second, record.roster),
            "namesakes not on the roster");
  }
  const Analysis& a = run.analysis;
  require(a.customers.size() == record.roster.size(), "not one story per customer");
  for (std::size_t i = 0; i < a.customers.size(); ++i) {
    const CustomerStory& story = a.customers[i];
    require(story.who == static_cast<int>(i), "a story out of roster order");
    for (const auto* line : {&story.arrivalLine, &story.satLine, &story.cutStartLine,
                             &story.cutFinishLine, &story.leftLine}) {
      require(isLine(*line, record), "a story quotes a line the run does not have");
    }
  }
  for (const BarberSpan& span : a.barber) {
    require(span.who == -1 || inRoster(span.who, record.roster), "the barber cuts a stranger");
    require(isLine(span.line, record), "the barber's span quotes a line the run does not have");
  }
  for (const Deviation& deviation : a.deviations) {
    require(deviation.who == -1 || inRoster(deviation.who, record.roster),
            "a deviation of a stranger");
  }
  for (const Race& race : a.races) {
    require(inRoster(race.winner, record.roster) && inRoster(race.loser, record.roster),
            "a race between strangers");
  }
  for (const Finding& finding : run.verdict.broken) {
    for (std::size_t line : finding.events) {
      require(line < record.events.size(), "a finding quotes a line the run does not have");
    }
    for (int who : finding.who) {
      require(inRoster(who, record.roster),
              "a finding about a stranger: " + finding.rule + ": " + finding.what);
    }
  }
  for (int who : run.verdict.unfinished) {
    require(inRoster(who, record.roster), "a stranger is still in the shop");
  }
}

void requireNamesLine(const std::string& message, const std::string& name,
                      const std::string& text) {
  const std::string head = name + ":";
  require(message.compare(0, head.size(), head) == 0, "the message does not name the file");
  const std::size_t colon = message.find(": ", head.size());
  require(colon != std::string::npos && colon > head.size(), "the message names no line");
  const std::string number = message.substr(head.size(), colon - head.size());
  require(number.find_first_not_of("0123456789") == std::string::npos && number.size() <= 9,
          "the line number is no number: " + number);
  std::size_t lines = 1;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) lines += text[i] == '\n';
  require(std::stoul(number) >= 1 && std::stoul(number) <= lines,
          "the message names line " + number + " of " + std::to_string(lines));
  require(isUtf8(message), "the message is not UTF-8");
  const bool plain = std::all_of(message.begin(), message.end(),
                                 [](unsigned char c) { return c >= 0x20 && c != 0x7f; });
  require(plain, "a control character in the message: " + visible(message));
}

void requireLogRoundTrip(const RunRecord& run) {
  RunRecord again;
  std::string error, warning;
  const std::string text = logText(run);
  if (!readLog(text, "written.jsonl", &again, &error, &warning)) {
    fprintf(stderr, "the log it wrote:\n%s", visible(text).c_str());
    require(false, "readLog rejects what logText wrote: " + error);
  }
  require(warning.empty() == run.incomplete.empty(),
          "a log read back warns unless it was incomplete: " + warning);
  requireSameRecord(again, run, "the log read back");
}
