#ifndef BARBERSHOP_TRACE_JUDGING_ANALYSIS_H_
#define BARBERSHOP_TRACE_JUDGING_ANALYSIS_H_
// What a run measured, customer by customer, against its exact schedule: the numbers behind the
// summary, the timeline and the report files. Derived from a RunRecord; pure.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "trace/reading/run_record.h"
#include "trace/judging/schedule.h"

enum class Outcome { kWoke, kWaited, kAwayQueueFull, kAwayNoChair, kStillThere };

struct CustomerStory {
  std::string id;
  int delayMs = 0;
  int cuttingMs = 0;
  Outcome outcome = Outcome::kStillThere;
  std::optional<double> arrivalMs;    // its first line
  std::optional<double> satMs;        // "got a chair successfully"
  std::optional<double> cutStartMs;   // the barber's start line for it
  std::optional<double> cutFinishMs;  // the barber's finish line for it
  std::optional<double> leftMs;       // its last line, once it has left
  PlannedVisit planned;
  std::optional<double> startLateMs;  // measured minus exact cut start, when both cut it
  std::optional<double> finishLateMs;
};

// A stretch of the barber's time: cutting `customer`, or asleep when `customer` is empty.
struct BarberSpan {
  double fromMs = 0;
  double toMs = 0;
  std::string customer;
};

struct QueuePoint {
  double ms = 0;
  std::size_t length = 0;
};

// One moment of the exact schedule (a cut's start or finish, or the closing line) as measured.
struct Deviation {
  std::string kind;  // "start", "finish" or "closing"
  std::string id;    // empty for the closing line
  double exactMs = 0;
  double measuredMs = 0;
};

struct Analysis {
  std::vector<CustomerStory> customers;  // in roster order
  std::vector<BarberSpan> barber;        // in time order, from 0 to endMs
  std::vector<QueuePoint> queue;         // each change of the queue's length
  std::vector<Deviation> deviations;     // the moments both the schedule and the run have
  std::size_t cut = 0;
  std::size_t sentAway = 0;
  double busyShare = 0;  // of the run's length, the barber spent cutting
  std::size_t longestQueue = 0;
  std::optional<double> lengthMs;  // Run choice to the closing line, when it came
  double exactLengthMs = 0;
  double worstDeviationMs = 0;
  double endMs = 0;  // the last moment the run is drawn to
};

Analysis analyse(const RunRecord& run, const Schedule& schedule);

const char* outcomeText(Outcome outcome);  // "woke the barber", "went away: queue full", ...

#endif  // BARBERSHOP_TRACE_JUDGING_ANALYSIS_H_
