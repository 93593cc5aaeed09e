// The aggregate over --runs: outcomes per customer, races, verdicts and the spread of times,
// gathered as counts run by run.

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "trace/common/utf8.h"
#include "trace/common/words.h"
#include "trace/showing/text.h"

namespace {

constexpr std::int64_t kExactBelowUs = 1024;
constexpr int kSubBuckets = 64;

std::int64_t bucketOf(std::int64_t us) {
  if (us < kExactBelowUs) return us;
  int power = 63;
  while ((us >> power) == 0) --power;
  return (static_cast<std::int64_t>(power) << 8) | ((us >> (power - 6)) & (kSubBuckets - 1));
}

double lowestOf(std::int64_t bucket) {
  if (bucket < kExactBelowUs) return static_cast<double>(bucket) / 1000.0;
  const int power = static_cast<int>(bucket >> 8);
  const std::int64_t sub = bucket & 0xFF;
  return static_cast<double>((std::int64_t{1} << power) + (sub << (power - 6))) / 1000.0;
}

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
  return std::to_string(n) + " of " + std::to_string(runs) + (runs == 1 ? " run" : " runs");
}

// How far the run's cuts started and ended from the exact schedule, and how long runs took.
void addSpread(std::vector<Line>* body, const Histogram& deviations, const Histogram& lengths,
               std::size_t inner, const char* dot) {
  if (deviations.count() == 0) {
    body->push_back({Seg{"no cut of the exact schedule was measured", kDim}});
  } else {
    addPhrases(body,
               {"how far each cut's start and end, and each run's end, came from the exact "
                "schedule, over " +
                    std::to_string(deviations.count()) + " of them: half within " +
                    fixed(deviations.at(0.5), 2) + " ms",
                "9 in 10 within " + fixed(deviations.at(0.9), 2) + " ms",
                "99 in 100 within " + fixed(deviations.at(0.99), 2) + " ms",
                "the furthest " + fixed(deviations.most(), 2) + " ms"},
               nullptr, inner, dot);
  }
  if (lengths.count() == 0) {
    body->push_back({Seg{"no run finished (none printed \"Finished all customers.\")", kRed}});
    return;
  }
  addPhrases(body,
             {"run length over " + std::to_string(lengths.count()) +
                  " finished runs: half took at most " + fixed(lengths.at(0.5), 1) + " ms",
              "the longest " + fixed(lengths.most(), 1) + " ms"},
             nullptr, inner, dot);
}

}  // namespace

void Histogram::add(double ms) {
  const auto us = static_cast<std::int64_t>(std::llround(std::fabs(ms) * 1000.0));
  ++buckets_[bucketOf(us)];
  ++count_;
  mostMs_ = std::max(mostMs_, std::fabs(ms));
}

double Histogram::at(double q) const {
  const double rank = std::ceil(q * static_cast<double>(count_));
  std::size_t want = rank < 1 ? 1 : static_cast<std::size_t>(rank), seen = 0;
  for (const auto& [bucket, n] : buckets_) {
    seen += n;
    if (seen >= want) return lowestOf(bucket);
  }
  return mostMs_;
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
  for (const Deviation& d : a.deviations) deviations_.add(d.measuredMs - d.exactMs);
  if (a.lengthMs) lengths_.add(*a.lengthMs);
}

std::string Aggregate::render(const ViewStyle& style) const {
  const Glyphs& g = glyphs(style);
  const std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body;
  std::size_t nameWidth = 0;
  for (const std::string& name : names_)
    nameWidth = std::max(nameWidth, columns(shown(name, style)));
  nameWidth = std::min<std::size_t>(nameWidth, 12);
  body.push_back({Seg{"how each customer fared", kDim}});
  for (const std::string& name : names_) {
    std::string text;
    const auto& counts = outcomes_.at(name);
    for (std::size_t o = 0; o < kOutcomes; ++o) {
      if (counts[o] == 0) continue;
      text += std::string(text.empty() ? "" : ", ") + wordsOf(static_cast<Outcome>(o)).brief + " " +
              std::to_string(counts[o]) + g.times;
    }
    addWrapped(&body,
               padRight(ellipsize(shown(name, style), nameWidth, style), nameWidth) + "  " + text,
               nullptr, inner, nameWidth + 2);
  }
  body.push_back({});
  std::string races =
      "customers who arrived together were served out of roster order in " + ofRuns(raced_, runs_);
  std::string sep = ": ";
  for (const auto& [pair, n] : races_) {
    races += sep + shown(pair.first, style) + " before " + shown(pair.second, style) + " " +
             std::to_string(n) + g.times;
    sep = ", ";
  }
  addWrapped(&body, races, races_.empty() ? nullptr : kYellow, inner);
  const std::size_t broke = runs_ - held_;
  std::string verdicts = "every rule held in " + ofRuns(held_, runs_);
  for (const auto& [rule, n] : broken_) verdicts += "; " + rule + " broke in " + ofRuns(n, runs_);
  if (!stuck_.empty())
    verdicts += "; stuck in " + ofRuns(stuck_.size(), runs_) + ": " + runList(stuck_);
  if (!unfinished_.empty()) verdicts += "; unfinished: " + runList(unfinished_);
  addWrapped(&body, verdicts, broke > 0 ? kRed : kGreen, inner);
  addSpread(&body, deviations_, lengths_, inner, g.dot);
  const std::string title = "barbershop-trace" + std::string(g.dot) + std::to_string(runs_) +
                            (runs_ == 1 ? " run" : " runs");
  return framed(title, body, style);
}
