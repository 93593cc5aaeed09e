// libFuzzer target for roster files: each input is a whole file for parseRoster. A roster it
// accepts must be one the program can be given: 1 to 10 customers, IDs of at most 34 bytes
// with no line break or NUL, times from 0 to kMaxRosterMs; and written back as CSV with every ID
// quoted, as scripts write rosters, it must read back the same. A rejected file must leave the
// roster alone and name a line of the file in a one-line message.

#include <cstdint>
#include <string>

#include "console/roster.h"
#include "fuzz/records.h"
#include "trace/reading/roster.h"

namespace {

constexpr char kName[] = "fuzz.csv";

bool timeInRange(int ms) { return ms >= 0 && ms <= kMaxRosterMs; }

std::string quotedCsv(const Roster& roster) {
  std::string text = "id,delay_ms,cut_ms\n";
  for (const RosterEntry& entry : roster) {
    std::string id;
    for (char c : entry.id) id += c == '"' ? std::string("\"\"") : std::string(1, c);
    text += "\"" + id + "\"," + std::to_string(entry.delayMs) + "," +
            std::to_string(entry.cuttingMs) + "\n";
  }
  return text;
}

void checkAccepted(const Roster& roster) {
  require(!roster.empty() && roster.size() <= MAX_CUSTOMERS, "not 1 to 10 customers");
  for (const RosterEntry& entry : roster) {
    require(entry.id.size() <= kMaxRosterIdLength, "an ID longer than 34 bytes");
    require(entry.id.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
            "an ID with a line break or NUL");
    require(timeInRange(entry.delayMs) && timeInRange(entry.cuttingMs), "a time out of range");
  }
  Roster again;
  std::string error;
  require(parseRoster(quotedCsv(roster), kName, &again, &error),
          "the roster written back is rejected: " + error);
  requireSameRoster(again, roster, "the roster written back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Roster untouched = {{"untouched", 1, 2}};
  Roster roster = untouched;
  std::string error;
  if (parseRoster(text, kName, &roster, &error)) {
    checkAccepted(roster);
  } else {
    requireSameRoster(roster, untouched, "the roster after a rejected file");
    requireNamesLine(error, kName, text);
  }
  return 0;
}
