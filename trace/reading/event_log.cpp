// The event log: written line by line with nlohmann-json, read back with every line checked.

#include "trace/reading/event_log.h"

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/roster.h"
#include "trace/common/json_text.h"
#include "trace/reading/control_log.h"
#include "trace/reading/log_fields.h"

namespace {

constexpr char kLogName[] = "barbershop-trace event log";
constexpr int kFormat = 3;  // 3 added a controlled run's lines; 2 is still read
constexpr char kCutShort[] = "the log was cut short: drawn up to its last whole line";
constexpr std::int64_t kMaxInt64 = std::numeric_limits<std::int64_t>::max();

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
  Json object = Json::object();
  if (state.chair) {
    putText(object, "chair", *state.chair);
  } else {
    object["chair"] = nullptr;
  }
  putTexts(object, "queue", state.queue);
  putTexts(object, "finished", state.finished);
  putTexts(object, "gone", state.gone);
  return object;
}

Json eventJson(const Event& event) {
  Json object = {{"us", event.us},
                 {"actor", actorName(event.actor())},
                 {"kind", kindName(event.kind)},
                 {"who", event.who >= 0 ? Json(event.who) : Json(nullptr)}};
  putText(object, "id", event.id);
  putText(object, "text", event.text);
  if (event.kind == Kind::kState) object["state"] = stateJson(event.state);
  return object;
}

using Fault = LogFault;

const Json& field(const Json& object, const char* name) { return logField(object, name); }
std::int64_t whole(const Json& object, const char* name, std::int64_t low, std::int64_t high) {
  return logWhole(object, name, low, high);
}
std::string plainText(const Json& object, const char* name) { return logString(object, name); }
Json parsed(std::string_view text) { return logLine(text); }

void readHeader(const Json& header, RunRecord* run) {
  auto log = header.find("log");
  if (log == header.end() || !log->is_string() || *log != kLogName) {
    throw Fault{"not a barbershop-trace event log: its first line has no \"log\": \"" +
                std::string(kLogName) + "\""};
  }
  const std::int64_t format = whole(header, "format", 1, 1000);
  if (format != kFormat && format != 2) {
    throw Fault{"format " + std::to_string(format) +
                " is not the one this barbershop-trace reads (" + std::to_string(kFormat) + ")"};
  }
  run->writtenBy = plainText(header, "version");
  run->program = textOf(header, "program");
  run->number = static_cast<int>(whole(header, "run", 1, 1000000));
  run->startedUnixMs = whole(header, "started_unix_ms", 0, kMaxInt64 / 2);
  run->slow = static_cast<int>(whole(header, "slow", 1, 1000));
  if (header.contains("variant")) {
    run->variant = plainText(header, "variant");
    run->variantChange = textOf(header, "variant_change");
  }
  readControlHeader(header, &run->control);
  const Json& roster = field(header, "roster");
  if (!roster.is_array() || roster.size() > MAX_CUSTOMERS) {
    throw Fault{"\"roster\" must be a list of at most " + std::to_string(MAX_CUSTOMERS) +
                " customers"};
  }
  for (const Json& entry : roster) {
    if (!entry.is_object()) throw Fault{"\"roster\" must be a list of customers"};
    run->roster.push_back({textOf(entry, "id"),
                           static_cast<int>(whole(entry, "delay_ms", INT32_MIN, INT32_MAX)),
                           static_cast<int>(whole(entry, "cut_ms", INT32_MIN, INT32_MAX))});
  }
}

void checkState(const Json& object, const ShopState& shown) {
  const Json& state = field(object, "state");
  if (!state.is_object()) throw Fault{"\"state\" must be an object"};
  ShopState given;
  if (!field(state, "chair").is_null()) given.chair = textOf(state, "chair");
  given.queue = textsOf(state, "queue");
  given.finished = textsOf(state, "finished");
  given.gone = textsOf(state, "gone");
  if (given.chair != shown.chair || given.queue != shown.queue ||
      given.finished != shown.finished || given.gone != shown.gone) {
    throw Fault{"\"state\" does not list what the block's text shows"};
  }
}

// The position a line names, which must be a roster customer of the line's ID.
int readWho(const Json& object, const Event& event, const Roster& roster) {
  const Json& who = field(object, "who");
  if (who.is_null()) return -1;
  const std::int64_t at = whole(object, "who", 0, static_cast<std::int64_t>(roster.size()) - 1);
  if (!event.aboutCustomer() || roster[static_cast<std::size_t>(at)].id != event.id) {
    throw Fault{"\"who\" names customer " + std::to_string(at) + ", whom the text does not name"};
  }
  return static_cast<int>(at);
}

// An event line: its text read again must say what the line says it is.
Event readEvent(const Json& object, const IdBook& book, const Roster& roster) {
  const std::optional<Actor> actor = actorNamed(plainText(object, "actor"));
  const std::optional<Kind> kind = kindNamed(plainText(object, "kind"));
  if (!actor || !kind) throw Fault{"\"actor\" or \"kind\" is not one the log knows"};
  if (*actor != actorOf(*kind)) {
    throw Fault{"\"actor\" of a " + std::string(kindName(*kind)) + " line is " +
                actorName(actorOf(*kind))};
  }
  Event event;
  const std::string text = textOf(object, "text");
  if (*kind != Kind::kTorn) {
    std::optional<Event> read = parseLine(text, book);
    if (!read) throw Fault{"\"text\" is no narration line or state block of the program"};
    if (read->kind != *kind) {
      throw Fault{"\"text\" is a " + std::string(kindName(read->kind)) + " line, not " +
                  kindName(*kind)};
    }
    event = std::move(*read);
  }
  event.kind = *kind;
  event.text = text;
  event.us = whole(object, "us", 0, kMaxInt64 / 2);
  if (textOf(object, "id") != event.id) throw Fault{"\"id\" is not the ID the text names"};
  event.who = readWho(object, event, roster);
  if (*kind == Kind::kState) checkState(object, event.state);
  return event;
}

void readEnd(const Json& object, RunRecord* record) {
  const std::string end = plainText(object, "end");
  const RunEnd ends[] = {RunEnd::kClosed, RunEnd::kStuck, RunEnd::kDied, RunEnd::kInterrupted};
  auto found = std::find_if(std::begin(ends), std::end(ends),
                            [&](RunEnd each) { return end == runEndName(each); });
  if (found == std::end(ends)) throw Fault{"\"end\" is \"" + end + "\", not a way a run ends"};
  record->end = *found;
  record->endUs = whole(object, "end_us", 0, kMaxInt64 / 2);
  const std::int64_t count = whole(object, "events", 0, kMaxInt64);
  if (static_cast<std::size_t>(count) != record->events.size()) {
    throw Fault{"the end line counts " + std::to_string(count) + " events, the log holds " +
                std::to_string(record->events.size())};
  }
}

// A log without its end line: how the run ended is not known; it closed only if its closing
// line is there.
void markIncomplete(RunRecord* record) {
  record->incomplete = kCutShort;
  record->end = RunEnd::kInterrupted;
  for (const Event& event : record->events) {
    if (event.kind == Kind::kClosing) record->end = RunEnd::kClosed;
    record->endUs = std::max(record->endUs, event.us);
  }
}

// The body of readLog, throwing a Fault for the line `*number`.
void readLines(std::string_view text, const std::string& name, RunRecord* run, std::size_t* number,
               std::string* warning) {
  std::size_t at = 0;
  auto nextLine = [&](std::string_view* line) {
    if (at >= text.size()) return false;
    const std::size_t end = std::min(text.find('\n', at), text.size());
    *line = text.substr(at, end - at);
    at = end + 1;
    ++*number;
    return true;
  };
  std::string_view line;
  if (!nextLine(&line)) throw Fault{"empty; a log starts with its header line"};
  readHeader(parsed(line), run);
  const IdBook book(run->roster);
  bool ended = false;
  while (nextLine(&line)) {
    // Whole or cut short, nothing may follow the end line.
    if (ended) throw Fault{"a line after the end line"};
    Json object;
    try {
      object = parsed(line);
    } catch (const Fault&) {
      // Only a last line without its line break can have been cut short.
      if (at < text.size() || text.back() == '\n') throw;
      *warning = name + ":" + std::to_string(*number) + ": the last line is cut short; drawn up " +
                 "to line " + std::to_string(*number - 1) + " and marked incomplete";
      break;
    }
    if (readControlLine(object, &run->control)) continue;
    if (object.contains("end")) {
      readEnd(object, run);
      ended = true;
    } else {
      run->events.push_back(readEvent(object, book, run->roster));
    }
  }
  if (ended) return;
  markIncomplete(run);
  if (warning->empty()) {
    *warning = name + ": the log ends before its end line; drawn up to line " +
               std::to_string(*number) + " and marked incomplete";
  }
}

}  // namespace

std::string logText(const RunRecord& run) {
  Json roster = Json::array();
  for (const RosterEntry& entry : run.roster) {
    Json each = Json::object();
    putText(each, "id", entry.id);
    each["delay_ms"] = entry.delayMs;
    each["cut_ms"] = entry.cuttingMs;
    roster.push_back(std::move(each));
  }
  Json header = {{"log", kLogName}, {"format", kFormat}, {"version", run.writtenBy}};
  putText(header, "program", run.program);
  header["run"] = run.number;
  header["started_unix_ms"] = run.startedUnixMs;
  header["started"] = isoTime(run.startedUnixMs);
  header["slow"] = run.slow;
  if (!run.variant.empty()) {
    header["variant"] = run.variant;
    putText(header, "variant_change", run.variantChange);
  }
  putControlHeader(run.control, &header);
  header["roster"] = std::move(roster);
  std::string out = oneLine(header) + "\n";
  for (const Event& event : run.events) out += oneLine(eventJson(event)) + "\n";
  out += controlLogLines(run.control);
  if (run.incomplete.empty()) {
    out +=
        oneLine(
            {{"end", runEndName(run.end)}, {"end_us", run.endUs}, {"events", run.events.size()}}) +
        "\n";
  }
  return out;
}

bool readLog(const std::string& text, const std::string& name, RunRecord* run, std::string* error,
             std::string* warning) {
  *run = RunRecord{};
  warning->clear();
  std::size_t number = 0;
  std::string what;
  try {
    readLines(text, name, run, &number, warning);
    return true;
  } catch (const Fault& fault) {
    what = fault.what;
  } catch (const JsonTextError& fault) {
    what = fault.what;
  } catch (const Json::exception& fault) {
    what = std::string("not a log line: ") + fault.what();
  }
  *error = name + ":" + std::to_string(std::max<std::size_t>(number, 1)) + ": " + what;
  return false;
}
