// Rosters for barbershop-trace: roster files read with libcsv, the built-in scenarios and the
// seeded draw. Pure functions of their arguments; the scenario table is built once, on first
// use, which the language makes safe from any thread.

#include "trace/reading/roster.h"

#include <csv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <utility>

#include "console/roster.h"
#include "trace/common/utf8.h"

namespace {

constexpr char kBlanks[] = " \t";
constexpr char kHeaderText[] = "id,delay_ms,cut_ms";
// A roster is a dozen short lines; the cap keeps a wrong path such as /dev/zero from filling
// the memory.
constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kMaxShown = 40;

std::string trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// `text` quoted for a message that must stay on one short line, its control bytes shown.
std::string shown(const std::string& text) {
  std::string out = "\"" + visible(text.substr(0, kMaxShown));
  if (text.size() > kMaxShown) out += "...";
  return out + "\"";
}

void onField(void* data, std::size_t size, void* fields) {
  // libcsv may pass no buffer at all for an empty field.
  static_cast<std::vector<std::string>*>(fields)->emplace_back(
      data == nullptr ? "" : std::string(static_cast<const char*>(data), size));
}

// The caller has already split the text into lines, so no character ends a record: a carriage
// return left inside a line then stays in its field, where the checks below reject it, instead
// of silently starting a second record.
int neverEndsRecord(unsigned char) { return 0; }

class CsvLineParser {
 public:
  CsvLineParser() : ready_(csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI) == 0) {
    if (ready_) csv_set_term_func(&parser_, neverEndsRecord);
  }
  ~CsvLineParser() {
    if (ready_) csv_free(&parser_);
  }
  CsvLineParser(const CsvLineParser&) = delete;
  CsvLineParser& operator=(const CsvLineParser&) = delete;

  // Splits one line into its fields; on a fault returns false with `problem` set.
  bool split(const std::string& line, std::vector<std::string>* fields, std::string* problem) {
    if (!ready_) {
      *problem = "cannot start the CSV parser";
      return false;
    }
    std::size_t used = csv_parse(&parser_, line.data(), line.size(), onField, nullptr, fields);
    if (used < line.size()) {
      int code = csv_error(&parser_);
      if (code != CSV_EPARSE) {
        *problem = csv_strerror(code);
      } else {
        *problem = "misplaced quote at column " + std::to_string(used + 1) +
                   ": quote a whole field, and write a quote inside it as \"\"";
      }
      return false;
    }
    if (csv_fini(&parser_, onField, nullptr, fields) != 0) {
      *problem = "unterminated quote: close the quoted field with \" on the same line";
      return false;
    }
    return true;
  }

 private:
  csv_parser parser_;
  bool ready_;
};

// A whole number of milliseconds from 0 to kMaxRosterMs, blanks around it allowed.
bool parseMs(const std::string& field, int* value) {
  std::string digits = trimmed(field);
  if (digits.empty()) return false;
  int result = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
    if (result > kMaxRosterMs) return false;  // stops before an int could overflow
  }
  *value = result;
  return true;
}

std::string badMs(const char* column, const std::string& field) {
  return std::string(column) + " must be a whole number from 0 to " + std::to_string(kMaxRosterMs) +
         ", not " + shown(field);
}

// What is wrong with `id` on its own, or the empty text. The program reads an ID as one line
// into a 36-byte field: a line break would end it early, a NUL byte would cut it short, and a
// 35th byte would be dropped in place of the newline. Lengths are counted in bytes, as there.
std::string idProblem(const std::string& id) {
  if (id.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    return "the ID " + shown(id) + " holds a line break or NUL byte; an ID is one line of text";
  }
  if (id.size() > kMaxRosterIdLength) {
    return "the ID is " + std::to_string(id.size()) + " bytes long; at most " +
           std::to_string(kMaxRosterIdLength) + " fit";
  }
  return "";
}

bool isHeader(const std::vector<std::string>& fields) {
  return fields.size() == 3 && trimmed(fields[0]) == "id" && trimmed(fields[1]) == "delay_ms" &&
         trimmed(fields[2]) == "cut_ms";
}

}  // namespace

namespace {

// One line of a roster file, read on from the lines before it; the problem when it is wrong.
class RosterLines {
 public:
  std::string line(const std::string& text) {
    std::vector<std::string> fields;
    std::string problem;
    if (!csv_.split(text, &fields, &problem)) return problem;
    if (!sawHeader_) {
      if (!isHeader(fields))
        return std::string("expected the header ") + kHeaderText + ", not " + shown(text);
      sawHeader_ = true;
      return "";
    }
    if (parsed_.size() == MAX_CUSTOMERS) {
      return "more than " + std::to_string(MAX_CUSTOMERS) + " customers; the shop takes at most " +
             std::to_string(MAX_CUSTOMERS);
    }
    if (fields.size() != 3) {
      return std::string("expected 3 fields (") + kHeaderText + "), found " +
             std::to_string(fields.size());
    }
    RosterEntry entry;
    entry.id = fields[0];
    problem = idProblem(entry.id);
    if (!problem.empty()) return problem;
    if (!parseMs(fields[1], &entry.delayMs)) return badMs("delay_ms", fields[1]);
    if (!parseMs(fields[2], &entry.cuttingMs)) return badMs("cut_ms", fields[2]);
    parsed_.push_back(std::move(entry));
    return "";
  }

  // What is wrong with the file as a whole: no customers.
  std::string end() const {
    if (!parsed_.empty()) return "";
    if (!sawHeader_) {
      return std::string("no customers: start with the header ") + kHeaderText +
             " and add 1 to 10 rows after it";
    }
    return "no customers: add 1 to 10 rows after the header";
  }

  Roster& roster() { return parsed_; }

 private:
  CsvLineParser csv_;
  Roster parsed_;
  bool sawHeader_ = false;
};

}  // namespace

bool parseRoster(const std::string& text, const std::string& name, Roster* roster,
                 std::string* error) {
  auto fail = [&](int line, const std::string& what) {
    *error = name + ":" + std::to_string(line) + ": " + what;
    return false;
  };
  RosterLines lines;
  int lineNo = 0;
  // Spreadsheets often save CSV with a byte order mark in front; it is not part of the header.
  std::size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos || line[first] == '#') continue;
    const std::string problem = lines.line(line);
    if (!problem.empty()) return fail(lineNo, problem);
  }
  const std::string problem = lines.end();
  if (!problem.empty()) return fail(lineNo == 0 ? 1 : lineNo, problem);
  *roster = std::move(lines.roster());
  return true;
}

bool readRosterFile(const std::string& path, Roster* roster, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[4096];
  std::size_t got;
  while (text.size() <= kMaxFileBytes && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
  }
  int readError = std::ferror(file) ? errno : 0;
  (void)std::fclose(file);  // read-only: nothing is lost if closing fails
  if (readError != 0) {
    *error = path + ": cannot read: " + std::strerror(readError);
    return false;
  }
  if (text.size() > kMaxFileBytes) {
    *error = path + ": cannot read: larger than " + std::to_string(kMaxFileBytes) +
             " bytes, far more than a roster needs";
    return false;
  }
  return parseRoster(text, path, roster, error);
}

namespace {

// Customers called `names` who come `step` ms apart from `from` on, each cut for `cut` ms.
Roster spaced(std::initializer_list<const char*> names, int from, int step, int cut) {
  Roster roster;
  for (const char* name : names) {
    roster.push_back({name, from, cut});
    from += step;
  }
  return roster;
}

Roster joined(Roster first, const Roster& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

}  // namespace

const std::vector<Scenario>& scenarios() {
  static const std::vector<Scenario> kScenarios = [] {
    Roster zeroCuts;
    for (int i = 0; i < static_cast<int>(MAX_CUSTOMERS); ++i) {
      zeroCuts.push_back({"c" + std::to_string(i), 0, 0});
    }
    const Roster five = spaced({"Bob", "Cat", "Dan", "Eve", "Fay"}, 100, 100, 100);
    return std::vector<Scenario>{
        {"lone",
         "One customer: the barber wakes up, gives the cut and goes back to bed.",
         {{"Ann", 0, 500}}},
        {"wake-up-race",
         "Two customers arrive together at a sleeping barber and both try to wake him: one "
         "succeeds and the other takes a chair, and which one is up to the machine.",
         {{"Ann", 100, 1000}, {"Bob", 100, 500}}},
        {"full-house",
         "Ten customers within a second while the first one's cut lasts: one sits in the "
         "barber's chair, six fill the waiting chairs and the last three find no chair and "
         "go away uncut.",
         joined(joined({{"Ann", 0, 1500}}, five),
                spaced({"Gus", "Hal", "Ivy", "Jon"}, 600, 100, 100))},
        {"trickle",
         "A steady trickle: each customer comes after the one before has gone, so the barber "
         "goes back to bed between customers and each one has to wake him.",
         spaced({"Ann", "Bob", "Cat", "Dan", "Eve"}, 0, 500, 300)},
        {"zero-cuts",
         "Ten customers arrive at once and every cut takes no time, so who wakes the barber, "
         "who sits down and who, if anyone, goes away is decided by the machine alone.",
         zeroCuts},
        {"last-chair",
         "Five customers fill five of the six chairs while Ann is cut, then Gus and Hal come "
         "together for the last one: one sits, the other goes away. A shop whose customers count "
         "the chairs and sit down in two separate steps seats both.",
         joined(joined({{"Ann", 0, 1000}}, five), spaced({"Gus", "Hal"}, 600, 0, 100))},
        {"close-call",
         "Bob arrives just as the barber finishes Ann and finds nobody waiting: were Bob to sit "
         "down as the barber goes to bed, nobody would ever wake him. The shop must survive "
         "this lost-wake-up moment; run it many times with --runs.",
         {{"Ann", 0, 200}, {"Bob", 200, 100}}},
    };
  }();
  return kScenarios;
}

const Scenario* findScenario(const std::string& name) {
  for (const Scenario& scenario : scenarios()) {
    if (scenario.name == name) return &scenario;
  }
  return nullptr;
}

Roster randomRoster(int count, std::uint32_t seed) {
  // The program's own draw, step for step, so that a seed replays the same customers here.
  std::uint32_t state = seed % 2147483647u;
  std::minstd_rand0 engine(state == 0 ? 1 : state);
  std::uniform_int_distribution<int> delays(0, 10000);
  std::uniform_int_distribution<int> cuttingTimes(500, 2000);
  Roster roster;
  for (int i = 0; i < count; ++i) {
    RosterEntry entry;
    entry.id = std::to_string(i);
    entry.delayMs = delays(engine);
    entry.cuttingMs = cuttingTimes(engine);
    roster.push_back(std::move(entry));
  }
  return roster;
}

std::string customerName(const Roster& roster, int who) {
  if (who < 0 || static_cast<std::size_t>(who) >= roster.size()) return "nobody on the roster";
  const std::string& id = roster[static_cast<std::size_t>(who)].id;
  const auto alike = std::count_if(roster.begin(), roster.end(),
                                   [&](const RosterEntry& entry) { return entry.id == id; });
  if (alike == 1 && !id.empty()) return id;
  return id + (id.empty() ? "#" : " #") + std::to_string(who + 1);
}

Roster slowed(Roster roster, int factor) {
  // Roster times are at most kMaxRosterMs and factors at most kMaxSlow: the products fit.
  for (RosterEntry& entry : roster) {
    entry.delayMs *= factor;
    entry.cuttingMs *= factor;
  }
  return roster;
}
