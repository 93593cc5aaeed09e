#ifndef BARBERSHOP_TRACE_JUDGING_ANALYSIS_H_
#define BARBERSHOP_TRACE_JUDGING_ANALYSIS_H_
// What a run measured, customer by customer (a customer is a roster position), against the exact
// schedule of the order the run's races chose: customers who arrived at one moment are served in
// the order the machine picked, and the schedule is replayed in that order, so a race won by the
// other customer is a race, not a timing error. The numbers behind the summary, the timeline and
// the files. Derived from an attributed RunRecord; pure.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "trace/common/words.h"
#include "trace/judging/schedule.h"
#include "trace/judging/story.h"
#include "trace/reading/run_record.h"

struct CustomerStory {
  int who = 0;  // the roster position
  std::string id;
  int delayMs = 0;
  int cuttingMs = 0;
  Outcome outcome = Outcome::kNeverCame;
  std::optional<double> arrivalMs;    // its first line
  std::optional<double> satMs;        // "got a chair successfully"
  std::optional<double> cutStartMs;   // the barber's start line for it
  std::optional<double> cutFinishMs;  // the barber's finish line for it
  std::optional<double> leftMs;       // its last line, once it has left
  // The lines behind those moments (indexes into the run's events), for the files to quote.
  std::optional<std::size_t> arrivalLine, satLine, cutStartLine, cutFinishLine, leftLine;
  PlannedVisit planned;               // in the schedule of the order the races chose
  std::optional<double> startLateMs;  // measured minus exact cut start, when both cut it
  std::optional<double> finishLateMs;
};

// A stretch of the barber's time: cutting customer `who`, or asleep when `who` is -1.
struct BarberSpan {
  double fromMs = 0;
  double toMs = 0;
  int who = -1;
  std::optional<std::size_t> line;  // its start or bed line; none for the sleep the run began in
};

struct QueuePoint {
  double ms = 0;
  std::size_t length = 0;
};

// One moment of the exact schedule (a cut's start or finish, or the closing line) as measured.
struct Deviation {
  std::string kind;  // "start", "finish" or "closing"
  int who = -1;      // -1 for the closing line
  double exactMs = 0;
  double measuredMs = 0;
};

// Customers planned to arrive at one moment (the same millisecond, the program's grain) and
// served in another order than the roster's: `winner` went before `loser`, whom roster order puts
// first.
struct Race {
  int winner = 0;
  int loser = 0;
  double apartMs = 0;  // between their planned arrivals
};

struct Analysis {
  std::vector<CustomerStory> customers;  // in roster order
  std::vector<BarberSpan> barber;        // in time order, from 0 to endMs
  std::vector<QueuePoint> queue;         // each change of the queue's length
  std::vector<Deviation> deviations;     // the moments both the schedule and the run have
  std::vector<Race> races;
  std::size_t cut = 0;
  std::size_t sentAway = 0;
  double busyShare = 0;  // of the run up to endMs, the barber spent cutting: 0 to 1
  std::size_t longestQueue = 0;
  std::optional<double> lengthMs;  // Run choice to the closing line, when it came
  double exactLengthMs = 0;
  double worstDeviationMs = 0;
  double endMs = 0;  // the last moment the run is drawn to
};

// `run`'s events must be attributed (trace/judging/attribution.h); `story` is told from them.
// The per-customer facts, the barber, the queue and the totals are the story's, in ms.
Analysis analyse(const RunRecord& run, const Story& story);

#endif  // BARBERSHOP_TRACE_JUDGING_ANALYSIS_H_
