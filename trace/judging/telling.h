#ifndef BARBERSHOP_TRACE_JUDGING_TELLING_H_
#define BARBERSHOP_TRACE_JUDGING_TELLING_H_
// The run's sentences, written once for every view: a race, the totals, how a visit ended. Each
// is plain text naming customers as customerName() does; a view escapes the whole sentence for
// its own format (HTML, a terminal). Pure.

#include <string>
#include <vector>

#include "trace/judging/finish.h"

// "Bob and Ann arrived together and Bob was served first, though listed later".
std::string raceSentence(const FinishedRun& run, const Race& race);

// "cut 2", "sent away 1", "barber busy 36 %", "longest queue 1", "run length 351.5 ms (exact
// schedule 450 ms)", "furthest from the exact schedule 98.5 ms": a view joins them its own way.
std::vector<std::string> totalsParts(const FinishedRun& run);

// How customer `who`'s visit ended: "waited 12 ms in the queue", "woke the barber", and with
// `brief`, the narrow column's words.
std::string outcomeWords(const FinishedRun& run, int who, bool brief);

#endif  // BARBERSHOP_TRACE_JUDGING_TELLING_H_
