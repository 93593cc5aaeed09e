// Names and words for the ways a run can end.

#include "trace/reading/run_record.h"

const char* runEndName(RunEnd end) {
  switch (end) {
    case RunEnd::kClosed:
      return "closed";
    case RunEnd::kStuck:
      return "stuck";
    case RunEnd::kDied:
      return "program-died";
    case RunEnd::kInterrupted:
      return "interrupted";
  }
  return "?";
}

const char* endWords(RunEnd end) {
  switch (end) {
    case RunEnd::kClosed:
      return "the run closed";
    case RunEnd::kStuck:
      return "the run was stuck well past its exact schedule and the program was ended";
    case RunEnd::kDied:
      return "the program died or wrote to standard error during the run";
    case RunEnd::kInterrupted:
      return "the run was interrupted";
  }
  return "the run ended in an unknown way";
}
