#ifndef BARBERSHOP_TRACE_READING_ROSTER_H_
#define BARBERSHOP_TRACE_READING_ROSTER_H_
// Rosters for barbershop-trace: the customers a run is given, from a CSV file, a built-in
// scenario or a seeded draw. Plain values; nothing here touches the program.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One customer. A customer is its position in the roster, never its ID: IDs may repeat, be
// empty or hold any byte but a line break or NUL, as the program's menu accepts them.
struct RosterEntry {
  std::string id;
  int delayMs = 0;
  int cuttingMs = 0;
};
using Roster = std::vector<RosterEntry>;

// What a roster file may hold: the program keeps IDs of up to 34 bytes whole.
constexpr std::size_t kMaxRosterIdLength = 34;
constexpr int kMaxRosterMs = 3600000;
constexpr int kMaxSlow = 100;

// Parses roster CSV text: the header `id,delay_ms,cut_ms`, then 1 to 10 rows; quoted IDs,
// `#` comment lines and blank lines allowed. On a fault returns false with `error` set to
// "NAME:LINE: what is wrong" (NAME is how the file is named to the user).
bool parseRoster(const std::string& text, const std::string& name, Roster* roster,
                 std::string* error);
// Reads and parses the file at `path`; a file that cannot be read is reported as "PATH: why".
bool readRosterFile(const std::string& path, Roster* roster, std::string* error);

struct Scenario {
  std::string name;
  std::string lesson;  // one sentence: what the run shows
  Roster roster;
};
// The built-in teaching rosters, in the order `--scenario list` shows them.
const std::vector<Scenario>& scenarios();
// Null when there is no scenario of that name.
const Scenario* findScenario(const std::string& name);

// `count` customers named "0", "1", ... with delays in [0, 10000] ms and cutting times in
// [500, 2000] ms, drawn as the program draws its own random customers (minimal-standard engine,
// delay then cutting time, customer after customer), from `seed`: the same seed, the same roster.
Roster randomRoster(int count, std::uint32_t seed);

// How the views and the verdict name customer `who`: its ID when no other customer has it, else
// the ID with its place on the roster ("A #2"); "#3" for an empty ID.
std::string customerName(const Roster& roster, int who);

// Every delay and cutting time multiplied by `factor`.
Roster slowed(Roster roster, int factor);

#endif  // BARBERSHOP_TRACE_READING_ROSTER_H_
