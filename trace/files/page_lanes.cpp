// The page's swim lanes: inline SVG, the exact schedule outlined behind the measured bars, a
// mark for every line the run printed, each linked to its narration.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/constants.h"
#include "trace/common/words.h"
#include "trace/files/html.h"
#include "trace/files/page.h"

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

// A tick step of 1, 2 or 5 times a power of ten, about `range` / 8.
double tickStep(double range) {
  const double rough = std::max(range / 8, 1e-3);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (power * factor >= rough) return power * factor;
  }
  return power * 10;
}

constexpr struct {
  const char* swatch;
  const char* words;
} kKeys[] = {
    {"<rect class=\"asleep\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "barber asleep"},
    {"<rect class=\"cut\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "cutting, in the chair"},
    {"<rect class=\"wait\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "waiting in the queue"},
    {"<rect class=\"exact\" x=\"1\" y=\"1\" width=\"26\" height=\"12\"/>", "exact schedule"},
    {"<path class=\"arrive\" d=\"M9 1h10l-5 8z\"/>", "arrives"},
    {"<path class=\"away\" d=\"M9 2l10 10M19 2l-10 10\"/>", "goes away uncut"},
    {"<rect class=\"queue\" x=\"1\" y=\"4\" width=\"26\" height=\"9\"/>", "customers waiting"},
};

class Lanes {
 public:
  explicit Lanes(const FinishedRun& run)
      : run_(run),
        record_(run.record),
        a_(run.analysis),
        end_(std::max(a_.endMs, 1e-3)),
        queueTop_(std::max(WAIT_CHAIRS, a_.longestQueue)) {}

  std::string build() {
    const double height = queueY() + kQueueHeight + kAxisHeight;
    out_ += "<section id=\"lanes\">\n<h2>Timeline</h2>\n" + legend();
    out_ +=
        "<svg class=\"lanes\" role=\"img\" aria-labelledby=\"lanes-title lanes-desc\" "
        "viewBox=\"0 0 " +
        num(kWidth) + " " + num(height) + "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
    out_ += "<title id=\"lanes-title\">Run " + std::to_string(record_.number) +
            ": the barber, each customer and the queue over " + ms(a_.endMs) + "</title>\n";
    out_ += "<desc id=\"lanes-desc\">" + esc(description()) + "</desc>\n";
    for (std::size_t row = 0; row <= a_.customers.size(); ++row) lane(row);
    queueLane();
    marks();
    axis();
    out_ += "</svg>\n</section>\n";
    return out_;
  }

 private:
  double x(double ms) const {
    return kLabelWidth + std::clamp(ms, 0.0, end_) / end_ * (kWidth - kLabelWidth - kRightPad);
  }
  double laneY(std::size_t row) const { return kTop + row * (kLaneHeight + kLaneGap); }
  double queueY() const { return laneY(a_.customers.size() + 1); }
  double queueLevel(std::size_t length) const {
    return queueY() + kQueueHeight -
           kQueueHeight * static_cast<double>(length) / static_cast<double>(queueTop_);
  }
  std::string nameOf(int who) const { return customerName(record_.roster, who); }
  std::string lineTip(std::optional<std::size_t> line) const {
    return line ? "\n" + narration(record_.events[*line]) : std::string();
  }

  void rect(const char* cls, double x0, double x1, double y, double h, const std::string& tip) {
    out_ += "<rect class=\"" + std::string(cls) + "\" x=\"" + num(x0) + "\" y=\"" + num(y) +
            "\" width=\"" + num(std::max(x1 - x0, 1.0)) + "\" height=\"" + num(h) + "\"><title>" +
            escLines(tip) + "</title></rect>\n";
  }

  static std::string legend() {
    std::string out = "<ul class=\"legend\" aria-label=\"Legend\">\n";
    for (const auto& key : kKeys) {
      out += std::string("<li><svg viewBox=\"0 0 28 14\" aria-hidden=\"true\">") + key.swatch +
             "</svg> " + key.words + "</li>\n";
    }
    return out + "</ul>\n";
  }

  std::string description() const {
    return "Swim lanes over " + ms(a_.endMs) +
           " from the Run choice: the barber's sleep and cuts, each customer's wait in the "
           "queue and cut, and the queue's length; dashed outlines show the exact schedule. " +
           std::to_string(a_.cut) + " cut, " + std::to_string(a_.sentAway) +
           " sent away, longest queue " + std::to_string(a_.longestQueue) +
           ". Verdict: " + verdictHeadline(run_.verdict) + ".";
  }

  void lane(std::size_t row) {
    const bool barber = row == 0;
    const int who = static_cast<int>(row) - 1;
    const std::string label = barber ? "Barber" : nameOf(who);
    out_ += barber ? "<g data-lane=\"barber\">\n"
                   : "<g data-lane=\"customer\" data-who=\"" + std::to_string(who) +
                         "\" data-id=\"" + esc(record_.roster[row - 1].id) + "\">\n";
    out_ += "<rect class=\"lane-bg\" x=\"0\" y=\"" + num(laneY(row)) + "\" width=\"" + num(kWidth) +
            "\" height=\"" + num(kLaneHeight) + "\"/>\n";
    out_ += "<text class=\"label\" x=\"6\" y=\"" + num(laneY(row) + kLaneHeight / 2 + 4) +
            "\"><title>" + esc(label) + "</title>" + esc(shortened(label, kLabelChars)) +
            "</text>\n";
    if (barber) {
      barberLane();
    } else {
      exactVisit(a_.customers[row - 1], laneY(row));
      customerLane(a_.customers[row - 1], laneY(row));
    }
    out_ += "</g>\n";
  }

  void barberLane() {
    const double y = laneY(0);
    for (const CustomerStory& s : a_.customers) {
      if (s.planned.startMs < 0) continue;
      const double from = static_cast<double>(s.planned.startMs);
      const double to = static_cast<double>(s.planned.finishMs);
      rect("exact", x(from), x(to), y + 1, kLaneHeight - 2,
           "exact schedule: cutting " + nameOf(s.who) + ", " + span(from, to));
    }
    for (const BarberSpan& b : a_.barber) {
      if (b.who < 0) {
        rect("asleep", x(b.fromMs), x(b.toMs), y + 5, kLaneHeight - 10,
             "asleep, " + span(b.fromMs, b.toMs) + lineTip(b.line));
        continue;
      }
      rect("cut", x(b.fromMs), x(b.toMs), y + 5, kLaneHeight - 10,
           "cutting " + nameOf(b.who) + ", " + span(b.fromMs, b.toMs) + lineTip(b.line));
      // The name inside the bar when it fits.
      const std::string label = shortened(nameOf(b.who), 12);
      if (x(b.toMs) - x(b.fromMs) > 7.0 * static_cast<double>(label.size()) + 6) {
        out_ += "<text class=\"cut-id\" aria-hidden=\"true\" x=\"" + num(x(b.fromMs) + 3) +
                "\" y=\"" + num(y + kLaneHeight / 2 + 4) + "\">" + esc(label) + "</text>\n";
      }
    }
  }

  void exactVisit(const CustomerStory& s, double y) {
    const PlannedVisit& p = s.planned;
    const double arrival = static_cast<double>(p.arrivalMs);
    if (p.outcome == Planned::kSentAway) {
      out_ += "<circle class=\"exact\" cx=\"" + num(x(arrival)) + "\" cy=\"" +
              num(y + kLaneHeight / 2) + "\" r=\"8\"><title>" +
              esc("exact schedule: " + nameOf(s.who) + " arrives at " + ms(arrival) +
                  " and goes away: every chair taken") +
              "</title></circle>\n";
      return;
    }
    const double start = static_cast<double>(p.startMs), finish = static_cast<double>(p.finishMs);
    if (start > arrival) {
      rect("exact", x(arrival), x(start), y + 3, kLaneHeight - 6,
           "exact schedule: " + nameOf(s.who) + " waits, " + span(arrival, start));
    }
    rect("exact", x(start), x(finish), y + 1, kLaneHeight - 2,
         "exact schedule: " + nameOf(s.who) + " in the chair, " + span(start, finish));
  }

  void customerLane(const CustomerStory& s, double y) {
    if (s.satMs) {
      const double until = s.cutStartMs.value_or(s.leftMs.value_or(a_.endMs));
      rect("wait", x(*s.satMs), x(until), y + 6, kLaneHeight - 12,
           nameOf(s.who) + " waiting in the queue, " + span(*s.satMs, until) + lineTip(s.satLine));
    }
    if (s.cutStartMs) {
      const double until = s.cutFinishMs.value_or(a_.endMs);
      rect(
          "cut", x(*s.cutStartMs), x(until), y + 5, kLaneHeight - 10,
          nameOf(s.who) + " in the chair, " + span(*s.cutStartMs, until) + lineTip(s.cutStartLine));
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
            num(kLabelWidth - 6) + "\" y=\"" + num(chairs + 4) + "\" text-anchor=\"end\">" +
            std::to_string(WAIT_CHAIRS) + " chairs</text>\n";
    std::string path = "M" + num(x(0)) + " " + num(queueLevel(0));
    for (const QueuePoint& point : a_.queue) {
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

  std::string markShape(const Event& event, double cx, double y, double h, bool first) const {
    if (event.kind == Kind::kTorn) {
      return "<path class=\"torn\" d=\"M" + num(cx) + " " + num(y) + "v" + num(kQueueHeight) +
             "\"/>";
    }
    if (event.kind == Kind::kQueueFull || event.kind == Kind::kNoChair) {
      return "<path class=\"away\" d=\"M" + num(cx - 6) + " " + num(y + 7) +
             "l12 12m0 -12l-12 12\"/>";
    }
    if (first)
      return "<path class=\"arrive\" d=\"M" + num(cx - 5) + " " + num(y + 1) + "h10l-5 9z\"/>";
    return "<path class=\"tick\" d=\"M" + num(cx) + " " + num(y + 2) + "v" + num(h - 4) + "\"/>";
  }

  // A mark for every line the run printed, on its actor's lane, linked to its narration.
  void marks() {
    const std::size_t queueRow = a_.customers.size() + 1;
    std::vector<bool> seen(queueRow + 1);
    out_ += "<g class=\"marks\">\n";
    for (std::size_t i = 0; i < record_.events.size(); ++i) {
      const Event& event = record_.events[i];
      const double at = event.us / 1000.0;
      std::size_t row = queueRow;  // the queue lane: blocks and the run's lines
      if (event.actor() == Actor::kBarber) row = 0;
      if (event.actor() == Actor::kCustomer && event.who >= 0)
        row = static_cast<std::size_t>(event.who) + 1;
      const bool first = event.actor() == Actor::kCustomer && row != queueRow && !seen[row];
      if (event.actor() == Actor::kCustomer) seen[row] = true;
      const double y = row == queueRow ? queueY() : laneY(row);
      const double h = row == queueRow ? 12 : kLaneHeight;
      const std::string tip =
          ms(at) + (event.kind == Kind::kTorn ? " (a torn line)" : "") + "\n" + narration(event);
      out_ += "<a href=\"#n-" + std::to_string(i) + "\" id=\"e-" + std::to_string(i) +
              "\" class=\"mark\"><title>" + escLines(tip) + "</title><rect class=\"hit\" x=\"" +
              num(x(at) - 4) + "\" y=\"" + num(y) + "\" width=\"8\" height=\"" + num(h) + "\"/>" +
              markShape(event, x(at), y, h, first) + "</a>\n";
    }
    out_ += "</g>\n";
  }

  void axis() {
    const double y = queueY() + kQueueHeight + 6;
    out_ += "<g class=\"axis\">\n<line class=\"axis\" x1=\"" + num(x(0)) + "\" x2=\"" +
            num(x(a_.endMs)) + "\" y1=\"" + num(y) + "\" y2=\"" + num(y) + "\"/>\n";
    const double step = tickStep(end_);
    for (int k = 0; k * step <= end_ * (1 + 1e-9); ++k) {
      const double t = k * step;
      char label[32];
      snprintf(label, sizeof label, "%.6g", t);
      out_ += "<line class=\"axis\" x1=\"" + num(x(t)) + "\" x2=\"" + num(x(t)) + "\" y1=\"" +
              num(y) + "\" y2=\"" + num(y + 5) + "\"/><text x=\"" + num(x(t)) + "\" y=\"" +
              num(y + 18) + "\" text-anchor=\"middle\">" + label + "</text>\n";
    }
    out_ += "<text x=\"" + num(kLabelWidth - 16) + "\" y=\"" + num(y + 18) +
            "\" text-anchor=\"end\">ms</text>\n";
    // Where the exact schedule has the last customer leave, across every lane.
    out_ += "<line class=\"exact\" x1=\"" + num(x(a_.exactLengthMs)) + "\" x2=\"" +
            num(x(a_.exactLengthMs)) + "\" y1=\"" + num(laneY(0)) + "\" y2=\"" +
            num(queueY() + kQueueHeight) +
            "\"><title>exact schedule: the last customer leaves at " + ms(a_.exactLengthMs) +
            "</title></line>\n</g>\n";
  }

  const FinishedRun& run_;
  const RunRecord& record_;
  const Analysis& a_;
  double end_;
  std::size_t queueTop_;
  std::string out_;
};

}  // namespace

std::string lanesSection(const FinishedRun& run) { return Lanes(run).build(); }
