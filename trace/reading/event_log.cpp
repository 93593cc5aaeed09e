// The event log: written line by line with nlohmann-json, read back with every line checked.

#include "trace/reading/event_log.h"

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

constexpr char kLogName[] = "barbershop-trace event log";
constexpr int kFormat = 1;
constexpr char kCutShort[] = "the log was cut short: drawn up to its last whole line";

// Text that is not UTF-8 (an ID typed as raw bytes) is kept with U+FFFD in its place.
std::string line(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string isoTime(std::int64_t unixMs) {
  const time_t seconds = static_cast<time_t>(unixMs / 1000);
  tm utc{};
  char text[40] = "";
  if (gmtime_r(&seconds, &utc) != nullptr) {
    char whole[32];
    strftime(whole, sizeof whole, "%Y-%m-%dT%H:%M:%S", &utc);
    snprintf(text, sizeof text, "%s.%03dZ", whole, static_cast<int>(unixMs % 1000));
  }
  return text;
}

Json stateJson(const ShopState& state) {
  return {{"chair", state.chair ? Json(*state.chair) : Json(nullptr)},
          {"queue", state.queue},
          {"finished", state.finished},
          {"gone", state.gone}};
}

// One line's fault: thrown inside the reader, caught once with its line number.
struct Fault {
  std::string what;
};

const Json& field(const Json& object, const char* name) {
  auto found = object.find(name);
  if (found == object.end()) throw Fault{"no \"" + std::string(name) + "\" field"};
  return *found;
}

std::string textField(const Json& object, const char* name) {
  const Json& value = field(object, name);
  if (!value.is_string()) throw Fault{"\"" + std::string(name) + "\" must be a string"};
  return value.get<std::string>();
}

std::int64_t whole(const Json& object, const char* name, std::int64_t low, std::int64_t high) {
  const Json& value = field(object, name);
  if (!value.is_number_integer() || value.get<std::int64_t>() < low ||
      value.get<std::int64_t>() > high) {
    throw Fault{"\"" + std::string(name) + "\" must be a whole number from " + std::to_string(low) +
                " to " + std::to_string(high)};
  }
  return value.get<std::int64_t>();
}

std::vector<std::string> texts(const Json& object, const char* name) {
  const Json& value = field(object, name);
  std::vector<std::string> out;
  if (value.is_array()) {
    for (const Json& entry : value) {
      if (!entry.is_string()) break;
      out.push_back(entry.get<std::string>());
    }
  }
  if (!value.is_array() || out.size() != value.size()) {
    throw Fault{"\"" + std::string(name) + "\" must be a list of strings"};
  }
  return out;
}

template <typename Enum, std::size_t N>
Enum named(const Json& object, const char* field_name, const Enum (&values)[N],
           const char* (*name)(Enum)) {
  const std::string given = textField(object, field_name);
  std::string known;
  for (Enum value : values) {
    if (given == name(value)) return value;
    known += (known.empty() ? "" : ", ") + std::string(name(value));
  }
  throw Fault{"\"" + std::string(field_name) + "\" is \"" + given + "\", not one of " + known};
}

const Kind kKinds[] = {Kind::kBarberToBed,   Kind::kBarberWokenUp, Kind::kStartCutting,
                       Kind::kFinishCutting, Kind::kSeeSleeping,   Kind::kTryToWake,
                       Kind::kWokeBarber,    Kind::kFailedToWake,  Kind::kSeeNotSleeping,
                       Kind::kQueueFull,     Kind::kTryForChair,   Kind::kGotChair,
                       Kind::kNoChair,       Kind::kWaiting,       Kind::kLeaveCut,
                       Kind::kState,         Kind::kClosing,       Kind::kTorn};
const Actor kActors[] = {Actor::kBarber, Actor::kCustomer, Actor::kShop, Actor::kRun};
const RunEnd kEnds[] = {RunEnd::kClosed, RunEnd::kStuck, RunEnd::kDied, RunEnd::kInterrupted};

Json parsed(const std::string& text) {
  try {
    Json object = Json::parse(text);
    if (!object.is_object()) throw Fault{"not a JSON object; each line holds one object"};
    return object;
  } catch (const Json::parse_error& error) {
    throw Fault{"not JSON (byte " + std::to_string(error.byte) + ")"};
  }
}

void readHeader(const Json& header, LoggedRun* run) {
  if (!header.contains("log") || !header["log"].is_string() || header["log"] != kLogName) {
    throw Fault{"not a barbershop-trace event log: its first line has no \"log\": \"" +
                std::string(kLogName) + "\""};
  }
  const std::int64_t format = whole(header, "format", 1, 1000);
  if (format != kFormat) {
    throw Fault{"format " + std::to_string(format) +
                " is not the one this barbershop-trace "
                "reads (" +
                std::to_string(kFormat) + ")"};
  }
  run->version = textField(header, "version");
  run->program = textField(header, "program");
  RunRecord& record = run->record;
  record.number = static_cast<int>(whole(header, "run", 1, 1000000));
  record.startedUnixMs = whole(header, "started_unix_ms", 0, INT64_MAX);
  record.slow = static_cast<int>(whole(header, "slow", 1, 1000));
  const Json& roster = field(header, "roster");
  if (!roster.is_array()) throw Fault{"\"roster\" must be a list of customers"};
  for (const Json& entry : roster) {
    if (!entry.is_object()) throw Fault{"\"roster\" must be a list of customers"};
    record.roster.push_back({textField(entry, "id"),
                             static_cast<int>(whole(entry, "delay_ms", INT32_MIN, INT32_MAX)),
                             static_cast<int>(whole(entry, "cut_ms", INT32_MIN, INT32_MAX))});
  }
}

// An event line: its text read again must say what the line says it is.
Event readEvent(const Json& object, const std::vector<std::string>& ids) {
  Event event;
  event.us = whole(object, "us", 0, INT64_MAX);
  const Actor actor = named(object, "actor", kActors, actorName);
  const Kind kind = named(object, "kind", kKinds, kindName);
  const std::string customer = textField(object, "customer");
  event.text = textField(object, "text");
  if (kind == Kind::kTorn) {
    event.kind = Kind::kTorn;
    event.actor = Actor::kRun;
  } else {
    std::optional<Event> read = parseLine(event.text, ids);
    if (!read) throw Fault{"\"text\" is no narration line or state block of the program"};
    if (read->kind != kind) {
      throw Fault{"\"text\" is a " + std::string(kindName(read->kind)) + " line, not " +
                  kindName(kind)};
    }
    read->us = event.us;
    event = *read;
  }
  if (actor != actorOf(kind)) {
    throw Fault{"\"actor\" of a " + std::string(kindName(kind)) + " line is " +
                actorName(actorOf(kind))};
  }
  if (customer != event.customer) {
    throw Fault{"\"customer\" is \"" + customer + "\" but the text names \"" + event.customer +
                "\""};
  }
  if (kind == Kind::kState) {
    const Json& state = field(object, "state");
    if (!state.is_object()) throw Fault{"\"state\" must be an object"};
    const Json& chair = field(state, "chair");
    ShopState given;
    if (chair.is_string()) {
      given.chair = chair.get<std::string>();
    } else if (!chair.is_null()) {
      throw Fault{"\"chair\" must be a string or null"};
    }
    given.queue = texts(state, "queue");
    given.finished = texts(state, "finished");
    given.gone = texts(state, "gone");
    const ShopState& shown = event.state;
    if (given.chair != shown.chair || given.queue != shown.queue ||
        given.finished != shown.finished || given.gone != shown.gone) {
      throw Fault{"\"state\" does not list what the block's text shows"};
    }
  }
  return event;
}

}  // namespace

std::string logText(const LoggedRun& run) {
  const RunRecord& record = run.record;
  Json roster = Json::array();
  for (const RosterEntry& entry : record.roster) {
    roster.push_back({{"id", entry.id}, {"delay_ms", entry.delayMs}, {"cut_ms", entry.cuttingMs}});
  }
  std::string out = line({{"log", kLogName},
                          {"format", kFormat},
                          {"version", run.version},
                          {"program", run.program},
                          {"run", record.number},
                          {"started_unix_ms", record.startedUnixMs},
                          {"started", isoTime(record.startedUnixMs)},
                          {"slow", record.slow},
                          {"roster", roster}});
  for (const Event& event : record.events) {
    Json object = {{"us", event.us},
                   {"actor", actorName(event.actor)},
                   {"kind", kindName(event.kind)},
                   {"customer", event.customer},
                   {"text", event.text}};
    if (event.kind == Kind::kState) object["state"] = stateJson(event.state);
    out += line(object);
  }
  if (run.incomplete.empty()) {
    out += line({{"end", runEndName(record.end)},
                 {"end_us", record.endUs},
                 {"events", record.events.size()}});
  }
  return out;
}

bool readLog(const std::string& text, const std::string& name, LoggedRun* run, std::string* error,
             std::string* warning) {
  *run = LoggedRun{};
  warning->clear();
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  const bool lastWhole = !text.empty() && text.back() == '\n';
  std::size_t number = 1;
  try {
    if (lines.empty()) throw Fault{"empty; a log starts with its header line"};
    readHeader(parsed(lines[0]), run);
    RunRecord& record = run->record;
    std::vector<std::string> ids;
    for (const RosterEntry& entry : record.roster) ids.push_back(entry.id);
    bool ended = false;
    for (number = 2; number <= lines.size(); ++number) {
      const std::string& each = lines[number - 1];
      Json object;
      try {
        object = parsed(each);
      } catch (const Fault&) {
        // Only a last line without its line break can have been cut short.
        if (number != lines.size() || lastWhole) throw;
        *warning = name + ":" + std::to_string(number) + ": the last line is cut short; drawn up " +
                   "to line " + std::to_string(number - 1) + " and marked incomplete";
        break;
      }
      if (ended) throw Fault{"a line after the end line"};
      if (object.contains("end")) {
        record.end = named(object, "end", kEnds, runEndName);
        record.endUs = whole(object, "end_us", 0, INT64_MAX);
        const std::int64_t count = whole(object, "events", 0, INT64_MAX);
        if (static_cast<std::size_t>(count) != record.events.size()) {
          throw Fault{"the end line counts " + std::to_string(count) + " events, the log holds " +
                      std::to_string(record.events.size())};
        }
        ended = true;
      } else {
        record.events.push_back(readEvent(object, ids));
      }
    }
    if (!ended) {
      run->incomplete = kCutShort;
      if (warning->empty()) {
        *warning = name + ": the log ends before its end line; drawn up to line " +
                   std::to_string(lines.size()) + " and marked incomplete";
      }
      // How it ended is not known: it closed only if its closing line is there.
      record.end = RunEnd::kInterrupted;
      for (const Event& event : record.events) {
        if (event.kind == Kind::kClosing) record.end = RunEnd::kClosed;
        record.endUs = std::max(record.endUs, event.us);
      }
    }
  } catch (const Fault& fault) {
    *error = name + ":" + std::to_string(number) + ": " + fault.what;
    return false;
  }
  return true;
}
