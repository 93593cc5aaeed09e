#ifndef BARBERSHOP_TRACE_EXPLORE_SUMMARY_H_
#define BARBERSHOP_TRACE_EXPLORE_SUMMARY_H_
// An exploration told: how many schedules held and of which kind, which one failed and how, and
// its shortest failing schedule with the numbered story; the same as JSON for --export-json, and
// several such exports added up (`barbershop-trace merge`). Pure.

#include <optional>
#include <string>
#include <vector>

#include "trace/common/json_text.h"
#include "trace/explore/search.h"
#include "trace/explore/shortest.h"

// "1 plain, 312 within two switches (all of them), 687 random walk and PCT depth 1-3".
std::string tallyWords(const Tally& tally);

// The lines for standard output: the verdict of the search, and for a failure the schedule that
// found it, the shortest failing schedule and its numbered story.
std::string explorationText(const Exploration& exploration, const Shortest* shortest);

Json explorationJson(const Exploration& exploration, const Shortest* shortest,
                     const ExploreOptions& options, const std::string& rosterName);

// Adds up exports of one search split by --seeds: their tallies summed, the lowest-numbered
// failure kept. Nullopt, with `error` naming the file, when one is no such export.
std::optional<Exploration> mergeExplorations(const std::vector<Json>& exports,
                                             const std::vector<std::string>& names,
                                             std::string* error);

#endif  // BARBERSHOP_TRACE_EXPLORE_SUMMARY_H_
