#ifndef BARBERSHOP_TRACE_READING_RUN_RECORD_H_
#define BARBERSHOP_TRACE_READING_RUN_RECORD_H_
// Everything barbershop-trace knows of one run: its roster as the program listed it, the events
// it printed, how it ended, and who ran it. Written by the relay or read back from an event log;
// read by the judging and every view and file.

#include <cstdint>
#include <string>
#include <vector>

#include "trace/reading/control.h"
#include "trace/reading/events.h"
#include "trace/reading/roster.h"

enum class RunEnd {
  kClosed,       // the closing line came
  kStuck,        // every thread of the program waited and nothing moved; the program was ended
  kDied,         // the program ended or wrote to standard error during the run
  kInterrupted,  // Ctrl-C (or another signal) during the run
};

struct RunRecord {
  int number = 1;             // 1 for the session's first run
  Roster roster;              // as the program listed it just before the run
  std::vector<Event> events;  // in the order the program printed them
  RunEnd end = RunEnd::kClosed;
  std::int64_t endUs = 0;          // when the run ended or was given up, since the Run choice
  std::int64_t startedUnixMs = 0;  // wall-clock time of the Run choice, for the files
  int slow = 1;                    // the --slow factor the roster was typed with
  std::string program;             // the barbershop that ran it
  std::string writtenBy;           // the barbershop-trace that recorded it
  std::string incomplete;          // for a log cut short: what is missing, in a sentence
  std::string variant;             // the broken variant of the shop that ran, if one did
  std::string variantChange;       // its change to the shop, as the lines of a patch
  ControlRecord control;           // a controlled run's threads, steps and choices
  // Drawn while it still runs (the live page): its lines so far, and no verdict on what has not
  // happened yet. Never in a log.
  bool going = false;
};

const char* runEndName(RunEnd end);
// How a run ended, in words ("the run was interrupted").
const char* endWords(RunEnd end);
// Why, for a view whose heading already says how it ended ("the run got stuck").
const char* endWhy(RunEnd end);

#endif  // BARBERSHOP_TRACE_READING_RUN_RECORD_H_
