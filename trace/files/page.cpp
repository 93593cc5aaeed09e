// The run's page: its sections written as HTML text, every piece of run data escaped.

#include "trace/files/page.h"

#include <ctime>
#include <optional>
#include <string>

#include "trace/common/json_text.h"
#include "trace/common/micros.h"
#include "trace/common/words.h"
#include "trace/files/assets.h"
#include "trace/files/glossary_html.h"
#include "trace/files/html.h"
#include "trace/files/page_spread.h"
#include "trace/judging/telling.h"

namespace {

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
  const std::size_t customers = run.record.roster.size();
  return "barbershop run " + std::to_string(run.record.number) + " \xC2\xB7 " +
         std::to_string(customers) + (customers == 1 ? " customer" : " customers");
}

std::string head(const FinishedRun& run, const std::string& headline) {
  const RunRecord& record = run.record;
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += "<meta name=\"generator\" content=\"" + esc(record.writtenBy) + "\">\n";
  out += "<link rel=\"icon\" href=\"data:,\">\n";
  out += "<title>" + esc(title(run) + " \xC2\xB7 " + headline) + "</title>\n";
  out += std::string("<style>") + kPageStyle + "</style>\n</head>\n<body>\n" + kPatterns;
  out += "<header>\n<h1>" + esc(title(run)) + "</h1>\n" + numberedCaption(run) +
         "<p class=\"meta\">Run chosen at " + esc(startedText(record)) + " \xC2\xB7 program " +
         esc(record.program) +
         (record.slow > 1 ? " \xC2\xB7 times slowed \xC3\x97" + std::to_string(record.slow)
                          : std::string()) +
         " \xC2\xB7 drawn by " + esc(record.writtenBy) + "</p>\n<p class=\"meta\">" +
         esc(runKindWords(record.control.controlled)) + "</p>\n</header>\n";
  return out;
}

std::string cell(const std::optional<double>& value) {
  return value ? msNumber(*value) : "\xE2\x80\x93";
}

std::string customerRow(const FinishedRun& run, const CustomerStory& s) {
  const std::string exact = s.planned.startMs < 0 ? std::string("sent away")
                                                  : span(static_cast<double>(s.planned.startMs),
                                                         static_cast<double>(s.planned.finishMs));
  const std::string late = s.startLateMs ? signedMs(*s.startLateMs) : "\xE2\x80\x93";
  return "<tr><th scope=\"row\">" + esc(nameOf(run, s.who)) + "</th><td>" +
         std::to_string(s.delayMs) + "</td><td>" + std::to_string(s.cuttingMs) + "</td><td>" +
         cell(s.arrivalMs) + "</td><td class=\"outcome\">" + esc(outcomeWords(run, s.who, false)) +
         "</td><td>" + cell(s.cutStartMs) + "</td><td>" + cell(s.cutFinishMs) + "</td><td>" +
         exact + "</td><td>" + late + "</td></tr>\n";
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
  std::string totals;
  for (const std::string& part : totalsParts(run))
    totals += (totals.empty() ? "" : " \xC2\xB7 ") + esc(part);
  out += "</tbody>\n</table></div>\n<p>" + totals + "</p>\n</section>\n";
  return out;
}

// A run of a deliberately broken variant of the shop: which, and its change, beside the verdict.
std::string variantSection(const FinishedRun& run) {
  const RunRecord& record = run.record;
  if (record.variant.empty()) return "";
  return "<section class=\"variant\" aria-label=\"The variant that ran\">\n<h2>A broken variant: " +
         esc(record.variant) +
         "</h2>\n<p>This run is of a shop broken on purpose; the lanes marked \xE2\x9A\xA0 are "
         "the customers its verdict names.</p>\n<details><summary>The lines "
         "changed</summary><pre>" +
         escLines(record.variantChange) + "</pre></details>\n</section>\n";
}

std::string narrationSection(const FinishedRun& run) {
  std::string out =
      "<section id=\"narration\">\n<h2>Narration</h2>\n<div class=\"narration-box\">"
      "<ol class=\"narration\">\n";
  for (std::size_t i = 0; i < run.record.events.size(); ++i) {
    const Event& event = run.record.events[i];
    out += "<li id=\"n-" + std::to_string(i) + "\"><a class=\"when\" href=\"#e-" +
           std::to_string(i) + "\">" + msText(Micros{event.us}) + "</a>";
    if (event.kind == Kind::kState) {
      out += "<pre>" + escLines(narration(event)) + "</pre>";
    } else if (event.kind == Kind::kTorn) {
      out += "<span class=\"torn-line\">torn: </span>" + escLines(narration(event));
    } else {
      out += esc(narration(event));
    }
    out += "</li>\n";
  }
  return out + "</ol></div>\n</section>\n";
}

// A controlled run's drawing times for the player: where each line is drawn, where the drawing
// ends, and the knots [drawn, virtual] it reads the ruler and the clock through. Only numbers.
std::string spreadData(const FinishedRun& run) {
  const Spread spread(run);
  if (!spread.spread()) return "";
  Json lines = Json::array(), knots = Json::array();
  for (Micros at : spread.lines()) lines.push_back(at.count);
  for (const auto& [drawn, at] : spread.knots())
    knots.push_back(Json::array({drawn.count, at.count}));
  const Json data = {
      {"lines", std::move(lines)}, {"end", spread.end().count}, {"knots", std::move(knots)}};
  return "<script type=\"application/json\" id=\"spread-data\">" + oneLine(data) + "</script>\n";
}

std::string page(const FinishedRun& run, const std::string& headline) {
  return head(run, headline) + "<div class=\"top\">\n" + verdictSection(run) + variantSection(run) +
         "</div>\n" + playerBar(run) + shopSection(run) + lanesSection(run, headline) +
         narrationSection(run) + summarySection(run) + playerData(run) + spreadData(run) +
         "<script>" + kPlayerScript + "</script>\n" + glossarySection() + "</body>\n</html>\n";
}

}  // namespace

std::string htmlPage(const FinishedRun& run) {
  if (!run.record.going) return page(run, verdictHeadline(run.verdict));
  // Judged so far, a run still going looks cut short: it is not, so no lane is marked and no
  // story told until it ends.
  FinishedRun going = run;
  going.verdict = Verdict{};
  going.numbered.clear();
  return page(going, "still running");
}
