// Names of the ways a run can end.

#include "trace/run_record.h"

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
