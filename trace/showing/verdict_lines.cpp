// The verdict's lines for the terminal: rules broken, in their names and in words, and the end of
// a run that did not finish.

#include "trace/showing/verdict_lines.h"

#include <algorithm>

#include "trace/common/micros.h"
#include "trace/common/words.h"
#include "trace/judging/rules.h"

namespace {

// The line a finding points at, as the program printed it, its newlines shown.
std::string quoted(const Event& event, const ViewStyle& style) {
  std::string out;
  for (char c : narration(event))
    out += c == '\n' ? std::string(glyphs(style).newline) : std::string(1, c);
  return shown(out, style);
}

}  // namespace

const char* ruleWords(const std::string& rule) {
  for (const Rule& each : rules()) {
    if (rule == each.name) return each.words;
  }
  return nullptr;
}

void addVerdict(std::vector<Line>* body, const Verdict& verdict, RunEnd end,
                const std::vector<Event>& events, std::size_t inner, const ViewStyle& style,
                VerdictForm form) {
  constexpr std::size_t kCompactFindings = 3;
  const Glyphs& g = glyphs(style);
  if (verdict.holds()) addWrapped(body, std::string(g.ok) + " every rule holds", kGreen, inner);
  for (std::size_t i = 0; i < verdict.broken.size(); ++i) {
    const Finding& finding = verdict.broken[i];
    if (form.compact && i == kCompactFindings) {
      addWrapped(body, "and " + std::to_string(verdict.broken.size() - i) + " more", kRed, inner);
      break;
    }
    // What the rule means, said at its first finding.
    const char* words = ruleWords(finding.rule);
    const bool first = std::none_of(verdict.broken.begin(), verdict.broken.begin() + i,
                                    [&](const Finding& f) { return f.rule == finding.rule; });
    std::string line = std::string(g.bad) + " " + finding.rule;
    if (words && first) line += std::string(" (") + words + ")";
    addWrapped(body, line + ": " + shown(finding.what, style), kRed, inner);
    for (std::size_t index : finding.events) {
      if (form.compact || index >= events.size()) continue;
      addWrapped(body,
                 "    at " + msText(Micros{events[index].us}) + ": " + quoted(events[index], style),
                 nullptr, inner, 6);
    }
  }
  if (verdict.complete) return;
  // How it ended is said once: here, or in the summary's top line.
  std::string text = std::string(g.bad) + " ";
  if (form.why) {
    text += endWords(end);
  } else {
    text += verdict.stuck ? "stuck" : "not finished";
  }
  const std::string story = shown(verdict.stuckStory, style);
  if (!story.empty()) text += (form.why ? "; " : ": ") + story;
  addWrapped(body, text, kRed, inner);
}
