// The session's page: rows, the aggregate as bars, and the compare view's data and script.

#include "trace/files/session_page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <tuple>

#include "trace/common/json_text.h"
#include "trace/common/micros.h"
#include "trace/common/utf8.h"
#include "trace/common/words.h"
#include "trace/files/assets.h"
#include "trace/files/html.h"
#include "trace/files/write_whole.h"

namespace {

constexpr std::size_t kOutcomes = 6;
constexpr std::size_t kBins = 12;

std::int64_t usOf(double ms) { return std::llround(ms * 1000.0); }

std::string msOf(std::int64_t us) { return msText(Micros{us}); }

std::string percent(std::size_t part, std::size_t whole) {
  return fixed(whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole),
               2) +
         "%";
}

// A bar `part` of `whole` long, of class `cls`, with its words as a tooltip.
std::string bar(const char* cls, std::size_t part, std::size_t whole, const std::string& tip) {
  return std::string("<span class=\"seg ") + cls + "\" style=\"width:" + percent(part, whole) +
         "\" title=\"" + esc(tip) + "\"></span>";
}

std::string names(const Roster& roster, int who) { return customerName(roster, who); }

// Runs that ended alike: every customer's outcome the same.
struct Pattern {
  std::size_t roster = 0;
  std::vector<std::uint8_t> outcomes;
  bool operator<(const Pattern& other) const {
    return std::tie(roster, outcomes) < std::tie(other.roster, other.outcomes);
  }
};

struct PatternCount {
  std::size_t runs = 0;
  int first = 0;  // the first run that ended so
  std::size_t label = 0;
};

class Writer {
 public:
  Writer(const std::vector<SessionRow>& rows, const std::vector<Roster>& rosters,
         const std::vector<std::string>& lanes)
      : rows_(rows), rosters_(rosters), lanes_(lanes), order_(rows.size()) {
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
      return rows_[a].number < rows_[b].number;
    });
    for (std::size_t i : order_) {
      PatternCount& count = patterns_[{rows_[i].roster, rows_[i].outcomes}];
      if (count.runs++ == 0) count.first = rows_[i].number;
    }
    // Labelled by how many runs ended so, the most first.
    std::vector<PatternCount*> byRuns;
    for (auto& [pattern, count] : patterns_) byRuns.push_back(&count);
    std::stable_sort(byRuns.begin(), byRuns.end(),
                     [](const PatternCount* a, const PatternCount* b) {
                       return a->runs != b->runs ? a->runs > b->runs : a->first < b->first;
                     });
    for (std::size_t i = 0; i < byRuns.size(); ++i) byRuns[i]->label = i + 1;
  }

  std::string page() const {
    std::string out = head() + verdicts() + patternsSection() + customersSection() +
                      spreadSection() + compareSection() + table();
    return out + dataScript() + "<script>" + kSessionScript + "</script>\n</body>\n</html>\n";
  }

 private:
  std::size_t held() const {
    return static_cast<std::size_t>(
        std::count_if(rows_.begin(), rows_.end(), [](const SessionRow& r) { return r.holds; }));
  }

  std::string head() const {
    const std::string title = "barbershop session \xC2\xB7 " + std::to_string(rows_.size()) +
                              (rows_.size() == 1 ? " run" : " runs");
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<meta "
           "name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<link rel=\"icon\" "
           "href=\"data:,\">\n<title>" +
           esc(title) + "</title>\n<style>" + kSessionStyle +
           "</style>\n</head>\n<body>\n<header>\n<h1>" + esc(title) +
           "</h1>\n<p class=\"meta\">"
           "Each run's own page, with its player, is linked from its row below.</p>\n</header>\n";
  }

  std::string verdicts() const {
    std::map<std::string, std::size_t> rules;
    std::size_t stuck = 0, unfinished = 0;
    for (const SessionRow& row : rows_) {
      for (const std::string& rule : row.rules) ++rules[rule];
      stuck += row.stuck ? 1 : 0;
      unfinished += !row.complete && !row.stuck ? 1 : 0;
    }
    const std::size_t all = rows_.size(), ok = held();
    std::string out = "<section id=\"verdicts\">\n<h2>Verdicts</h2>\n<ul class=\"bars\">\n";
    auto line = [&](const char* cls, const std::string& words, std::size_t n) {
      out += "<li><span class=\"what\">" + esc(words) + "</span><span class=\"bar\">" +
             bar(cls, n, all, words) + "</span><span class=\"n\">" + std::to_string(n) + " of " +
             std::to_string(all) + "</span></li>\n";
    };
    line("holds", "every rule held", ok);
    for (const auto& [rule, n] : rules) line("broken", rule + " broke", n);
    if (stuck > 0) line("broken", "got stuck", stuck);
    if (unfinished > 0) line("broken", "did not finish", unfinished);
    return out + "</ul>\n</section>\n";
  }

  std::string patternWords(const Pattern& pattern) const {
    const Roster& roster = rosters_[pattern.roster];
    std::string words;
    for (std::size_t who = 0; who < pattern.outcomes.size(); ++who) {
      words += (who ? " \xC2\xB7 " : "") + names(roster, static_cast<int>(who)) + " " +
               wordsOf(static_cast<Outcome>(pattern.outcomes[who])).words;
    }
    return words;
  }

  std::string patternsSection() const {
    std::vector<std::pair<const Pattern*, const PatternCount*>> list;
    for (const auto& [pattern, count] : patterns_) list.push_back({&pattern, &count});
    std::sort(list.begin(), list.end(),
              [](const auto& a, const auto& b) { return a.second->label < b.second->label; });
    std::string out =
        "<section id=\"outcomes\">\n<h2>How the runs ended</h2>\n<p class=\"meta\">Runs whose "
        "customers all ended alike share an ending; the table names each run's.</p>\n<ol "
        "class=\"bars endings\">\n";
    for (const auto& [pattern, count] : list) {
      out += "<li id=\"ending-" + std::to_string(count->label) + "\"><span class=\"what\">" +
             "ending " + std::to_string(count->label) + ": " + esc(patternWords(*pattern)) +
             "</span><span class=\"bar\">" + bar("count", count->runs, rows_.size(), "") +
             "</span><span class=\"n\">" + std::to_string(count->runs) + " of " +
             std::to_string(rows_.size()) + ", first in run " + std::to_string(count->first) +
             "</span></li>\n";
    }
    return out + "</ol>\n</section>\n";
  }

  std::string customersSection() const;
  std::string spreadSection() const;
  std::string compareSection() const;
  std::string row(const SessionRow& r) const;
  std::string table() const;
  std::string dataScript() const;

  const std::vector<SessionRow>& rows_;
  const std::vector<Roster>& rosters_;
  const std::vector<std::string>& lanes_;
  std::vector<std::size_t> order_;
  std::map<Pattern, PatternCount> patterns_;
};

// Each customer's outcomes over the runs, as one bar split by outcome; and who won each race.
std::string Writer::customersSection() const {
  std::vector<std::string> order;
  std::map<std::string, std::array<std::size_t, kOutcomes>> counts;
  std::map<std::pair<std::string, std::string>, std::size_t> races;
  for (const SessionRow& r : rows_) {
    const Roster& roster = rosters_[r.roster];
    for (std::size_t who = 0; who < r.outcomes.size(); ++who) {
      const std::string name = names(roster, static_cast<int>(who));
      if (counts.count(name) == 0) order.push_back(name);
      ++counts[name][r.outcomes[who]];
    }
    for (const auto& [winner, loser] : r.races)
      ++races[{names(roster, winner), names(roster, loser)}];
  }
  std::string out =
      "<section id=\"customers\">\n<h2>How each customer fared</h2>\n<ul class=\"key\">";
  for (std::size_t o = 0; o < kOutcomes; ++o) {
    out += std::string("<li><span class=\"seg ") + wordsOf(static_cast<Outcome>(o)).name +
           "\"></span>" + wordsOf(static_cast<Outcome>(o)).words + "</li>";
  }
  out += "</ul>\n<ul class=\"bars\">\n";
  for (const std::string& name : order) {
    const auto& count = counts.at(name);
    const std::size_t all = std::accumulate(count.begin(), count.end(), std::size_t{0});
    std::string words, segs;
    for (std::size_t o = 0; o < kOutcomes; ++o) {
      if (count[o] == 0) continue;
      const std::string part =
          std::string(wordsOf(static_cast<Outcome>(o)).brief) + " " + std::to_string(count[o]);
      words += (words.empty() ? "" : ", ") + part;
      segs += bar(wordsOf(static_cast<Outcome>(o)).name, count[o], all, name + ": " + part);
    }
    out += "<li><span class=\"what\">" + esc(name) + "</span><span class=\"bar\">" + segs +
           "</span><span class=\"n\">" + esc(words) + "</span></li>\n";
  }
  out += "</ul>\n<h3>Races</h3>\n";
  if (races.empty())
    return out +
           "<p>No run served customers who came together out of roster order.</p>\n</section>\n";
  out += "<ul class=\"bars\">\n";
  for (const auto& [pair, n] : races) {
    const std::string words = pair.first + " served before " + pair.second;
    out += "<li><span class=\"what\">" + esc(words) + "</span><span class=\"bar\">" +
           bar("race", n, rows_.size(), words) + "</span><span class=\"n\">" + std::to_string(n) +
           " of " + std::to_string(rows_.size()) + "</span></li>\n";
  }
  return out + "</ul>\n</section>\n";
}

// A histogram of values in microseconds, as a row of bars with its median and largest.
std::string histogram(const char* title, std::vector<std::int64_t> values) {
  std::string out = std::string("<h3>") + title + "</h3>\n";
  if (values.empty()) return out + "<p>None measured.</p>\n";
  std::sort(values.begin(), values.end());
  const std::int64_t low = values.front(), high = values.back();
  const double width = std::max<double>(static_cast<double>(high - low), 1.0) / kBins;
  std::array<std::size_t, kBins> bins{};
  for (std::int64_t v : values) {
    const auto bin = static_cast<std::size_t>(static_cast<double>(v - low) / width);
    ++bins[std::min(bin, kBins - 1)];
  }
  const std::size_t most = *std::max_element(bins.begin(), bins.end());
  out += "<div class=\"histogram\" role=\"img\" aria-label=\"" + esc(title) + "\">";
  for (std::size_t b = 0; b < kBins; ++b) {
    const double from = static_cast<double>(low) + width * static_cast<double>(b);
    out +=
        "<span class=\"col\" title=\"" +
        esc(span(from / 1000, (from + width) / 1000) + ": " + std::to_string(bins[b]) + " runs") +
        "\"><span style=\"height:" + percent(bins[b], most) + "\"></span></span>";
  }
  out += "</div>\n<p class=\"axis-words\">" + msOf(low) + " to " + msOf(high) +
         " \xC2\xB7 half within " + msOf(values[(values.size() - 1) / 2]) + " \xC2\xB7 over " +
         std::to_string(values.size()) + (values.size() == 1 ? " run" : " runs") + "</p>\n";
  return out;
}

std::string Writer::spreadSection() const {
  std::vector<std::int64_t> lengths, worst;
  for (const SessionRow& r : rows_) {
    if (r.lengthUs >= 0) lengths.push_back(r.lengthUs);
    worst.push_back(r.worstUs);
  }
  return "<section id=\"spread\">\n<h2>Times</h2>\n<div class=\"two\">\n<div>" +
         histogram("Run length (from the Run choice to \u201cFinished all customers.\u201d)",
                   lengths) +
         "</div>\n<div>" + histogram("Furthest from the exact schedule", worst) +
         "</div>\n</div>\n</section>\n";
}

// The compare view's key: a swatch and its words for every mark the view draws.
constexpr struct {
  const char* swatch;
  const char* words;
} kCompareKeys[] = {
    {"<rect class=\"asleep\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "barber asleep"},
    {"<rect class=\"lane-bg\" x=\"1\" y=\"1\" width=\"26\" height=\"12\"/>",
     "barber awake, not cutting"},
    {"<rect class=\"cut\" x=\"1\" y=\"2\" width=\"26\" height=\"10\"/>", "cutting, in the chair"},
    {"<rect class=\"wait\" x=\"1\" y=\"3\" width=\"26\" height=\"8\"/>", "waiting in the queue"},
    {"<path class=\"arrive\" d=\"M10 1h8l-4 7z\"/>", "comes in"},
    {"<path class=\"away\" d=\"M9 2l10 10M19 2l-10 10\"/>", "goes away uncut"},
    {"<path class=\"part\" d=\"M14 0v14\"/>", "where the two runs part"},
    {"<path class=\"lone\" d=\"M14 0l7 7l-7 7l-7 -7z\"/>", "a moment only this run has"},
    {"<rect class=\"lane-bg differs\" x=\"1\" y=\"1\" width=\"26\" height=\"12\"/>",
     "\xE2\x89\xA0 a customer who ended differently"},
};

std::string Writer::compareSection() const {
  std::string out =
      "<section id=\"compare\">\n<h2>Compare two runs</h2>\n<noscript><p>The compare view is "
      "drawn by this page's script; each run's own page draws its lanes.</p></noscript>\n"
      "<div class=\"compare-controls\" hidden><label>run <select data-pick=\"a\"></select></label>"
      " <label>against run <select data-pick=\"b\"></select></label><span class=\"zoom\">"
      "<button type=\"button\" data-act=\"out\" title=\"Zoom out (-)\" aria-label=\"Zoom out\">"
      "\xE2\x88\x92</button><button type=\"button\" data-act=\"in\" title=\"Zoom in (+)\" "
      "aria-label=\"Zoom in\">+</button><button type=\"button\" data-act=\"fit\" title=\"Both "
      "runs whole (0)\">whole runs</button></span></div>\n<p class=\"compare-words\"></p>\n"
      "<div class=\"compare-box\" tabindex=\"0\" aria-label=\"The two runs' lanes: + and - "
      "zoom, a drag pans\"></div>\n<ul class=\"key compare-key\" hidden>";
  for (const auto& key : kCompareKeys) {
    out += std::string(
               "<li><svg class=\"compare\" viewBox=\"0 0 28 14\" width=\"28\" "
               "height=\"14\" aria-hidden=\"true\">") +
           key.swatch + "</svg> " + key.words + "</li>";
  }
  out += "</ul>\n";
  if (rows_.size() > lanes_.size()) {
    out += "<p class=\"meta\">The compare view holds the first " + std::to_string(lanes_.size()) +
           " runs of the session's " + std::to_string(rows_.size()) + ".</p>\n";
  }
  return out + "</section>\n";
}

std::string Writer::row(const SessionRow& r) const {
  const std::string n = std::to_string(r.number);
  std::string verdict = r.holds ? "\xE2\x9C\x94 every rule holds" : "\xE2\x9C\x98 ";
  for (std::size_t i = 0; i < r.rules.size(); ++i) verdict += (i ? ", " : "") + r.rules[i];
  if (r.stuck) verdict += std::string(r.rules.empty() ? "" : "; ") + "stuck";
  if (!r.complete && !r.stuck) verdict += std::string(r.rules.empty() ? "" : "; ") + "unfinished";
  if (!r.variant.empty()) verdict += " (variant " + r.variant + ")";
  std::size_t cut = 0, away = 0;
  for (std::uint8_t o : r.outcomes) {
    cut += static_cast<Outcome>(o) == Outcome::kWoke || static_cast<Outcome>(o) == Outcome::kWaited;
    away += wentAway(static_cast<Outcome>(o)) ? 1 : 0;
  }
  const std::string ending = std::to_string(patterns_.at({r.roster, r.outcomes}).label);
  std::string races;
  for (const auto& [winner, loser] : r.races) {
    races += (races.empty() ? "" : ", ") + names(rosters_[r.roster], winner) + " before " +
             names(rosters_[r.roster], loser);
  }
  return "<tr id=\"run-" + n + "\"><th scope=\"row\"><a href=\"run-" + n + ".html\">run " + n +
         "</a></th><td class=\"" + (r.holds ? "holds" : "broken") + "\">" + esc(verdict) +
         "</td><td><a href=\"#ending-" + ending + "\">ending " + ending + "</a>: cut " +
         std::to_string(cut) + ", away " + std::to_string(away) + "</td><td>" +
         (races.empty() ? "\xE2\x80\x93" : esc(races)) + "</td><td class=\"num\">" +
         (r.lengthUs < 0 ? "\xE2\x80\x93" : msOf(r.lengthUs)) + "</td><td class=\"num\">" +
         msOf(r.worstUs) + "</td></tr>\n";
}

std::string Writer::table() const {
  std::string out =
      "<section id=\"runs\">\n<h2>Runs</h2>\n<div class=\"table\"><table>\n<thead><tr><th "
      "scope=\"col\">run</th><th scope=\"col\">verdict</th><th scope=\"col\">outcomes</th><th "
      "scope=\"col\">races won</th><th scope=\"col\">length</th><th scope=\"col\">furthest from "
      "plan</th></tr></thead>\n<tbody>\n";
  for (std::size_t i : order_) out += row(rows_[i]);
  return out + "</tbody>\n</table></div>\n</section>\n";
}

// The compare view's data: the rosters' names and the first runs' lanes. Names are shown as
// text, so their readable form is enough; "<" is written as an escape so no name can end the
// script element.
std::string Writer::dataScript() const {
  Json rosters = Json::array();
  for (const Roster& roster : rosters_) {
    Json list = Json::array();
    for (std::size_t who = 0; who < roster.size(); ++who) {
      list.push_back(visible(names(roster, static_cast<int>(who))));
    }
    rosters.push_back(std::move(list));
  }
  // How a visit ends in words, by the name each customer's "outcome" carries.
  Json outcomes = Json::object();
  for (std::size_t o = 0; o < kOutcomes; ++o) {
    const Words& words = wordsOf(static_cast<Outcome>(o));
    outcomes[words.name] = words.words;
  }
  std::string text =
      "{\"rosters\":" + oneLine(rosters) + ",\"outcomes\":" + oneLine(outcomes) + ",\"runs\":[";
  std::vector<std::size_t> compared;
  for (std::size_t i : order_) {
    if (i < lanes_.size()) compared.push_back(i);
  }
  for (std::size_t k = 0; k < compared.size(); ++k) {
    const SessionRow& r = rows_[compared[k]];
    text += std::string(k ? "," : "") + "{\"n\":" + std::to_string(r.number) +
            ",\"r\":" + std::to_string(r.roster) +
            ",\"ending\":" + std::to_string(patterns_.at({r.roster, r.outcomes}).label) + "," +
            lanes_[compared[k]] + "}";
  }
  text += "]}";
  std::string safe;
  for (char c : text) safe += c == '<' ? std::string("\\u003c") : std::string(1, c);
  return "<script type=\"application/json\" id=\"session-data\">" + safe + "</script>\n";
}

}  // namespace

// A run's lanes as the compare view reads them, by name: each customer's moments in
// microseconds (-1: never) and how it ended, and the barber's sleep and cuts, from the story.
std::string comparedLanes(const FinishedRun& run) {
  const Story& story = run.story;
  auto us = [](const std::optional<Moment>& moment) -> std::int64_t {
    return moment ? moment->at.count : -1;
  };
  Json customers = Json::array();
  for (const Visit& v : story.visits) {
    customers.push_back({{"outcome", wordsOf(v.outcome).name},
                         {"away", wentAway(v.outcome)},
                         {"arrived", us(v.arrived)},
                         {"sat", us(v.sat)},
                         {"cutStart", us(v.cutStart)},
                         {"cutFinish", us(v.cutFinish)},
                         {"left", us(v.left)}});
  }
  Json barber = Json::array();
  for (const BarberStay& b : story.barber) {
    if (b.doing == BarberDoing::kAwake) continue;
    barber.push_back({{"doing", barberWord(b.doing)},
                      {"from", b.from.count},
                      {"to", b.to.count},
                      {"who", b.who}});
  }
  std::string text =
      oneLine({{"end", story.end.count}, {"customers", customers}, {"barber", barber}});
  return text.substr(1, text.size() - 2);  // its fields, for the run's object
}

void SessionPage::add(const FinishedRun& run) {
  SessionRow row;
  row.number = run.record.number;
  row.holds = run.verdict.holds();
  row.complete = run.verdict.complete;
  row.stuck = run.verdict.stuck;
  std::set<std::string> rules;
  for (const Finding& finding : run.verdict.broken) rules.insert(finding.rule);
  row.rules.assign(rules.begin(), rules.end());
  for (const CustomerStory& s : run.analysis.customers) {
    row.outcomes.push_back(static_cast<std::uint8_t>(s.outcome));
  }
  for (const Race& race : run.analysis.races) row.races.push_back({race.winner, race.loser});
  row.lengthUs = run.story.closing ? run.story.closing->count : -1;
  row.worstUs = usOf(run.analysis.worstDeviationMs);
  row.variant = run.record.variant;
  auto same = std::find_if(rosters_.begin(), rosters_.end(), [&](const Roster& each) {
    return std::equal(each.begin(), each.end(), run.record.roster.begin(), run.record.roster.end(),
                      [](const RosterEntry& a, const RosterEntry& b) {
                        return a.id == b.id && a.delayMs == b.delayMs && a.cuttingMs == b.cuttingMs;
                      });
  });
  row.roster = static_cast<std::size_t>(same - rosters_.begin());
  if (same == rosters_.end()) rosters_.push_back(run.record.roster);
  if (lanes_.size() < kComparedRuns) lanes_.push_back(comparedLanes(run));
  rows_.push_back(std::move(row));
}

std::string SessionPage::html() const { return Writer(rows_, rosters_, lanes_).page(); }

bool writeSessionPage(const std::string& dir, const SessionPage& page, std::string* path,
                      std::string* error) {
  *path = dir + "/index.html";
  return writeWhole(*path, page.html(), error);
}
