// The exploration's words and its JSON.

#include "trace/explore/summary.h"

#include <algorithm>

#include "trace/judging/numbered_story.h"

namespace {

std::string count(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "broke queue-capacity", "got stuck".
std::string failureWords(const std::string& failure) {
  if (failure == "stuck") return "got stuck";
  if (failure == "unfinished") return "did not finish";
  return "broke " + failure;
}

std::string foundWords(const Found& found) {
  std::string how = strategyWords(found.strategy);
  if (found.strategy != Strategy::kPlain && found.strategy != Strategy::kBounded) {
    how += ", seed " + std::to_string(found.seed);
  }
  return "schedule " + std::to_string(found.index) + " (" + how + ") " +
         failureWords(found.failure);
}

std::string shortestText(const Shortest& shortest) {
  if (!shortest.reproduced) {
    return "run again, the failing schedule did not fail the same way: no shorter one sought\n";
  }
  std::string text = "shortest failing schedule: " +
                     count(static_cast<std::int64_t>(shortest.overrides.size()),
                           "switch from the plain order", "switches from the plain order") +
                     " (" + shortest.plan + "; " + count(shortest.trials, "run", "runs") +
                     " to find)\n";
  if (!shortest.outcome.run) return text;
  const std::vector<StoryStep>& story = shortest.outcome.run->numbered;
  for (std::size_t i = 0; i < story.size(); ++i) {
    text += "  " + stepNumber(static_cast<int>(i) + 1) + " " + story[i].text + "\n";
  }
  return text;
}

Json tallyJson(const Tally& t) {
  return Json{{"plain", t.plain},
              {"bounded", t.bounded},
              {"walks", t.walks},
              {"total", t.total()},
              {"boundedSpace", t.boundedSpace},
              {"boundedEstimate", t.boundedEstimate},
              {"boundedAll", t.boundedAll}};
}

Tally tallyOf(const Json& json) {
  Tally t;
  t.plain = json.at("plain").get<std::int64_t>();
  t.bounded = json.at("bounded").get<std::int64_t>();
  t.walks = json.at("walks").get<std::int64_t>();
  t.boundedSpace = json.at("boundedSpace").get<std::int64_t>();
  t.boundedEstimate = json.at("boundedEstimate").get<std::int64_t>();
  return t;
}

Strategy strategyNamed(const std::string& name) {
  constexpr Strategy kAll[] = {Strategy::kPlain, Strategy::kBounded, Strategy::kRandom,
                               Strategy::kPct1,  Strategy::kPct2,    Strategy::kPct3};
  for (Strategy each : kAll) {
    if (name == strategyName(each)) return each;
  }
  return Strategy::kRandom;
}

}  // namespace

std::string tallyWords(const Tally& t) {
  std::vector<std::string> parts;
  if (t.plain > 0) parts.push_back(std::to_string(t.plain) + " plain");
  if (t.bounded > 0 || t.boundedAll) {
    parts.push_back(std::to_string(t.bounded) + " within two switches" +
                    (t.boundedAll          ? " (all of them)"
                     : t.boundedSpace >= 0 ? " (of " + std::to_string(t.boundedSpace) + ")"
                                           : std::string()));
  }
  if (t.walks > 0) parts.push_back(std::to_string(t.walks) + " random walk and PCT depth 1-3");
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : ", ") + parts[i];
  return text.empty() ? "none" : text;
}

std::string explorationText(const Exploration& exploration, const Shortest* shortest) {
  const Tally& t = exploration.tally;
  if (!exploration.found) {
    std::string text =
        count(t.total(), "schedule", "schedules") + " held every rule: " + tallyWords(t) + "\n";
    if (t.boundedAll) {
      text += "that covers every schedule within two switches of the plain order\n";
    }
    return text;
  }
  std::string text = foundWords(*exploration.found) + "; " +
                     count(t.total(), "schedule", "schedules") + " held before it" +
                     (t.total() > 0 ? ": " + tallyWords(t) : std::string()) + "\n";
  if (shortest != nullptr) text += shortestText(*shortest);
  return text;
}

Json explorationJson(const Exploration& exploration, const Shortest* shortest,
                     const ExploreOptions& options, const std::string& rosterName) {
  Json json{{"seed", options.seed},       {"budget", options.budget},
            {"from", options.from},       {"to", options.to < 0 ? options.budget : options.to},
            {"steps", exploration.steps}, {"tally", tallyJson(exploration.tally)}};
  putText(json, "roster", rosterName);
  json["failure"] = nullptr;
  if (exploration.found) {
    const Found& found = *exploration.found;
    Json failure{{"index", found.index},  {"strategy", strategyName(found.strategy)},
                 {"seed", found.seed},    {"plan", found.plan},
                 {"rule", found.failure}, {"shortest", nullptr}};
    if (shortest != nullptr && shortest->reproduced) {
      Json story = Json::array();
      if (shortest->outcome.run) {
        for (const StoryStep& step : shortest->outcome.run->numbered) {
          Json one{{"at", step.at.count}, {"event", step.event}};
          putText(one, "text", step.text);
          story.push_back(one);
        }
      }
      failure["shortest"] = Json{{"plan", shortest->plan},
                                 {"switches", shortest->overrides.size()},
                                 {"trials", shortest->trials},
                                 {"story", story}};
    }
    json["failure"] = failure;
  }
  return Json{{"explore", json}};
}

std::optional<Exploration> mergeExplorations(const std::vector<Json>& exports,
                                             const std::vector<std::string>& names,
                                             std::string* error) {
  Exploration total;
  for (std::size_t i = 0; i < exports.size(); ++i) {
    try {
      const Json& part = exports[i].at("explore");
      const Tally t = tallyOf(part.at("tally"));
      total.tally.plain += t.plain;
      total.tally.bounded += t.bounded;
      total.tally.walks += t.walks;
      total.tally.boundedSpace = std::max(total.tally.boundedSpace, t.boundedSpace);
      total.tally.boundedEstimate = std::max(total.tally.boundedEstimate, t.boundedEstimate);
      const Json& failure = part.at("failure");
      if (failure.is_null()) continue;
      const auto index = failure.at("index").get<std::int64_t>();
      if (total.found && total.found->index <= index) continue;
      total.found =
          Found{index, strategyNamed(failure.at("strategy").get<std::string>()),
                failure.at("seed").get<std::uint64_t>(), failure.at("plan").get<std::string>(),
                failure.at("rule").get<std::string>()};
    } catch (const Json::exception& bad) {
      *error = names[i] + ": not an exploration's export (" + bad.what() + ")";
      return std::nullopt;
    }
  }
  // Split searches each cover a part: together they cover every near schedule when the parts'
  // counts add up to all of them.
  total.tally.boundedAll =
      total.tally.boundedSpace >= 0 && total.tally.bounded == total.tally.boundedSpace;
  return total;
}
