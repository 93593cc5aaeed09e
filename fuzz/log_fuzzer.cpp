// libFuzzer target for the event-log reader: each input is a whole log for readLog, as
// `render` reads a saved one. A log it reads is judged as render judges it, and the judged run
// written again with logText must read back as the same run. Whatever the input, the reader
// must answer with a run or a message naming a line: an exception that escapes, a crash or a
// hang is a finding.

#include <cstdint>
#include <string>
#include <utility>

#include "fuzz/records.h"
#include "trace/judging/finish.h"
#include "trace/reading/event_log.h"

namespace {

constexpr char kName[] = "fuzz.jsonl";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  RunRecord record;
  std::string error, warning;
  if (!readLog(text, kName, &record, &error, &warning)) {
    requireNamesLine(error, kName, text);
    return 0;
  }
  require(warning.empty() == record.incomplete.empty(),
          "a warning unless the log is incomplete: " + warning);
  const FinishedRun run = finish(std::move(record));
  requireJudgedSound(run);
  requireLogRoundTrip(run.record);
  return 0;
}
