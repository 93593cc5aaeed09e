#ifndef BARBERSHOP_TRACE_JUDGING_VERDICT_H_
#define BARBERSHOP_TRACE_JUDGING_VERDICT_H_
// The verdict on a run: the shop's rules it broke, each with the lines that show it, the notes
// that are no broken rule (timing, customers the text cannot tell apart), and whether the run
// finished. Plain values.

#include <cstddef>
#include <string>
#include <vector>

// A broken rule, with the events (indexes into RunRecord::events) that show it.
struct Finding {
  std::string rule;  // a short stable name: "one-way-out", "one-in-chair", "queue-capacity", ...
  std::string what;  // one sentence naming the customers involved (raw program text: escape it)
  std::vector<std::size_t> events;
  std::vector<int> who;  // the roster positions it is about
};

struct Verdict {
  std::vector<Finding> broken;
  std::vector<std::string> notes;  // sentences that break no rule
  bool complete = true;            // the run ended with its closing line
  bool stuck = false;              // it got stuck: every thread waited and nothing moved
  std::string stuckStory;          // for a run that never ended: who waited for what
  std::vector<int> unfinished;     // the roster positions still in the shop when it ended
  bool holds() const { return broken.empty() && complete; }
};

#endif  // BARBERSHOP_TRACE_JUDGING_VERDICT_H_
