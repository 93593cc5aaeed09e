// The run page's verdict: each broken rule with the lines it is about, the story of a run that
// never ended, and the notes. Every instant it names is a link to that instant: to its line
// (#n-I) for a reader without the script, and, through data-e, to the player's cursor. The
// instants the verdict is about (class "fault") are also where the player opens. Pure.

#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "trace/common/micros.h"
#include "trace/common/words.h"
#include "trace/files/html.h"
#include "trace/files/page.h"
#include "trace/judging/rules.h"
#include "trace/judging/telling.h"

namespace {

// A link to line `index`, shown as its time. `fault` marks the moments the player opens on.
std::string lineLink(const RunRecord& record, std::size_t index, bool fault) {
  const std::string i = std::to_string(index);
  return "<a href=\"#n-" + i + "\" data-e=\"" + i + "\"" + (fault ? " class=\"fault\"" : "") + ">" +
         msText(Micros{record.events[index].us}) + "</a>";
}

// The last line printed at the instant shown as `text` (msText()'s rounding), if any.
std::optional<std::size_t> lineShownAs(const RunRecord& record, const std::string& text) {
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < record.events.size(); ++i) {
    if (msText(Micros{record.events[i].us}) == text) found = i;
  }
  return found;
}

// Where the next instant ("at 12.3 ms": digits, a point, one digit, " ms") after `from` begins
// and how long it is, past its "at ", as msText() writes one; npos when there is none.
std::pair<std::size_t, std::size_t> nextInstant(std::string_view text, std::size_t from) {
  auto digits = [&](std::size_t i) {
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i;
  };
  for (std::size_t at = text.find("at ", from); at != std::string_view::npos;
       at = text.find("at ", at + 1)) {
    if (at > 0 && std::isalnum(static_cast<unsigned char>(text[at - 1]))) continue;
    const std::size_t start = at + 3, point = digits(start);
    if (point == start || point >= text.size() || text[point] != '.') continue;
    const std::size_t end = digits(point + 1);
    if (end != point + 2 || text.substr(end, 3) != " ms") continue;
    return {start, end + 3 - start};
  }
  return {std::string_view::npos, 0};
}

// `text` escaped, each instant in it ("at 12.3 ms") a link to the last line printed then. Only
// instants: a length ("0.4 ms from ...", "1.5 ms late") names no moment to go to.
std::string linkedText(const RunRecord& record, const std::string& text, bool fault) {
  std::string out;
  std::size_t done = 0;
  for (auto [at, length] = nextInstant(text, 0); at != std::string_view::npos;
       std::tie(at, length) = nextInstant(text, done)) {
    const std::string instant = text.substr(at, length);
    out += esc(std::string_view(text).substr(done, at - done));
    const std::optional<std::size_t> line = lineShownAs(record, instant);
    out += line ? lineLink(record, *line, fault) : esc(instant);
    done = at + length;
  }
  return out + esc(std::string_view(text).substr(done));
}

// Torn text shown as it came: its line ends as ↵, so where the pieces broke is seen.
std::string tornPiece(const std::string& text) {
  std::string shown;
  for (char c : text) shown += c == '\n' ? std::string("\xE2\x86\xB5") : std::string(1, c);
  return esc(shown);
}

std::string tornText(const Event& event) {
  return "<q class=\"torn-text\">" + tornPiece(narration(event)) + "</q>";
}

// A tear whole, as it came out: its pieces, and the lines that came between them marked.
std::string tearText(const RunRecord& record, const std::vector<std::size_t>& events) {
  std::string out;
  for (std::size_t index : events) {
    const Event& event = record.events[index];
    // A piece keeps its own line ends, which show where it broke; a whole line needs none.
    out += event.kind == Kind::kTorn ? tornPiece(event.text)
                                     : "<mark>" + tornPiece(narration(event)) + "</mark>";
  }
  return "<q class=\"torn-text\">" + out + "</q>";
}

// A torn run is reported once, at its first piece: the pieces after it, counted, the next linked.
std::string morePieces(const RunRecord& record, std::size_t first) {
  std::size_t more = 0, next = 0;
  for (std::size_t i = first + 1; i < record.events.size(); ++i) {
    if (record.events[i].kind != Kind::kTorn) continue;
    if (more++ == 0) next = i;
  }
  if (more == 0) return "";
  return "; " + std::to_string(more) + (more == 1 ? " more piece" : " more pieces") +
         ", the next " + lineLink(record, next, false) + " " + tornText(record.events[next]);
}

std::string findingsList(const FinishedRun& run) {
  const RunRecord& record = run.record;
  std::string out = "<ul class=\"findings\">\n";
  for (const Finding& finding : run.verdict.broken) {
    out +=
        "<li><strong>" + esc(finding.rule) + "</strong>: " + linkedText(record, finding.what, true);
    const bool torn = finding.rule == kTornRule && !finding.events.empty();
    for (std::size_t index : finding.events) {
      if (!torn || record.events[index].kind == Kind::kTorn)
        out += " " + lineLink(record, index, true);
    }
    if (torn) {
      out += " torn text, with what came between its pieces marked: " +
             tearText(record, finding.events) + morePieces(record, finding.events.back());
    }
    out += "</li>\n";
  }
  return out + "</ul>\n";
}

// Notes break no rule: past two, they fold away so the verdict stays a glance long.
std::string notesPart(const FinishedRun& run) {
  const std::vector<std::string>& notes = run.verdict.notes;
  std::string out;
  for (const std::string& note : notes)
    out += "<p class=\"note\">Note: " + linkedText(run.record, note, false) + "</p>\n";
  if (notes.size() <= 2) return out;
  return "<details class=\"notes\"><summary>" + std::to_string(notes.size()) +
         " notes, none a broken rule</summary>\n" + out + "</details>\n";
}

}  // namespace

std::string numberedCaption(const FinishedRun& run) {
  if (run.numbered.empty()) return "";
  std::string out = "<ol id=\"story\" class=\"numbered\" aria-label=\"How it went wrong\">\n";
  const std::size_t lines = run.record.events.size();
  for (std::size_t k = 0; k < run.numbered.size(); ++k) {
    const StoryStep& step = run.numbered[k];
    // The line it tells when it names one, for a reader without the player; the instant itself
    // for the player, which goes there exactly.
    const bool line = step.event >= 0 && static_cast<std::size_t>(step.event) < lines;
    const std::string e = std::to_string(step.event);
    out += "<li><a href=\"" + (line ? "#n-" + e : "#t=" + msNumberText(step.at)) + "\"" +
           (line ? " data-e=\"" + e + "\"" : "") + " data-t=\"" + std::to_string(step.at.count) +
           "\" title=\"at " + msText(step.at) + "\">" + stepNumber(static_cast<int>(k) + 1) + " " +
           esc(step.text) + "</a></li>\n";
  }
  return out + "</ol>\n";
}

std::string verdictSection(const FinishedRun& run) {
  const Verdict& v = run.verdict;
  if (run.record.going) {
    return "<section id=\"verdict\" class=\"verdict going\" aria-label=\"Verdict\">\n<h2>"
           "Still running: the verdict comes when the run ends</h2>\n<p>Drawn up to "
           "its newest line.</p>\n</section>\n";
  }
  std::string out = std::string("<section id=\"verdict\" class=\"verdict ") +
                    (v.holds() ? "holds" : "broken") + "\" aria-label=\"Verdict\">\n<h2>" +
                    (v.holds() ? "\xE2\x9C\x94 " : "\xE2\x9C\x98 ") +
                    "Verdict: " + esc(verdictHeadline(v)) + "</h2>\n";
  if (!run.record.incomplete.empty()) {
    out += "<p class=\"incomplete\">Incomplete: " + esc(run.record.incomplete) + ".</p>\n";
  }
  if (!v.broken.empty()) out += findingsList(run);
  if (!v.complete) {
    // The heading says how it ended: this says why, and who waited for what.
    std::string why = endWhy(run.record.end);
    why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
    out += "<p class=\"stuck\">" + esc(why) +
           (v.stuckStory.empty() ? "" : "; " + linkedText(run.record, v.stuckStory, true)) +
           ".</p>\n";
  }
  for (const Race& race : run.analysis.races) {
    out += "<p>A race: " + esc(raceSentence(run, race)) + ".</p>\n";
  }
  return out + notesPart(run) + "</section>\n";
}
