#ifndef BARBERSHOP_FUZZ_RECORDS_H_
#define BARBERSHOP_FUZZ_RECORDS_H_
// What the companion's fuzz targets check of the values they read: rosters, events, run records
// and judged runs compared field by field, and the invariants the views rely on. A broken one
// prints what differs and aborts, which libFuzzer reports as a crash. Single-threaded.

#include <string>
#include <vector>

#include "trace/judging/finish.h"
#include "trace/reading/events.h"
#include "trace/reading/roster.h"
#include "trace/reading/run_record.h"

// Aborts with `what` unless `holds`. The plain text one builds no string on the way: most
// checks run for every event of every input.
void require(bool holds, const char* what);
void require(bool holds, const std::string& what);

// Aborts naming the first difference, with `what` saying which two are compared.
void requireSameRoster(const Roster& got, const Roster& want, const std::string& what);
// `withTimes` false leaves out `us`, for the same text fed in other chunks at other times.
void requireSameEvents(const std::vector<Event>& got, const std::vector<Event>& want,
                       bool withTimes, const std::string& what);
void requireSameRecord(const RunRecord& got, const RunRecord& want, const std::string& what);

// What the views and files index with must point inside the run: every attributed line names a
// roster customer of its ID, every finding's lines and customers exist, one story a customer.
void requireJudgedSound(const FinishedRun& run);

// A reader's message about `text`, the file `name`: "NAME:LINE: what", LINE one of the text's
// lines (1 for an empty text), on one line of UTF-8 without control characters.
void requireNamesLine(const std::string& message, const std::string& name, const std::string& text);

// `run` written with logText and read back with readLog must be `run` again.
void requireLogRoundTrip(const RunRecord& run);

#endif  // BARBERSHOP_FUZZ_RECORDS_H_
