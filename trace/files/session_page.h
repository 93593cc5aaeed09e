#ifndef BARBERSHOP_TRACE_FILES_SESSION_PAGE_H_
#define BARBERSHOP_TRACE_FILES_SESSION_PAGE_H_
// A session's page (index.html): a row per run with its verdict, outcomes, races, length and
// worst deviation, linked to the run's own page; the aggregate of the runs drawn as small bars;
// and a compare view, drawn by the page's script, that puts any two runs' lanes on one time axis
// with the moments where they part marked. Gathered run by run: a run leaves a small row behind,
// and the lanes of the first kComparedRuns runs, never its events, so a session of a hundred
// thousand runs holds no more than its rows. One file, offline; readable without its script.
// Single-threaded.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "trace/judging/finish.h"

// How many runs the compare view holds; the page says so when a session has more.
constexpr std::size_t kComparedRuns = 200;

// What the page keeps of a run.
struct SessionRow {
  int number = 0;
  bool holds = false, complete = false, stuck = false;
  std::vector<std::string> rules;          // the rules it broke, each once
  std::vector<std::uint8_t> outcomes;      // an Outcome per customer, in roster order
  std::vector<std::pair<int, int>> races;  // winner, loser
  std::int64_t lengthUs = -1;              // -1: no closing line
  std::int64_t worstUs = 0;                // furthest from the exact schedule
  std::size_t roster = 0;                  // into SessionPage's rosters
  std::string variant;
};

class SessionPage {
 public:
  void add(const FinishedRun& run);
  std::size_t runs() const { return rows_.size(); }
  // The page, its rows in the order of the runs' numbers.
  std::string html() const;

 private:
  std::vector<SessionRow> rows_;
  std::vector<Roster> rosters_;     // each distinct roster once
  std::vector<std::string> lanes_;  // the compare view's data of the first runs, as JSON
};

// The compare view's data of one run: its customers' moments and the barber's spans, in
// microseconds, as one line of JSON.
std::string comparedLanes(const FinishedRun& run);

// Writes `page` into `dir` as index.html, whole or not at all; false with `error` set.
bool writeSessionPage(const std::string& dir, const SessionPage& page, std::string* path,
                      std::string* error);

#endif  // BARBERSHOP_TRACE_FILES_SESSION_PAGE_H_
