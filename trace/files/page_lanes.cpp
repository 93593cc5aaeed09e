// The page's swim lanes: the lane names in an SVG of their own, which stays put while the lanes
// beside it scroll sideways on a narrow screen, and the lanes in another, the exact schedule
// outlined behind the measured bars and a mark for every line the run printed, each linked to
// its narration; a controlled run's locks and waits over them (files/page_sync*.cpp). Every drawn
// time also rides along in microseconds (data-t, data-t0, data-t1), so the player can lay the same
// drawing out again for any stretch of time it zooms to.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/constants.h"
#include "trace/common/micros.h"
#include "trace/common/words.h"
#include "trace/files/html.h"
#include "trace/files/page.h"
#include "trace/files/page_spread.h"
#include "trace/files/page_sync.h"
#include "trace/judging/telling.h"

namespace {

// The lanes' geometry, in CSS pixels: the drawing is never scaled, so its text keeps its size.
constexpr double kNamesWidth = 150;
constexpr double kPlotWidth = 850;
constexpr double kLeftPad = 8;
constexpr double kRightPad = 16;
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

// A time as the player reads it: whole microseconds.
std::string us(Micros t) { return std::to_string(t.count); }

constexpr struct {
  const char* swatch;
  const char* words;
} kKeys[] = {
    {"<rect class=\"asleep\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "barber asleep"},
    {"<rect class=\"lane-bg\" x=\"1\" y=\"1\" width=\"26\" height=\"12\"/>",
     "barber awake, not cutting (his lane left bare)"},
    {"<rect class=\"cut\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "cutting, in the chair"},
    {"<rect class=\"wait\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "waiting to be cut"},
    {"<rect class=\"exact\" x=\"1\" y=\"1\" width=\"26\" height=\"12\"/>",
     "exact schedule (a circle: sent away; a line: the last one leaves)"},
    {"<path class=\"arrive\" d=\"M9 1h10l-5 8z\"/>", "arrives"},
    {"<path class=\"tick\" d=\"M14 1v12\"/>", "any other line printed"},
    {"<path class=\"away\" d=\"M9 2l10 10M19 2l-10 10\"/>", "goes away uncut"},
    {"<rect class=\"queue\" x=\"1\" y=\"4\" width=\"26\" height=\"9\"/>", "customers waiting"},
    {"<path class=\"grid\" d=\"M1 7h26\"/>", "as many waiting as there are chairs"},
    {"<path class=\"torn\" d=\"M14 0v14\"/>", "torn text"},
    {"<path class=\"cursor\" d=\"M14 0v14\"/>", "the cursor: the instant the shop shows"},
};
// The ruler's label on a controlled run's page, once.
constexpr char kSpreadWords[] = "virtual time; the steps of one instant drawn apart";

// Only for a run with lanes to mark.
constexpr char kFaultKey[] =
    "<li><svg viewBox=\"0 0 28 14\" aria-hidden=\"true\"><rect class=\"lane-bg fault\" x=\"1\" "
    "y=\"1\" width=\"26\" height=\"12\"/></svg> \xE2\x9A\xA0 a customer the verdict names</li>\n";

class Lanes {
 public:
  Lanes(const FinishedRun& run, const std::string& headline)
      : run_(run),
        headline_(headline),
        record_(run.record),
        a_(run.analysis),
        story_(run.story),
        spread_(run),
        end_(spread_.end()),
        queueTop_(std::max(WAIT_CHAIRS, a_.longestQueue)),
        faults_(faultyLanes(run)),
        sync_(syncPicture(run, spread_)) {}

  std::string build() {
    out_ += spread_.spread() ? "<section id=\"lanes\">\n<h2>Timeline <small>" +
                                   std::string(kSpreadWords) + "</small></h2>\n"
                             : "<section id=\"lanes\">\n<h2>Timeline</h2>\n";
    out_ += "<div class=\"lanes-box\"><div class=\"lanes-row\">\n" + names();
    out_ +=
        "<svg class=\"lanes plot\" role=\"img\" aria-labelledby=\"lanes-title lanes-desc\" "
        "width=\"" +
        num(kPlotWidth) + "\" height=\"" + num(height()) + "\" data-end=\"" + us(end_) +
        "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
    out_ += "<title id=\"lanes-title\">Run " + std::to_string(record_.number) +
            ": the barber, each customer and the queue over " + msText(story_.end) + "</title>\n";
    out_ += "<desc id=\"lanes-desc\">" + esc(description()) + "</desc>\n";
    out_ += "<clipPath id=\"plot-clip\"><rect class=\"clip\" x=\"0\" y=\"0\" width=\"" +
            num(kPlotWidth) + "\" height=\"" + num(height()) + "\"/></clipPath>\n";
    out_ += "<g clip-path=\"url(#plot-clip)\">\n";
    for (std::size_t row = 0; row <= a_.customers.size(); ++row) lane(row);
    for (std::size_t k = 0; k < sync_.others.size(); ++k) otherLane(k);
    queueLane();
    out_ += syncMarks(
        sync_, {[this](Micros t) { return x(t); },
                [this](int row) { return laneY(static_cast<std::size_t>(row)); }, kLaneHeight});
    marks();
    ends();
    out_ += "</g>\n";
    axis();
    out_ += "</svg>\n</div></div>\n" + legend() + "</section>\n";
    return out_;
  }

 private:
  // The positions a finding is about, and for a run that never ended, those still in the shop.
  static std::vector<bool> faultyLanes(const FinishedRun& run) {
    std::vector<bool> faulty(run.record.roster.size());
    auto mark = [&](int who) {
      if (who >= 0 && static_cast<std::size_t>(who) < faulty.size())
        faulty[static_cast<std::size_t>(who)] = true;
    };
    for (const Finding& finding : run.verdict.broken) {
      for (int who : finding.who) mark(who);
    }
    if (!run.verdict.complete) {
      for (int who : run.verdict.unfinished) mark(who);
    }
    return faulty;
  }

  // Where a moment is drawn: at the line that began it when it has one, a stay's end where the
  // next begins or at the drawing's end; a real-time run at its own time.
  Micros drawn(Micros t, std::optional<std::size_t> line) const {
    if (!spread_.spread()) return t;
    if (line) return spread_.line(*line);
    return t >= story_.end ? end_ : spread_.at(t);
  }

  double height() const { return queueY() + kQueueHeight + kAxisHeight; }
  double x(Micros t) const {
    const Micros within = std::clamp(t, Micros{}, end_);
    return kLeftPad + within.ms() / end_.ms() * (kPlotWidth - kLeftPad - kRightPad);
  }
  double laneY(std::size_t row) const { return kTop + row * (kLaneHeight + kLaneGap); }
  // Below the barber, the customers and a controlled run's other threads that took part.
  double queueY() const { return laneY(a_.customers.size() + 1 + sync_.others.size()); }
  double queueLevel(std::size_t length) const {
    return queueY() + kQueueHeight -
           kQueueHeight * static_cast<double>(length) / static_cast<double>(queueTop_);
  }
  bool faulty(std::size_t row) const { return row > 0 && faults_[row - 1]; }
  std::string nameOf(int who) const { return customerName(record_.roster, who); }
  std::string lineTip(std::optional<std::size_t> line) const {
    return line ? "\n" + narration(record_.events[*line]) : std::string();
  }
  // Where a point in time sits: moved as a whole when the player zooms.
  std::string at(Micros t) const {
    return " data-t=\"" + us(t) + "\" transform=\"translate(" + num(x(t)) + " 0)\"";
  }

  void rect(const char* cls, Micros from, Micros to, double y, double h, const std::string& tip) {
    out_ += "<rect class=\"" + std::string(cls) + "\" x=\"" + num(x(from)) + "\" y=\"" + num(y) +
            "\" width=\"" + num(std::max(x(to) - x(from), 1.0)) + "\" height=\"" + num(h) +
            "\" data-t0=\"" + us(from) + "\" data-t1=\"" + us(to) + "\"><title>" + escLines(tip) +
            "</title></rect>\n";
  }

  std::string legend() const {
    std::string out = "<ul class=\"legend\" aria-label=\"Legend\">\n";
    for (const auto& key : kKeys) {
      out += std::string("<li><svg viewBox=\"0 0 28 14\" aria-hidden=\"true\">") + key.swatch +
             "</svg> " + key.words + "</li>\n";
    }
    if (std::find(faults_.begin(), faults_.end(), true) != faults_.end()) out += kFaultKey;
    return out + syncLegend(sync_) + "</ul>\n";
  }

  std::string description() const {
    return "Swim lanes over " + msText(story_.end) +
           " from the Run choice: the barber's sleep and cuts, each customer's wait in the "
           "queue and cut, and the queue's length; dashed outlines show the exact schedule. " +
           totals() + ". Verdict: " + headline_ + "." +
           (sync_.empty() ? ""
                          : " Thin bands along each thread's lane show the locks it held and "
                            "its waits, and arrows the unlock or post that ended each wait.");
  }

  std::string totals() const {
    std::string out;
    for (const std::string& part : totalsParts(run_)) out += (out.empty() ? "" : ", ") + part;
    return out;
  }

  // The names, a row per lane, in their own column.
  std::string names() const {
    std::string out = "<svg class=\"names\" width=\"" + num(kNamesWidth) + "\" height=\"" +
                      num(height()) + "\" aria-hidden=\"true\">\n";
    for (std::size_t row = 0; row <= a_.customers.size(); ++row) {
      const std::string label = row == 0 ? "Barber" : nameOf(static_cast<int>(row) - 1);
      const std::string shown =
          (faulty(row) ? "\xE2\x9A\xA0 " : "") + shortened(label, kLabelChars);
      out += std::string("<rect class=\"lane-bg") + (faulty(row) ? " fault" : "") +
             "\" x=\"0\" y=\"" + num(laneY(row)) + "\" width=\"" + num(kNamesWidth) +
             "\" height=\"" + num(kLaneHeight) + "\"/><text class=\"label\" x=\"6\" y=\"" +
             num(laneY(row) + kLaneHeight / 2 + 4) + "\"><title>" + esc(label) + "</title>" +
             esc(shown) + "</text>\n";
    }
    for (std::size_t k = 0; k < sync_.others.size(); ++k) {
      const double y = laneY(a_.customers.size() + 1 + k);
      out += "<rect class=\"lane-bg\" x=\"0\" y=\"" + num(y) + "\" width=\"" + num(kNamesWidth) +
             "\" height=\"" + num(kLaneHeight) + "\"/><text class=\"label thread\" x=\"6\" y=\"" +
             num(y + kLaneHeight / 2 + 4) + "\">" + esc(sync_.others[k]) + "</text>\n";
    }
    const double top = queueY();
    out += "<rect class=\"lane-bg\" x=\"0\" y=\"" + num(top) + "\" width=\"" + num(kNamesWidth) +
           "\" height=\"" + num(kQueueHeight) + "\"/><text class=\"label\" x=\"6\" y=\"" +
           num(top + kQueueHeight / 2 + 4) + "\">queue</text><text x=\"6\" y=\"" +
           num(queueLevel(WAIT_CHAIRS) + 13) + "\">" + std::to_string(WAIT_CHAIRS) +
           " chairs</text>\n<text x=\"6\" y=\"" + num(top + kQueueHeight + 24) + "\">" +
           (spread_.spread() ? std::string("virtual ms<title>") + kSpreadWords + "</title>"
                             : std::string("ms")) +
           "</text>\n";
    return out + "</svg>\n";
  }

  void lane(std::size_t row) {
    const bool barber = row == 0;
    const int who = static_cast<int>(row) - 1;
    out_ += barber ? "<g data-lane=\"barber\">\n"
                   : "<g data-lane=\"customer\" data-who=\"" + std::to_string(who) +
                         "\" data-id=\"" + esc(record_.roster[row - 1].id) + "\"" +
                         (faulty(row) ? " class=\"fault\"" : "") + ">\n";
    out_ += std::string("<rect class=\"lane-bg") + (faulty(row) ? " fault" : "") +
            "\" x=\"0\" y=\"" + num(laneY(row)) + "\" width=\"" + num(kPlotWidth) + "\" height=\"" +
            num(kLaneHeight) + "\"/>\n";
    if (barber) {
      barberLane();
    } else {
      exactVisit(a_.customers[row - 1], laneY(row));
      customerLane(who, laneY(row));
    }
    out_ += "</g>\n";
  }

  // A lane for a thread of the program's own (the console's), for its locks and waits alone.
  void otherLane(std::size_t k) {
    out_ += "<g data-lane=\"thread\" data-name=\"" + esc(sync_.others[k]) +
            "\">\n<rect class=\"lane-bg\" x=\"0\" y=\"" + num(laneY(a_.customers.size() + 1 + k)) +
            "\" width=\"" + num(kPlotWidth) + "\" height=\"" + num(kLaneHeight) + "\"/>\n</g>\n";
  }

  void barberLane() {
    const double y = laneY(0);
    for (const CustomerStory& s : a_.customers) {
      if (s.planned.startMs < 0) continue;
      const Micros from = Micros::ofMs(s.planned.startMs), to = Micros::ofMs(s.planned.finishMs);
      rect("exact", spread_.at(from), spread_.at(to), y + 1, kLaneHeight - 2,
           "exact schedule: cutting " + nameOf(s.who) + ", " + span(from, to));
    }
    const std::vector<BarberStay>& stays = story_.barber;
    for (std::size_t i = 0; i < stays.size(); ++i) {
      const BarberStay& b = stays[i];
      const Micros from = drawn(b.from, b.line);
      const Micros to = drawn(b.to, i + 1 < stays.size() ? stays[i + 1].line : std::nullopt);
      if (b.doing == BarberDoing::kAsleep) {
        rect("asleep", from, to, y + 5, kLaneHeight - 10,
             "asleep, " + span(b.from, b.to) + lineTip(b.line));
      }
      if (b.doing != BarberDoing::kCutting) continue;
      rect("cut", from, to, y + 5, kLaneHeight - 10,
           "cutting " + nameOf(b.who) + ", " + span(b.from, b.to) + lineTip(b.line));
      cutLabel(b.who, from, to, y);
    }
  }

  // The name inside a cut's bar when it fits; the player shows it again whenever it does.
  void cutLabel(int who, Micros from, Micros to, double y) {
    const std::string label = shortened(nameOf(who), 12);
    const double needs = 7.0 * static_cast<double>(label.size()) + 6;
    out_ += "<text class=\"cut-id\" aria-hidden=\"true\" x=\"" + num(x(from) + 3) + "\" y=\"" +
            num(y + kLaneHeight / 2 + 4) + "\" data-t0=\"" + us(from) + "\" data-t1=\"" + us(to) +
            "\" data-w=\"" + num(needs) + "\"" +
            (x(to) - x(from) > needs ? "" : " display=\"none\"") + ">" + esc(label) + "</text>\n";
  }

  void exactVisit(const CustomerStory& s, double y) {
    const PlannedVisit& p = s.planned;
    const Micros arrival = Micros::ofMs(p.arrivalMs);
    if (p.outcome == Planned::kSentAway) {
      out_ += "<circle class=\"exact\" cx=\"0\" cy=\"" + num(y + kLaneHeight / 2) + "\" r=\"8\"" +
              at(spread_.at(arrival)) + "><title>" +
              esc("exact schedule: " + nameOf(s.who) + " arrives at " + msText(arrival) +
                  " and goes away: every chair taken") +
              "</title></circle>\n";
      return;
    }
    const Micros start = Micros::ofMs(p.startMs), finish = Micros::ofMs(p.finishMs);
    if (start > arrival) {
      rect("exact", spread_.at(arrival), spread_.at(start), y + 3, kLaneHeight - 6,
           "exact schedule: " + nameOf(s.who) + " waits, " + span(arrival, start));
    }
    rect("exact", spread_.at(start), spread_.at(finish), y + 1, kLaneHeight - 2,
         "exact schedule: " + nameOf(s.who) + " in the chair, " + span(start, finish));
  }

  // The customer's stays as the story tells them: waiting (in the queue, at the door, or in the
  // barber's chair before he cuts) and being cut; after its last line it has no bar.
  void customerLane(int who, double y) {
    const std::vector<Stay>& stays = story_.visits[static_cast<std::size_t>(who)].stays;
    for (std::size_t i = 0; i < stays.size(); ++i) {
      const Stay& stay = stays[i];
      const Micros from = drawn(stay.from, stay.line);
      const Micros to =
          drawn(stay.to, i + 1 < stays.size() ? std::optional(stays[i + 1].line) : std::nullopt);
      if (to <= from) continue;  // moved on within the microsecond it came
      const std::string tip = nameOf(who) + " " +
                              (stay.cutting ? "in the chair, being cut" : placeWords(stay.place)) +
                              ", " + span(stay.from, stay.to) + lineTip(stay.line);
      if (stay.cutting) {
        rect("cut", from, to, y + 5, kLaneHeight - 10, tip);
      } else if (stay.place == Place::kQueue || stay.place == Place::kDoor ||
                 stay.place == Place::kChair) {
        rect("wait", from, to, y + 6, kLaneHeight - 12, tip);
      }
    }
  }

  // The queue's length as a bar per stretch of one length, each with its tooltip.
  void queueLane() {
    const double top = queueY();
    out_ += "<g data-lane=\"queue\">\n<rect class=\"lane-bg\" x=\"0\" y=\"" + num(top) +
            "\" width=\"" + num(kPlotWidth) + "\" height=\"" + num(kQueueHeight) + "\"/>\n";
    const double chairs = queueLevel(WAIT_CHAIRS);
    out_ += "<line class=\"grid\" x1=\"0\" x2=\"" + num(kPlotWidth) + "\" y1=\"" + num(chairs) +
            "\" y2=\"" + num(chairs) + "\"/>\n";
    const std::vector<QueueStep>& queue = story_.queue;
    const std::vector<std::optional<std::size_t>> lines = queueLines();
    for (std::size_t i = 0; i < queue.size(); ++i) {
      const QueueStep& step = queue[i];
      const Micros until = i + 1 < queue.size() ? queue[i + 1].at : story_.end;
      const Micros from = drawn(step.at, lines[i]);
      const Micros to = drawn(until, i + 1 < queue.size() ? lines[i + 1] : std::nullopt);
      if (to <= from && i + 1 < queue.size()) continue;
      const double level = queueLevel(step.length);
      rect(step.length > 0 ? "queue" : "hit", from, to, step.length > 0 ? level : top,
           step.length > 0 ? top + kQueueHeight - level : kQueueHeight,
           std::to_string(step.length) + " waiting, " + span(step.at, until));
    }
    out_ += "</g>\n";
  }

  // The line that changed the queue's length at each of its steps, from the shop's moments.
  std::vector<std::optional<std::size_t>> queueLines() const {
    std::vector<std::optional<std::size_t>> lines(story_.queue.size());
    std::size_t next = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const QueueStep& step = story_.queue[i];
      while (next < story_.shop.size() && !(story_.shop[next].at == step.at &&
                                            story_.shop[next].shop.queue.size() == step.length))
        ++next;
      if (next == story_.shop.size()) break;
      if (story_.shop[next].lines > 0) lines[i] = story_.shop[next].lines - 1;
      ++next;
    }
    return lines;
  }

  std::string markShape(const Event& event, double y, double h, bool first) const {
    if (event.kind == Kind::kTorn) {
      return "<path class=\"torn\" d=\"M0 " + num(y) + "v" + num(kQueueHeight) + "\"/>";
    }
    if (event.kind == Kind::kQueueFull || event.kind == Kind::kNoChair) {
      return "<path class=\"away\" d=\"M-6 " + num(y + 7) + "l12 12m0 -12l-12 12\"/>";
    }
    if (first) return "<path class=\"arrive\" d=\"M-5 " + num(y + 1) + "h10l-5 9z\"/>";
    return "<path class=\"tick\" d=\"M0 " + num(y + 2) + "v" + num(h - 4) + "\"/>";
  }

  // A mark for every line the run printed, on its actor's lane, linked to its narration.
  void marks() {
    const std::size_t queueRow = a_.customers.size() + 1;
    std::vector<bool> seen(queueRow + 1);
    out_ += "<g class=\"marks\">\n";
    for (std::size_t i = 0; i < record_.events.size(); ++i) {
      const Event& event = record_.events[i];
      const Micros when{event.us};
      std::size_t row = queueRow;  // the queue lane: blocks and the run's lines
      if (event.actor() == Actor::kBarber) row = 0;
      if (event.actor() == Actor::kCustomer && event.who >= 0)
        row = static_cast<std::size_t>(event.who) + 1;
      const bool first = event.actor() == Actor::kCustomer && row != queueRow && !seen[row];
      if (event.actor() == Actor::kCustomer) seen[row] = true;
      const double y = row == queueRow ? queueY() : laneY(row);
      const double h = row == queueRow ? 12 : kLaneHeight;
      const std::string tip = msText(when) + (event.kind == Kind::kTorn ? " (a torn line)" : "") +
                              "\n" + narration(event);
      out_ += "<a href=\"#n-" + std::to_string(i) + "\" id=\"e-" + std::to_string(i) +
              "\" class=\"mark\"" + at(spread_.line(i)) + "><title>" + escLines(tip) +
              "</title><rect class=\"hit\" x=\"-4\" y=\"" + num(y) + "\" width=\"8\" height=\"" +
              num(h) + "\"/>" + markShape(event, y, h, first) + "</a>\n";
    }
    out_ += "</g>\n";
  }

  // Where the exact schedule has the last customer leave, and the player's cursor.
  void ends() {
    const Micros exactEnd = Micros::ofMs(static_cast<std::int64_t>(a_.exactLengthMs));
    out_ += "<line class=\"exact\" x1=\"0\" x2=\"0\" y1=\"" + num(laneY(0)) + "\" y2=\"" +
            num(queueY() + kQueueHeight) + "\"" + at(spread_.at(exactEnd)) +
            "><title>exact schedule: the last customer leaves at " + msText(exactEnd) +
            "</title></line>\n";
    out_ += "<line class=\"cursor\" x1=\"0\" x2=\"0\" y1=\"0\" y2=\"" +
            num(queueY() + kQueueHeight) + "\"" + at(drawn(story_.end, std::nullopt)) + "/>\n";
  }

  // Ticks in ms, the unit the axis is labelled in.
  void axis() {
    const double y = queueY() + kQueueHeight + 6;
    out_ += "<g class=\"axis\" data-y=\"" + num(y) + "\">\n<line class=\"axis\" x1=\"" +
            num(x(Micros{})) + "\" x2=\"" + num(x(drawn(story_.end, std::nullopt))) + "\" y1=\"" +
            num(y) + "\" y2=\"" + num(y) + "\"/>\n";
    const double endMs = end_.ms();
    const double step = tickStep(endMs);
    for (int k = 0; k * step <= endMs * (1 + 1e-9); ++k) {
      const double t = k * step;
      const double tickX = kLeftPad + t / endMs * (kPlotWidth - kLeftPad - kRightPad);
      char label[32];
      // A controlled run's ruler says the virtual time drawn there.
      const double shown =
          spread_.spread() ? spread_.virtualAt(Micros{std::llround(t * 1000)}).ms() : t;
      snprintf(label, sizeof label, "%.6g", shown);
      out_ += "<line class=\"axis\" x1=\"" + num(tickX) + "\" x2=\"" + num(tickX) + "\" y1=\"" +
              num(y) + "\" y2=\"" + num(y + 5) + "\"/><text x=\"" + num(tickX) + "\" y=\"" +
              num(y + 18) + "\" text-anchor=\"middle\">" + label + "</text>\n";
    }
    out_ += "</g>\n";
  }

  const FinishedRun& run_;
  const std::string& headline_;  // "every rule holds", "the run is still going"
  const RunRecord& record_;
  const Analysis& a_;
  const Story& story_;
  Spread spread_;
  Micros end_;  // where the drawing ends
  std::size_t queueTop_;
  std::vector<bool> faults_;
  SyncPicture sync_;
  std::string out_;
};

}  // namespace

std::string lanesSection(const FinishedRun& run, const std::string& headline) {
  return Lanes(run, headline).build();
}
