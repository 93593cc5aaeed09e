// The aggregate over --runs: outcomes per customer, races, verdicts, the spread of times, and the
// last failing run's verdict, gathered run by run.

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "trace/common/utf8.h"
#include "trace/common/words.h"
#include "trace/showing/text.h"
#include "trace/showing/verdict_lines.h"

namespace {

// A list that stays short: the first run numbers, then how many more.
std::string runList(const std::vector<int>& numbers) {
  constexpr std::size_t kShown = 12;
  std::string text;
  for (std::size_t i = 0; i < numbers.size() && i < kShown; ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(numbers[i]);
  }
  if (numbers.size() > kShown) text += " and " + std::to_string(numbers.size() - kShown) + " more";
  return text;
}

std::string ofRuns(std::size_t n, std::size_t runs) {
  return std::to_string(n) + " of " + counted(runs, "run", "runs");
}

// How far the cuts started and ended from the plan, and how long the runs took.
void addSpread(std::vector<Line>* body, const std::vector<double>& deviations,
               const std::vector<double>& lengths, std::size_t inner, const char* dot) {
  if (deviations.empty()) {
    body->push_back({Seg{"no planned cut was measured", kDim}});
  } else {
    addPhrases(body,
               {"how far from the plan each cut started and ended, and each run ended (" +
                    counted(deviations.size(), "moment", "moments") + "): half within " +
                    fixed(nearestRank(deviations, 50), 2) + " ms",
                "9 in 10 within " + fixed(nearestRank(deviations, 90), 2) + " ms",
                "99 in 100 within " + fixed(nearestRank(deviations, 99), 2) + " ms",
                "the furthest " + fixed(nearestRank(deviations, 100), 2) + " ms"},
               nullptr, inner, dot);
  }
  if (lengths.empty()) {
    body->push_back({Seg{"no run finished (none printed \"Finished all customers.\")", kRed}});
    return;
  }
  if (lengths.size() == 1) {
    body->push_back({Seg{"the one finished run took " + fixed(lengths[0], 1) + " ms", nullptr}});
    return;
  }
  addPhrases(body,
             {"run length over " + std::to_string(lengths.size()) + " finished runs" +
                  ": the shortest " + fixed(nearestRank(lengths, 0), 1) + " ms",
              "half took at most " + fixed(nearestRank(lengths, 50), 1) + " ms",
              "the longest " + fixed(nearestRank(lengths, 100), 1) + " ms"},
             nullptr, inner, dot);
}

// How each customer fared: a row each, or in the compact form a phrase each.
void addFared(std::vector<Line>* body, const std::vector<std::string>& names,
              const std::map<std::string, Aggregate::Counts>& outcomes, std::size_t inner,
              const ViewStyle& style, bool compact) {
  const Glyphs& g = glyphs(style);
  std::size_t nameWidth = 0;
  for (const std::string& name : names)
    nameWidth = std::max(nameWidth, columns(shown(name, style)));
  nameWidth = std::min<std::size_t>(nameWidth, 12);
  if (!compact) body->push_back({Seg{"how each customer fared", kDim}});
  std::vector<std::string> phrases;
  for (const std::string& name : names) {
    std::string text;
    const auto& counts = outcomes.at(name);
    for (std::size_t o = 0; o < counts.size(); ++o) {
      if (counts[o] == 0) continue;
      text += std::string(text.empty() ? "" : ", ") + wordsOf(static_cast<Outcome>(o)).brief + " " +
              std::to_string(counts[o]) + g.times;
    }
    if (compact) {
      phrases.push_back(shown(name, style) + " " + text);
    } else {
      addWrapped(body,
                 padRight(ellipsize(shown(name, style), nameWidth, style), nameWidth) + "  " + text,
                 nullptr, inner, nameWidth + 2);
    }
  }
  addPhrases(body, phrases, nullptr, inner, g.dot);
}

}  // namespace

double nearestRank(std::vector<double> values, int percent) {
  if (values.empty()) return 0;
  const std::size_t n = values.size();
  const std::size_t p = static_cast<std::size_t>(std::clamp(percent, 0, 100));
  // ceil(p * n / 100) in whole numbers, so 90 % of 10 is rank 9, not 10 by a rounding error.
  const std::size_t rank = std::max<std::size_t>(1, (p * n + 99) / 100);
  const auto at = values.begin() + static_cast<std::ptrdiff_t>(rank - 1);
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

void Aggregate::add(const FinishedRun& run) {
  ++runs_;
  const Analysis& a = run.analysis;
  for (const CustomerStory& s : a.customers) {
    const std::string name = customerName(run.record.roster, s.who);
    if (outcomes_.count(name) == 0) names_.push_back(name);
    ++outcomes_[name][static_cast<std::size_t>(s.outcome)];
  }
  raced_ += a.races.empty() ? 0 : 1;
  for (const Race& race : a.races) {
    ++races_[{customerName(run.record.roster, race.winner),
              customerName(run.record.roster, race.loser)}];
  }
  held_ += run.verdict.holds() ? 1 : 0;
  std::vector<std::string> rules;
  for (const Finding& finding : run.verdict.broken) rules.push_back(finding.rule);
  std::sort(rules.begin(), rules.end());
  rules.erase(std::unique(rules.begin(), rules.end()), rules.end());
  for (const std::string& rule : rules) ++broken_[rule];
  if (run.verdict.stuck) stuck_.push_back(run.record.number);
  if (!run.verdict.complete && !run.verdict.stuck) unfinished_.push_back(run.record.number);
  for (const Deviation& d : a.deviations)
    deviations_.push_back(std::fabs(d.measuredMs - d.exactMs));
  if (a.lengthMs) lengths_.push_back(*a.lengthMs);
  if (!run.verdict.holds()) lastFailure_ = Failure{run.record.number, run.record.end, run.verdict};
}

std::string Aggregate::render(const ViewStyle& style) const {
  // Rows for the aggregate on the last screen: the shell's prompt takes one after it.
  const std::size_t rows = style.height > 1 ? style.height - 1 : 0;
  const std::string whole = renderAs(style, false, 0);
  const auto count = static_cast<std::size_t>(std::count(whole.begin(), whole.end(), '\n'));
  return rows == 0 || count <= rows ? whole : renderAs(style, true, rows);
}

std::string Aggregate::renderAs(const ViewStyle& style, bool compact, std::size_t rows) const {
  const Glyphs& g = glyphs(style);
  const std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body;
  addFared(&body, names_, outcomes_, inner, style, compact);
  if (!compact) body.push_back({});
  std::string races =
      "customers arriving together were served out of list order in " + ofRuns(raced_, runs_);
  std::string sep = ": ";
  for (const auto& [pair, n] : races_) {
    races += sep + shown(pair.first, style) + " before " + shown(pair.second, style) + " " +
             std::to_string(n) + g.times;
    sep = ", ";
  }
  addWrapped(&body, races, races_.empty() ? nullptr : kYellow, inner);
  // A line each: every rule held, each rule broken with what it means, the runs that got stuck.
  addWrapped(&body, "every rule held in " + ofRuns(held_, runs_), held_ < runs_ ? kRed : kGreen,
             inner);
  for (const auto& [rule, n] : broken_) {
    const char* words = ruleWords(rule);
    addWrapped(&body,
               rule + " broke in " + ofRuns(n, runs_) +
                   (words ? std::string(" (the rule: ") + words + ")" : ""),
               kRed, inner);
  }
  if (!stuck_.empty())
    addWrapped(&body, "stuck in " + ofRuns(stuck_.size(), runs_) + ": " + runList(stuck_), kRed,
               inner);
  if (!unfinished_.empty())
    addWrapped(&body,
               "not finished in " + ofRuns(unfinished_.size(), runs_) + ": " + runList(unfinished_),
               kRed, inner);
  addSpread(&body, deviations_, lengths_, inner, g.dot);
  if (lastFailure_) {
    if (!compact) body.push_back({});
    const std::string number = std::to_string(lastFailure_->number);
    addWrapped(&body, "the last run that failed, run " + number + ":", kBold, inner);
    std::vector<Line> verdict;
    addVerdict(&verdict, lastFailure_->verdict, lastFailure_->end, {}, inner, style,
               VerdictForm{compact, false});
    // Cut to the rows left within the frame, never below two, its end said to be elsewhere.
    const std::size_t left = rows > body.size() + 4 ? rows - body.size() - 2 : 2;
    if (rows > 0 && verdict.size() > left) {
      verdict.resize(left - 1);
      verdict.push_back(
          {Seg{std::string(g.more) + " the rest is in run " + number + "'s summary above", kDim}});
    }
    body.insert(body.end(), verdict.begin(), verdict.end());
  }
  return framed("barbershop-trace" + std::string(g.dot) + counted(runs_, "run", "runs"), body,
                style);
}
