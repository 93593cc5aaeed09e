// Names and words for the ways a run can end: one table.

#include "trace/reading/run_record.h"

namespace {

struct EndWords {
  const char* name;
  const char* words;
};

constexpr EndWords kEnds[] = {
    {"closed", "the run closed"},
    {"stuck",
     "the run got stuck: every thread of the program waited and nothing moved, so the "
     "program was ended"},
    {"program-died", "the program died or wrote to standard error during the run"},
    {"interrupted", "the run was interrupted"},
};

}  // namespace

const char* runEndName(RunEnd end) { return kEnds[static_cast<int>(end)].name; }
const char* endWords(RunEnd end) { return kEnds[static_cast<int>(end)].words; }
