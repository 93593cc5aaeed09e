// The run's page: HTML and inline SVG written as text, every piece of run data escaped.

#include "trace/files/page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "core/shop.h"

namespace {

// The lanes' geometry, in SVG user units.
constexpr double kWidth = 1000;
constexpr double kLabelWidth = 150;
constexpr double kRightPad = 20;
constexpr double kTop = 10;
constexpr double kLaneHeight = 26;
constexpr double kLaneGap = 6;
constexpr double kQueueHeight = 60;
constexpr double kAxisHeight = 34;
constexpr std::size_t kLabelChars = 18;

// Okabe–Ito colours, which colour-blind readers tell apart; each also has its own pattern or
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

// Defined once, in a hidden SVG ahead of the others, and used by the legend and the lanes.
constexpr char kPatterns[] = R"svg(<svg class="defs" aria-hidden="true" focusable="false"><defs>
<pattern id="hatch" width="6" height="6" patternUnits="userSpaceOnUse" patternTransform="rotate(45)"><rect width="6" height="6" fill="#fff"/><line x1="0" y1="0" x2="0" y2="6" stroke="#56B4E9" stroke-width="3"/></pattern>
<pattern id="dots" width="5" height="5" patternUnits="userSpaceOnUse"><rect width="5" height="5" fill="#e8e8e8"/><circle cx="2.5" cy="2.5" r="0.9" fill="#666"/></pattern>
</defs></svg>
)svg";

// Text and attribute values alike: markup characters become references, and control characters
// (which an ID may hold) a replacement character.
std::string esc(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7f) {
          out += "\xEF\xBF\xBD";
        } else {
          out += c;
        }
    }
  }
  return out;
}

// At most `chars` characters of UTF-8 text, with an ellipsis when cut.
std::string shortened(const std::string& text, std::size_t chars) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == chars) {
      return text.substr(0, i) + "\xE2\x80\xA6";
    }
  }
  return text;
}

std::string num(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string ms(double value) { return msText(value) + " ms"; }

std::string span(double from, double to) { return msText(from) + "\xE2\x80\x93" + ms(to); }

// A tick step of 1, 2 or 5 times a power of ten, about `range` / 8.
double tickStep(double range) {
  const double rough = std::max(range / 8, 1e-3);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (power * factor >= rough) return power * factor;
  }
  return power * 10;
}

class Page {
 public:
  explicit Page(const ReportRun& run) : run_(run), record_(run.logged.record), a_(run.analysis) {
    end_ms_ = std::max(a_.endMs, 1e-3);
    queue_top_ = std::max(WAIT_CHAIRS, a_.longestQueue);
  }

  std::string build() {
    const std::string title = "barbershop run " + std::to_string(record_.number) + " \xC2\xB7 " +
                              std::to_string(record_.roster.size()) + " customers";
    out_ += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out_ += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out_ += "<meta name=\"generator\" content=\"" + esc(run_.logged.version) + "\">\n";
    out_ += "<link rel=\"icon\" href=\"data:,\">\n";
    out_ += "<title>" + esc(title + " \xC2\xB7 " + verdictHeadline(run_)) + "</title>\n";
    out_ += std::string("<style>") + kStyle + "</style>\n</head>\n<body>\n" + kPatterns;
    out_ += "<header>\n<h1>" + esc(title) + "</h1>\n<p class=\"meta\">Run chosen at " +
            esc(startedText()) + " \xC2\xB7 program " + esc(run_.logged.program) +
            (record_.slow > 1 ? " \xC2\xB7 times slowed \xC3\x97" + std::to_string(record_.slow)
                              : std::string()) +
            " \xC2\xB7 drawn by " + esc(run_.logged.version) + "</p>\n</header>\n";
    verdict();
    lanes();
    summary();
    narrationList();
    out_ += "</body>\n</html>\n";
    return out_;
  }

 private:
  // --- Geometry ---
  double x(double ms) const {
    return kLabelWidth +
           std::clamp(ms, 0.0, end_ms_) / end_ms_ * (kWidth - kLabelWidth - kRightPad);
  }
  double laneY(std::size_t row) const { return kTop + row * (kLaneHeight + kLaneGap); }
  double queueY() const { return laneY(a_.customers.size() + 1); }
  double queueLevel(std::size_t length) const {
    return queueY() + kQueueHeight -
           kQueueHeight * static_cast<double>(length) / static_cast<double>(queue_top_);
  }

  // The lane of a customer's line: among namesakes, the visit it falls into.
  std::size_t customerRow(const Event& event) const {
    std::optional<std::size_t> first;
    const double at = event.us / 1000.0;
    for (std::size_t i = 0; i < a_.customers.size(); ++i) {
      const CustomerStory& s = a_.customers[i];
      if (s.id != event.customer) continue;
      if (!first) first = i;
      if (s.arrivalMs && *s.arrivalMs <= at && (!s.leftMs || at <= *s.leftMs)) return i + 1;
    }
    return first ? *first + 1 : a_.customers.size() + 1;
  }

  std::string startedText() const {
    // The wall-clock time the log recorded, in UTC.
    const time_t seconds = static_cast<time_t>(record_.startedUnixMs / 1000);
    tm utc{};
    char text[40] = "an unknown time";
    if (gmtime_r(&seconds, &utc) != nullptr) {
      strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    }
    return text;
  }

  void rect(const char* cls, double x0, double x1, double y, double h, const std::string& tip) {
    out_ += "<rect class=\"" + std::string(cls) + "\" x=\"" + num(x0) + "\" y=\"" + num(y) +
            "\" width=\"" + num(std::max(x1 - x0, 1.0)) + "\" height=\"" + num(h) + "\"><title>" +
            esc(tip) + "</title></rect>\n";
  }

  std::string lineTip(std::optional<std::size_t> line) const {
    return line ? "\n" + narration(record_.events[*line]) : std::string();
  }

  // --- The verdict, at the top ---
  void verdict() {
    const Verdict& v = run_.verdict;
    out_ += std::string("<section id=\"verdict\" class=\"verdict ") +
            (v.holds() ? "holds" : "broken") + "\" aria-label=\"Verdict\">\n<h2>" +
            (v.holds() ? "\xE2\x9C\x94 " : "\xE2\x9C\x98 ") +
            "Verdict: " + esc(verdictHeadline(run_)) + "</h2>\n";
    if (!run_.logged.incomplete.empty()) {
      out_ += "<p class=\"incomplete\">Incomplete: " + esc(run_.logged.incomplete) + ".</p>\n";
    }
    if (!v.broken.empty()) {
      out_ += "<ul>\n";
      for (const Finding& finding : v.broken) {
        out_ += "<li><strong>" + esc(finding.rule) + "</strong>: " + esc(finding.what);
        for (std::size_t index : finding.events) {
          out_ += " <a href=\"#n-" + std::to_string(index) + "\">" +
                  ms(record_.events[index].us / 1000.0) + "</a>";
        }
        out_ += "</li>\n";
      }
      out_ += "</ul>\n";
    }
    if (!v.complete) {
      out_ += "<p>Not finished: " + esc(endWords(record_.end)) +
              (v.stuck.empty() ? "" : "; " + esc(v.stuck)) + ".</p>\n";
    }
    for (const Race& race : v.races) {
      // Races are decided within fractions of a millisecond: show them to the microsecond.
      char apart[32];
      snprintf(apart, sizeof apart, "%.3f ms", race.apartMs);
      out_ += "<p>A race decided an outcome: " + esc(race.what) + " (" + esc(race.decided) +
              " and " + esc(race.other) + " " + apart + " apart).</p>\n";
    }
    out_ += "</section>\n";
  }

  // --- The lanes ---
  void lanes() {
    const double height = queueY() + kQueueHeight + kAxisHeight;
    out_ += "<section id=\"lanes\">\n<h2>Timeline</h2>\n";
    legend();
    out_ +=
        "<svg class=\"lanes\" role=\"img\" aria-labelledby=\"lanes-title lanes-desc\" viewBox=\"0 "
        "0 " +
        num(kWidth) + " " + num(height) + "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
    out_ += "<title id=\"lanes-title\">Run " + std::to_string(record_.number) +
            ": the barber, each customer and the queue over " + ms(a_.endMs) + "</title>\n";
    out_ += "<desc id=\"lanes-desc\">" + esc(description()) + "</desc>\n";
    for (std::size_t row = 0; row <= a_.customers.size(); ++row) {
      const bool barber = row == 0;
      const std::string id = barber ? "Barber" : a_.customers[row - 1].id;
      out_ += barber ? "<g data-lane=\"barber\">\n"
                     : "<g data-lane=\"customer\" data-id=\"" + esc(id) + "\">\n";
      out_ += "<rect class=\"lane-bg\" x=\"0\" y=\"" + num(laneY(row)) + "\" width=\"" +
              num(kWidth) + "\" height=\"" + num(kLaneHeight) + "\"/>\n";
      out_ += "<text class=\"label\" x=\"6\" y=\"" + num(laneY(row) + kLaneHeight / 2 + 4) +
              "\"><title>" + esc(id) + "</title>" + esc(shortened(id, kLabelChars)) + "</text>\n";
      if (barber) {
        barberLane();
      } else {
        customerLane(row);
      }
      out_ += "</g>\n";
    }
    queueLane();
    marks();
    axis();
    out_ += "</svg>\n</section>\n";
  }

  void legend() {
    struct Key {
      const char* swatch;
      const char* words;
    };
    const Key keys[] = {
        {"<rect class=\"asleep\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "barber asleep"},
        {"<rect class=\"cut\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>",
         "cutting, in the chair"},
        {"<rect class=\"wait\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>",
         "waiting in the queue"},
        {"<rect class=\"exact\" x=\"1\" y=\"1\" width=\"26\" height=\"12\"/>", "exact schedule"},
        {"<path class=\"arrive\" d=\"M9 1h10l-5 8z\"/>", "arrives"},
        {"<path class=\"away\" d=\"M9 2l10 10M19 2l-10 10\"/>", "goes away uncut"},
        {"<rect class=\"queue\" x=\"1\" y=\"4\" width=\"26\" height=\"9\"/>", "queue length"},
    };
    out_ += "<ul class=\"legend\" aria-label=\"Legend\">\n";
    for (const Key& key : keys) {
      out_ += std::string("<li><svg viewBox=\"0 0 28 14\" aria-hidden=\"true\">") + key.swatch +
              "</svg> " + key.words + "</li>\n";
    }
    out_ += "</ul>\n";
  }

  std::string description() const {
    std::string text = "Swim lanes over " + ms(a_.endMs) +
                       " from the Run choice: the barber's sleep and cuts, each customer's wait "
                       "in the queue and cut, and the queue's length; dashed outlines show the "
                       "exact schedule. ";
    text += std::to_string(a_.cut) + " cut, " + std::to_string(a_.sentAway) +
            " sent away, longest queue " + std::to_string(a_.longestQueue) +
            ". Verdict: " + verdictHeadline(run_) + ".";
    return text;
  }

  void barberLane() {
    const double y = laneY(0);
    for (const CustomerStory& s : a_.customers) {
      if (s.planned.startMs < 0) continue;
      rect("exact", x(s.planned.startMs), x(s.planned.finishMs), y + 1, kLaneHeight - 2,
           "exact schedule: cutting " + s.id + ", " + span(s.planned.startMs, s.planned.finishMs));
    }
    for (const BarberSpan& b : a_.barber) {
      if (b.customer.empty()) {
        rect("asleep", x(b.fromMs), x(b.toMs), y + 5, kLaneHeight - 10,
             "asleep, " + span(b.fromMs, b.toMs) +
                 lineTip(lineAt(record_, "", b.fromMs, {Kind::kBarberToBed})));
        continue;
      }
      rect("cut", x(b.fromMs), x(b.toMs), y + 5, kLaneHeight - 10,
           "cutting " + b.customer + ", " + span(b.fromMs, b.toMs) +
               lineTip(lineAt(record_, b.customer, b.fromMs, {Kind::kStartCutting})));
      // The name inside the bar when it fits.
      const std::string label = shortened(b.customer, 12);
      if (x(b.toMs) - x(b.fromMs) > 7.0 * label.size() + 6) {
        out_ += "<text class=\"cut-id\" aria-hidden=\"true\" x=\"" + num(x(b.fromMs) + 3) +
                "\" y=\"" + num(y + kLaneHeight / 2 + 4) + "\">" + esc(label) + "</text>\n";
      }
    }
  }

  void customerLane(std::size_t row) {
    const CustomerStory& s = a_.customers[row - 1];
    const double y = laneY(row);
    const PlannedVisit& p = s.planned;
    if (p.outcome == Planned::kSentAway) {
      out_ += "<circle class=\"exact\" cx=\"" + num(x(p.arrivalMs)) + "\" cy=\"" +
              num(y + kLaneHeight / 2) + "\" r=\"8\"><title>" +
              esc("exact schedule: " + s.id + " arrives at " + ms(p.arrivalMs) +
                  " and goes away: every chair taken") +
              "</title></circle>\n";
    } else {
      if (p.startMs > p.arrivalMs) {
        rect("exact", x(p.arrivalMs), x(p.startMs), y + 3, kLaneHeight - 6,
             "exact schedule: " + s.id + " waits, " + span(p.arrivalMs, p.startMs));
      }
      rect("exact", x(p.startMs), x(p.finishMs), y + 1, kLaneHeight - 2,
           "exact schedule: " + s.id + " in the chair, " + span(p.startMs, p.finishMs));
    }
    if (s.satMs) {
      const double until = s.cutStartMs.value_or(s.leftMs.value_or(a_.endMs));
      rect("wait", x(*s.satMs), x(until), y + 6, kLaneHeight - 12,
           s.id + " waiting in the queue, " + span(*s.satMs, until) +
               lineTip(lineAt(record_, s.id, *s.satMs, {Kind::kGotChair})));
    }
    if (s.cutStartMs) {
      const double until = s.cutFinishMs.value_or(a_.endMs);
      rect("cut", x(*s.cutStartMs), x(until), y + 5, kLaneHeight - 10,
           s.id + " in the chair, " + span(*s.cutStartMs, until) +
               lineTip(lineAt(record_, s.id, *s.cutStartMs, {Kind::kStartCutting})));
    }
  }

  void queueLane() {
    const double top = queueY();
    out_ += "<g data-lane=\"queue\">\n<rect class=\"lane-bg\" x=\"0\" y=\"" + num(top) +
            "\" width=\"" + num(kWidth) + "\" height=\"" + num(kQueueHeight) + "\"/>\n";
    out_ += "<text class=\"label\" x=\"6\" y=\"" + num(top + kQueueHeight / 2 + 4) +
            "\">queue</text>\n";
    const double chairs = queueLevel(WAIT_CHAIRS);
    out_ += "<line class=\"grid\" x1=\"" + num(kLabelWidth) + "\" x2=\"" + num(kWidth - kRightPad) +
            "\" y1=\"" + num(chairs) + "\" y2=\"" + num(chairs) + "\"/>\n<text x=\"" +
            num(kLabelWidth - 6) + "\" y=\"" + num(chairs + 4) +
            "\" text-anchor=\"end\">6 chairs</text>\n";
    std::string path = "M" + num(x(0)) + " " + num(queueLevel(0));
    for (std::size_t i = 0; i < a_.queue.size(); ++i) {
      const QueuePoint& point = a_.queue[i];
      path += "H" + num(x(point.ms)) + "V" + num(queueLevel(point.length));
    }
    path += "H" + num(x(a_.endMs)) + "V" + num(queueLevel(0)) + "Z";
    out_ += "<path class=\"queue\" d=\"" + path + "\"/>\n";
    // A tooltip over each stretch of one length.
    for (std::size_t i = 0; i < a_.queue.size(); ++i) {
      const QueuePoint& point = a_.queue[i];
      const double until = i + 1 < a_.queue.size() ? a_.queue[i + 1].ms : a_.endMs;
      if (until <= point.ms && i + 1 < a_.queue.size()) continue;
      rect("hit", x(point.ms), x(until), top, kQueueHeight,
           std::to_string(point.length) + " waiting, " + span(point.ms, until));
    }
    out_ += "</g>\n";
  }

  // A mark for every line the run printed, on its actor's lane, linked to its narration.
  void marks() {
    std::vector<bool> seen(a_.customers.size() + 2);
    out_ += "<g class=\"marks\">\n";
    for (std::size_t i = 0; i < record_.events.size(); ++i) {
      const Event& event = record_.events[i];
      const double at = event.us / 1000.0;
      std::size_t row = a_.customers.size() + 1;  // the queue lane: blocks and the run's lines
      if (event.actor == Actor::kBarber) row = 0;
      if (event.actor == Actor::kCustomer) row = customerRow(event);
      const bool queueLane = row == a_.customers.size() + 1;
      const double y = queueLane ? queueY() : laneY(row);
      const double h = queueLane ? 12 : kLaneHeight;
      const double cx = x(at);
      std::string shape;
      if (event.kind == Kind::kTorn) {
        shape = "<path class=\"torn\" d=\"M" + num(cx) + " " + num(y) + "v" + num(kQueueHeight) +
                "\"/>";
      } else if (event.kind == Kind::kQueueFull || event.kind == Kind::kNoChair) {
        shape = "<path class=\"away\" d=\"M" + num(cx - 6) + " " + num(y + 7) +
                "l12 12m0 -12l-12 12\"/>";
      } else if (event.actor == Actor::kCustomer && !seen[row]) {
        shape = "<path class=\"arrive\" d=\"M" + num(cx - 5) + " " + num(y + 1) + "h10l-5 9z\"/>";
      } else {
        shape =
            "<path class=\"tick\" d=\"M" + num(cx) + " " + num(y + 2) + "v" + num(h - 4) + "\"/>";
      }
      if (event.actor == Actor::kCustomer) seen[row] = true;
      const std::string tip =
          ms(at) + (event.kind == Kind::kTorn ? " (a torn line)" : "") + "\n" + narration(event);
      out_ += "<a href=\"#n-" + std::to_string(i) + "\" id=\"e-" + std::to_string(i) +
              "\" class=\"mark\"><title>" + esc(tip) + "</title><rect class=\"hit\" x=\"" +
              num(cx - 4) + "\" y=\"" + num(y) + "\" width=\"8\" height=\"" + num(h) + "\"/>" +
              shape + "</a>\n";
    }
    out_ += "</g>\n";
  }

  void axis() {
    const double y = queueY() + kQueueHeight + 6;
    const double lanesTop = laneY(0), lanesBottom = queueY() + kQueueHeight;
    out_ += "<g class=\"axis\">\n<line class=\"axis\" x1=\"" + num(x(0)) + "\" x2=\"" +
            num(x(a_.endMs)) + "\" y1=\"" + num(y) + "\" y2=\"" + num(y) + "\"/>\n";
    const double step = tickStep(end_ms_);
    for (int k = 0; k * step <= end_ms_ * (1 + 1e-9); ++k) {
      const double t = k * step;
      char label[32];
      snprintf(label, sizeof label, "%.6g", t);
      out_ += "<line class=\"axis\" x1=\"" + num(x(t)) + "\" x2=\"" + num(x(t)) + "\" y1=\"" +
              num(y) + "\" y2=\"" + num(y + 5) + "\"/><text x=\"" + num(x(t)) + "\" y=\"" +
              num(y + 18) + "\" text-anchor=\"middle\">" + label + "</text>\n";
    }
    out_ += "<text x=\"" + num(kLabelWidth - 16) + "\" y=\"" + num(y + 18) +
            "\" text-anchor=\"end\">ms</text>\n";
    // Where the exact schedule closes the run, across every lane.
    out_ += "<line class=\"exact\" x1=\"" + num(x(a_.exactLengthMs)) + "\" x2=\"" +
            num(x(a_.exactLengthMs)) + "\" y1=\"" + num(lanesTop) + "\" y2=\"" + num(lanesBottom) +
            "\"><title>exact schedule: closing line at " + ms(a_.exactLengthMs) +
            "</title></line>\n</g>\n";
  }

  // --- The summary table ---
  static std::string cell(const std::optional<double>& value) {
    return value ? msText(*value) : "\xE2\x80\x93";
  }

  void summary() {
    out_ +=
        "<section id=\"summary\">\n<h2>Customers</h2>\n<table>\n<caption>Times in ms from "
        "the Run choice; \xE2\x80\x9cvs exact\xE2\x80\x9d is the measured start of the cut "
        "minus the exact schedule's.</caption>\n<thead><tr><th scope=\"col\">Customer</th>"
        "<th scope=\"col\">delay</th><th scope=\"col\">cut</th><th scope=\"col\">arrived</th>"
        "<th scope=\"col\" class=\"outcome\">outcome</th><th scope=\"col\">start</th>"
        "<th scope=\"col\">finish</th><th scope=\"col\">exact</th>"
        "<th scope=\"col\">vs exact</th></tr></thead>\n<tbody>\n";
    for (const CustomerStory& s : a_.customers) {
      std::string outcome = outcomeText(s.outcome);
      if (s.outcome == Outcome::kWaited && s.satMs && s.cutStartMs) {
        outcome = "waited " + ms(*s.cutStartMs - *s.satMs) + " in the queue";
      }
      const std::string exact = s.planned.startMs < 0 ? std::string("sent away")
                                                      : span(s.planned.startMs, s.planned.finishMs);
      std::string late = "\xE2\x80\x93";
      if (s.startLateMs) late = (*s.startLateMs >= 0 ? "+" : "") + ms(*s.startLateMs);
      out_ += "<tr><th scope=\"row\">" + esc(s.id) + "</th><td>" + std::to_string(s.delayMs) +
              "</td><td>" + std::to_string(s.cuttingMs) + "</td><td>" + cell(s.arrivalMs) +
              "</td><td class=\"outcome\">" + esc(outcome) + "</td><td>" + cell(s.cutStartMs) +
              "</td><td>" + cell(s.cutFinishMs) + "</td><td>" + exact + "</td><td>" + late +
              "</td></tr>\n";
    }
    char busy[16];
    snprintf(busy, sizeof busy, "%.0f %%", a_.busyShare * 100);
    out_ += "</tbody>\n</table>\n<p>Cut " + std::to_string(a_.cut) + " \xC2\xB7 sent away " +
            std::to_string(a_.sentAway) + " \xC2\xB7 barber busy " + busy +
            " \xC2\xB7 longest queue " + std::to_string(a_.longestQueue) + " \xC2\xB7 run length " +
            (a_.lengthMs ? ms(*a_.lengthMs) : std::string("unknown (no closing line)")) +
            " against exact " + ms(a_.exactLengthMs) + " \xC2\xB7 worst deviation " +
            ms(a_.worstDeviationMs) + "</p>\n</section>\n";
  }

  // --- The narration ---
  void narrationList() {
    out_ += "<section id=\"narration\">\n<h2>Narration</h2>\n<ol class=\"narration\">\n";
    for (std::size_t i = 0; i < record_.events.size(); ++i) {
      const Event& event = record_.events[i];
      const std::string when = "<a class=\"when\" href=\"#e-" + std::to_string(i) + "\">" +
                               ms(event.us / 1000.0) + "</a>";
      const std::string text = esc(narration(event));
      out_ += "<li id=\"n-" + std::to_string(i) + "\">" + when;
      if (event.kind == Kind::kState) {
        out_ += "<pre>" + text + "</pre>";
      } else if (event.kind == Kind::kTorn) {
        out_ += "<span class=\"torn-line\">torn: </span>" + text;
      } else {
        out_ += text;
      }
      out_ += "</li>\n";
    }
    out_ += "</ol>\n</section>\n";
  }

  const ReportRun& run_;
  const RunRecord& record_;
  const Analysis& a_;
  double end_ms_ = 1;
  std::size_t queue_top_ = WAIT_CHAIRS;
  std::string out_;
};

}  // namespace

std::string htmlPage(const ReportRun& run) { return Page(run).build(); }
