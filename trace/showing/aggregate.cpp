// The aggregate over --runs: outcomes per customer, races, verdicts and the spread of times.

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "trace/showing/text.h"
#include "trace/showing/view.h"

namespace {

// Nearest rank: a value that was measured, never one between two.
double percentile(const std::vector<double>& sorted, double q) {
  double rank = std::ceil(q * static_cast<double>(sorted.size()));
  std::size_t at = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
  return sorted[std::min(at, sorted.size() - 1)];
}

}  // namespace

std::string renderAggregate(const std::vector<RunDigest>& runs, const ViewStyle& style) {
  const Glyphs& g = glyphs(style);
  std::size_t inner = frameWidth(style) - 4;
  std::vector<Line> body;
  auto count = [&](const std::string& what, std::size_t n) {
    return what + " " + std::to_string(n) + g.times;
  };

  // How each customer fared, by ID, in the order the customers first appear.
  constexpr std::size_t kOutcomes = static_cast<std::size_t>(Outcome::kStillThere) + 1;
  const char* const kShort[kOutcomes] = {"woke the barber", "waited", "queue full", "no chair",
                                         "still in the shop"};
  std::vector<std::string> order;
  std::map<std::string, std::array<std::size_t, kOutcomes>> outcomes;
  for (const RunDigest& run : runs) {
    for (const CustomerStory& s : run.analysis.customers) {
      if (!outcomes.count(s.id)) order.push_back(s.id);
      ++outcomes[s.id][static_cast<std::size_t>(s.outcome)];
    }
  }
  std::size_t idWidth = 0;
  for (const std::string& id : order) idWidth = std::max(idWidth, columns(clean(id, style)));
  idWidth = std::min<std::size_t>(idWidth, 12);
  body.push_back({Seg{"outcomes per customer", kDim}});
  for (const std::string& id : order) {
    std::string text;
    for (std::size_t o = 0; o < kOutcomes; ++o) {
      if (outcomes[id][o] == 0) continue;
      text += (text.empty() ? "" : ", ") + count(kShort[o], outcomes[id][o]);
    }
    addWrapped(&body, padRight(ellipsize(clean(id, style), idWidth, style), idWidth) + "  " + text,
               nullptr, inner, idWidth + 2);
  }
  body.push_back({});

  // Who won the races the exact schedule could not decide, the verdicts, and the spread of the
  // deviations and run lengths.
  std::size_t raced = 0;
  std::map<std::string, std::size_t> pairs;
  std::size_t held = 0, incomplete = 0;
  std::vector<double> deviations, lengths;
  for (const RunDigest& run : runs) {
    raced += run.verdict.races.empty() ? 0 : 1;
    for (const Race& race : run.verdict.races) {
      ++pairs[clean(race.decided, style) + "/" + clean(race.other, style)];
    }
    held += run.verdict.holds() ? 1 : 0;
    incomplete += run.verdict.complete ? 0 : 1;
    for (const Deviation& d : run.analysis.deviations) {
      deviations.push_back(std::fabs(d.measuredMs - d.exactMs));
    }
    if (run.analysis.lengthMs) lengths.push_back(*run.analysis.lengthMs);
  }
  std::vector<std::pair<std::string, std::size_t>> ranked(pairs.begin(), pairs.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& x, const auto& y) { return x.second > y.second; });
  std::string races = "a race decided an outcome in " + std::to_string(raced) + " of " +
                      std::to_string(runs.size()) + " runs";
  for (std::size_t i = 0; i < ranked.size(); ++i) {
    races += (i == 0 ? ": " : ", ") + count(ranked[i].first, ranked[i].second);
  }
  addWrapped(&body, races, ranked.empty() ? nullptr : kYellow, inner);

  std::size_t broke = runs.size() - held;
  std::string verdicts =
      "every rule held in " + std::to_string(held) + " of " + std::to_string(runs.size()) + " runs";
  if (broke > 0) verdicts += "; broke in " + std::to_string(broke);
  if (incomplete > 0) verdicts += " (" + std::to_string(incomplete) + " of them incomplete)";
  addWrapped(&body, verdicts, broke > 0 ? kRed : kGreen, inner);

  std::sort(deviations.begin(), deviations.end());
  if (deviations.empty()) {
    body.push_back({Seg{"no moment of the exact schedule was measured", kDim}});
  } else {
    addPhrases(&body,
               {"deviation from exact over " + std::to_string(deviations.size()) +
                    " moments: median " + fixed(percentile(deviations, 0.5), 2) + " ms",
                "p90 " + fixed(percentile(deviations, 0.9), 2) + " ms",
                "p99 " + fixed(percentile(deviations, 0.99), 2) + " ms",
                "max " + fixed(deviations.back(), 2) + " ms"},
               nullptr, inner, g.dot);
  }
  std::sort(lengths.begin(), lengths.end());
  if (lengths.empty()) {
    body.push_back({Seg{"no run reached its closing line", kRed}});
  } else {
    addPhrases(
        &body,
        {"run length over " + std::to_string(lengths.size()) + " closed runs: median " +
             fixed(percentile(lengths, 0.5), 1) + " ms",
         "min " + fixed(lengths.front(), 1) + " ms", "max " + fixed(lengths.back(), 1) + " ms"},
        nullptr, inner, g.dot);
  }
  std::string title = "barbershop-trace" + std::string(g.dot) + std::to_string(runs.size()) +
                      (runs.size() == 1 ? " run" : " runs");
  return framed(title, body, style);
}
