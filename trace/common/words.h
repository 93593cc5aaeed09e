#ifndef BARBERSHOP_TRACE_COMMON_WORDS_H_
#define BARBERSHOP_TRACE_COMMON_WORDS_H_
// The companion's vocabulary, written once: how a visit ends, as the exact schedule plans it and
// as a run measured it, in a stable name for files, in words for people and briefly for a narrow
// column; and how times are written. Every view and file takes its words from here. Pure.

#include <string>

// What the exact schedule has a customer do.
enum class Planned { kWakes, kWaits, kSentAway };
// What a customer did in a run.
enum class Outcome { kWoke, kWaited, kAwayQueueFull, kAwayNoChair, kStillThere, kNeverCame };

struct Words {
  const char* name;   // stable, for files and scripts: "woke", "queue-full", "sent-away"
  const char* words;  // for people: "woke the barber", "went away: every chair taken"
  const char* brief;  // for a narrow column: "woke barber", "away: full"
};
const Words& wordsOf(Planned planned);
const Words& wordsOf(Outcome outcome);

// A planned outcome as the end of a sentence about the schedule: "has it wake the barber".
const char* plannedClause(Planned planned);
// Whether a measured outcome is the one planned.
bool fulfils(Outcome outcome, Planned planned);
// Went away uncut, for either reason.
bool wentAway(Outcome outcome);

// Which kind of run it was, as the summary and the page say it: "real-time run", or
// "controlled run, virtual time" for a run the scheduler made one thread at a time.
const char* runKindWords(bool controlled);

// `value` with `decimals` decimals, never "-0.0".
std::string fixed(double value, int decimals);
// Milliseconds as the companion writes them: "203.1 ms"; signed: "+0.4 ms".
std::string ms(double value);
std::string signedMs(double value);

#endif  // BARBERSHOP_TRACE_COMMON_WORDS_H_
