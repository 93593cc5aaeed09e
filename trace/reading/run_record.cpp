// Names and words for the ways a run can end: one table.

#include "trace/reading/run_record.h"

namespace {

struct EndWords {
  const char* name;
  const char* words;
  const char* why;  // the words without the ending itself, for a view whose title says it
};

constexpr EndWords kEnds[] = {
    {"closed", "the run closed", "it closed"},
    {"stuck",
     "the run got stuck: every thread of the program waited and nothing moved, so the "
     "program was ended",
     "every thread of the program waited and nothing moved, so the program was ended"},
    {"program-died", "the program died or wrote to standard error during the run",
     "the program died or wrote to standard error during the run"},
    {"interrupted", "the run was interrupted", "the run was interrupted"},
};

}  // namespace

const char* runEndName(RunEnd end) { return kEnds[static_cast<int>(end)].name; }
const char* endWords(RunEnd end) { return kEnds[static_cast<int>(end)].words; }
const char* endWhy(RunEnd end) { return kEnds[static_cast<int>(end)].why; }
