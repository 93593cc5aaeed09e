// The run's page: its sections written as HTML text, every piece of run data escaped.

#include "trace/files/page.h"

#include <ctime>
#include <optional>
#include <string>

#include "trace/common/words.h"
#include "trace/files/html.h"

namespace {

// Okabe-Ito colours, which colour-blind readers tell apart; each also has its own pattern or
// outline, so the page reads in black and white.
constexpr char kStyle[] = R"css(
body{font:15px/1.45 system-ui,-apple-system,"Segoe UI",sans-serif;color:#111;background:#fff;
margin:0 auto;max-width:1100px;padding:16px 20px}
h1{font-size:1.4em;margin:.2em 0}h2{font-size:1.15em;margin:1.2em 0 .4em}
.meta{color:#444;margin:.2em 0;overflow-wrap:anywhere}
.verdict{border:3px solid;padding:.4em 1em;margin:.8em 0;border-radius:4px}
.verdict h2{margin:.2em 0}.holds{border-color:#009E73}.broken{border-color:#D55E00;border-style:double;border-width:6px}
.incomplete{font-weight:bold}
.defs{position:absolute;width:0;height:0;overflow:hidden}
svg.lanes{width:100%;height:auto;display:block;print-color-adjust:exact;-webkit-print-color-adjust:exact}
svg text{font:12px system-ui,sans-serif;fill:#111}
.lane-bg{fill:#f4f4f4}.label{font-weight:600}
.exact{fill:none;stroke:#000;stroke-width:1.3;stroke-dasharray:5 3}
.cut{fill:#0072B2;stroke:#000;stroke-width:.6}.cut-id{fill:#fff;font-size:11px}
.asleep{fill:url(#dots);stroke:#777;stroke-width:.6}
.wait{fill:url(#hatch);stroke:#56B4E9;stroke-width:1}
.queue{fill:#E69F00;fill-opacity:.75;stroke:#000;stroke-width:1}
.grid{stroke:#999;stroke-width:.6;stroke-dasharray:2 3}.axis{stroke:#111;stroke-width:1}
.hit{fill:transparent}.tick{stroke:#222;stroke-width:1}
.arrive{fill:#111}.away{stroke:#D55E00;stroke-width:2.5}.torn{stroke:#D55E00;stroke-width:2}
.mark:hover path,.mark:focus path{stroke:#CC79A7;stroke-width:3}
.mark:target path{stroke:#D55E00;stroke-width:4}
.legend{display:flex;flex-wrap:wrap;gap:.3em 1.2em;margin:.4em 0;padding:0;list-style:none}
.legend svg{display:inline;width:28px;height:14px;vertical-align:middle}
table{border-collapse:collapse;width:100%;font-variant-numeric:tabular-nums}
th,td{border-bottom:1px solid #ccc;padding:.2em .5em;text-align:right}
th:first-child,td:first-child,.outcome{text-align:left}
caption{text-align:left;color:#444}
ol.narration{font:13px/1.35 ui-monospace,"DejaVu Sans Mono",monospace;padding-left:4.5em}
ol.narration li:target{background:#fff0b3;outline:2px solid #E69F00}
ol.narration pre{margin:0;font:inherit}.when{display:inline-block;min-width:6.5em}
.torn-line{color:#a33c00;font-weight:bold}
@media print{.mark:hover path{stroke-width:1}body{max-width:none}}
)css";

constexpr char kPatterns[] = R"svg(<svg class="defs" aria-hidden="true" focusable="false"><defs>
<pattern id="hatch" width="6" height="6" patternUnits="userSpaceOnUse" patternTransform="rotate(45)"><rect width="6" height="6" fill="#fff"/><line x1="0" y1="0" x2="0" y2="6" stroke="#56B4E9" stroke-width="3"/></pattern>
<pattern id="dots" width="5" height="5" patternUnits="userSpaceOnUse"><rect width="5" height="5" fill="#e8e8e8"/><circle cx="2.5" cy="2.5" r="0.9" fill="#666"/></pattern>
</defs></svg>
)svg";

std::string nameOf(const FinishedRun& run, int who) { return customerName(run.record.roster, who); }

std::string startedText(const RunRecord& record) {
  // The wall-clock time the log recorded, in UTC.
  const time_t seconds = static_cast<time_t>(record.startedUnixMs / 1000);
  tm utc{};
  char text[40] = "an unknown time";
  if (gmtime_r(&seconds, &utc) != nullptr)
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

std::string title(const FinishedRun& run) {
  return "barbershop run " + std::to_string(run.record.number) + " \xC2\xB7 " +
         std::to_string(run.record.roster.size()) + " customers";
}

std::string head(const FinishedRun& run) {
  const RunRecord& record = run.record;
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += "<meta name=\"generator\" content=\"" + esc(record.writtenBy) + "\">\n";
  out += "<link rel=\"icon\" href=\"data:,\">\n";
  out += "<title>" + esc(title(run) + " \xC2\xB7 " + verdictHeadline(run.verdict)) + "</title>\n";
  out += std::string("<style>") + kStyle + "</style>\n</head>\n<body>\n" + kPatterns;
  out += "<header>\n<h1>" + esc(title(run)) + "</h1>\n<p class=\"meta\">Run chosen at " +
         esc(startedText(record)) + " \xC2\xB7 program " + esc(record.program) +
         (record.slow > 1 ? " \xC2\xB7 times slowed \xC3\x97" + std::to_string(record.slow)
                          : std::string()) +
         " \xC2\xB7 drawn by " + esc(record.writtenBy) + "</p>\n</header>\n";
  return out;
}

std::string findingsList(const FinishedRun& run) {
  std::string out = "<ul>\n";
  for (const Finding& finding : run.verdict.broken) {
    out += "<li><strong>" + esc(finding.rule) + "</strong>: " + esc(finding.what);
    for (std::size_t index : finding.events) {
      out += " <a href=\"#n-" + std::to_string(index) + "\">" +
             ms(run.record.events[index].us / 1000.0) + "</a>";
    }
    out += "</li>\n";
  }
  return out + "</ul>\n";
}

std::string verdictSection(const FinishedRun& run) {
  const Verdict& v = run.verdict;
  std::string out = std::string("<section id=\"verdict\" class=\"verdict ") +
                    (v.holds() ? "holds" : "broken") + "\" aria-label=\"Verdict\">\n<h2>" +
                    (v.holds() ? "\xE2\x9C\x94 " : "\xE2\x9C\x98 ") +
                    "Verdict: " + esc(verdictHeadline(v)) + "</h2>\n";
  if (!run.record.incomplete.empty()) {
    out += "<p class=\"incomplete\">Incomplete: " + esc(run.record.incomplete) + ".</p>\n";
  }
  if (!v.broken.empty()) out += findingsList(run);
  if (!v.complete) {
    out += "<p>Not finished: " + esc(endWords(run.record.end)) +
           (v.stuckStory.empty() ? "" : "; " + esc(v.stuckStory)) + ".</p>\n";
  }
  for (const Race& race : run.analysis.races) {
    out += "<p>A race: " + esc(nameOf(run, race.winner)) + " and " + esc(nameOf(run, race.loser)) +
           " arrived together, and " + esc(nameOf(run, race.winner)) +
           " was served first though listed later.</p>\n";
  }
  for (const std::string& note : v.notes) out += "<p class=\"note\">Note: " + esc(note) + "</p>\n";
  return out + "</section>\n";
}

std::string cell(const std::optional<double>& value) {
  return value ? msNumber(*value) : "\xE2\x80\x93";
}

std::string outcomeWords(const CustomerStory& s) {
  if (s.outcome == Outcome::kWaited && s.satMs && s.cutStartMs) {
    return "waited " + ms(*s.cutStartMs - *s.satMs) + " in the queue";
  }
  return wordsOf(s.outcome).words;
}

std::string customerRow(const FinishedRun& run, const CustomerStory& s) {
  const std::string exact = s.planned.startMs < 0 ? std::string("sent away")
                                                  : span(static_cast<double>(s.planned.startMs),
                                                         static_cast<double>(s.planned.finishMs));
  const std::string late = s.startLateMs ? signedMs(*s.startLateMs) : "\xE2\x80\x93";
  return "<tr><th scope=\"row\">" + esc(nameOf(run, s.who)) + "</th><td>" +
         std::to_string(s.delayMs) + "</td><td>" + std::to_string(s.cuttingMs) + "</td><td>" +
         cell(s.arrivalMs) + "</td><td class=\"outcome\">" + esc(outcomeWords(s)) + "</td><td>" +
         cell(s.cutStartMs) + "</td><td>" + cell(s.cutFinishMs) + "</td><td>" + exact +
         "</td><td>" + late + "</td></tr>\n";
}

std::string summarySection(const FinishedRun& run) {
  const Analysis& a = run.analysis;
  std::string out =
      "<section id=\"summary\">\n<h2>Customers</h2>\n<div class=\"table\"><table>\n<caption>Times "
      "in ms from the Run choice; \xE2\x80\x9cvs plan\xE2\x80\x9d is the measured start of the "
      "cut minus the exact schedule\xE2\x80\x99s.</caption>\n<thead><tr><th scope=\"col\">"
      "Customer</th><th scope=\"col\">delay</th><th scope=\"col\">cut</th><th scope=\"col\">"
      "arrived</th><th scope=\"col\" class=\"outcome\">outcome</th><th scope=\"col\">start</th>"
      "<th scope=\"col\">finish</th><th scope=\"col\">exact</th><th scope=\"col\">vs plan</th>"
      "</tr></thead>\n<tbody>\n";
  for (const CustomerStory& s : a.customers) out += customerRow(run, s);
  out += "</tbody>\n</table></div>\n<p>Cut " + std::to_string(a.cut) + " \xC2\xB7 sent away " +
         std::to_string(a.sentAway) + " \xC2\xB7 barber busy " + fixed(a.busyShare * 100, 0) +
         " % \xC2\xB7 longest queue " + std::to_string(a.longestQueue) + " \xC2\xB7 run length " +
         (a.lengthMs ? ms(*a.lengthMs) : std::string("unknown (no closing line)")) +
         " against the exact schedule's " + ms(a.exactLengthMs) +
         " \xC2\xB7 furthest from the exact schedule " + ms(a.worstDeviationMs) +
         "</p>\n</section>\n";
  return out;
}

std::string narrationSection(const FinishedRun& run) {
  std::string out = "<section id=\"narration\">\n<h2>Narration</h2>\n<ol class=\"narration\">\n";
  for (std::size_t i = 0; i < run.record.events.size(); ++i) {
    const Event& event = run.record.events[i];
    out += "<li id=\"n-" + std::to_string(i) + "\"><a class=\"when\" href=\"#e-" +
           std::to_string(i) + "\">" + ms(event.us / 1000.0) + "</a>";
    if (event.kind == Kind::kState) {
      out += "<pre>" + escLines(narration(event)) + "</pre>";
    } else if (event.kind == Kind::kTorn) {
      out += "<span class=\"torn-line\">torn: </span>" + escLines(narration(event));
    } else {
      out += esc(narration(event));
    }
    out += "</li>\n";
  }
  return out + "</ol>\n</section>\n";
}

}  // namespace

std::string htmlPage(const FinishedRun& run) {
  return head(run) + verdictSection(run) + lanesSection(run) + summarySection(run) +
         narrationSection(run) + "</body>\n</html>\n";
}
