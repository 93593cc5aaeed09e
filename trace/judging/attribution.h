#ifndef BARBERSHOP_TRACE_JUDGING_ATTRIBUTION_H_
#define BARBERSHOP_TRACE_JUDGING_ATTRIBUTION_H_
// Which customer each line is about. A line names an ID, and IDs may repeat: two customers of
// one ID print the same texts. Their lines are shared out the way the program's own order allows
// (each visit's lines in the order a visit prints them, a cut started for the customer who woke
// the barber or sat down, a customer released after its cut), preferring the sharing that breaks
// the fewest rules and fits the roster's delays and cutting times best. Where the text allows two
// sharings that tell the customers' stories differently, the two are named alike. Pure.

#include <utility>
#include <vector>

#include "trace/reading/events.h"
#include "trace/reading/roster.h"

struct Attribution {
  // Pairs of roster positions, namesakes, whose lines could have been each other's.
  std::vector<std::pair<int, int>> alike;
};

// Sets `who` on every line about a customer: its roster position, or -1 when no customer of
// the roster has its ID. `closed`: the run reached its closing line, so every visit ended.
Attribution attribute(const Roster& roster, bool closed, std::vector<Event>* events);

#endif  // BARBERSHOP_TRACE_JUDGING_ATTRIBUTION_H_
