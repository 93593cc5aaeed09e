// Reading the program's run output back into events, with the program's own formats.

#include "trace/reading/events.h"

#include <algorithm>
#include <utility>

#include "core/narration.h"
#include "trace/reading/formats.h"

namespace {

struct Form {
  Kind kind;
  const char* format;  // a narration format from core/narration.h: one "%s" at most
};

// Every line a run prints, by kind. The closing line is one of them: it ends the run.
const Form kForms[] = {
    {Kind::kBarberToBed, kBarberToBed},
    {Kind::kBarberWokenUp, kBarberWokenUp},
    {Kind::kStartCutting, kStartCutting},
    {Kind::kFinishCutting, kFinishCutting},
    {Kind::kSeeSleeping, kSeeSleeping},
    {Kind::kTryToWake, kTryToWake},
    {Kind::kWokeBarber, kWokeBarber},
    {Kind::kFailedToWake, kFailedToWake},
    {Kind::kSeeNotSleeping, kSeeNotSleeping},
    {Kind::kQueueFull, kQueueFull},
    {Kind::kTryForChair, kTryForChair},
    {Kind::kGotChair, kGotChair},
    {Kind::kNoChair, kNoChair},
    {Kind::kWaiting, kWaiting},
    {Kind::kLeaveCut, kLeaveCut},
    {Kind::kClosing, kClosing},
};

bool known(const std::vector<std::string>& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::optional<Event> parseNarration(std::string_view text, const std::vector<std::string>& ids) {
  std::optional<Event> best;
  for (const Form& form : kForms) {
    std::optional<std::string> id = formatFill(text, form.format);
    if (!id) continue;
    // An ID may itself look like the end of another line; a roster ID settles it.
    if (best && !known(ids, *id)) continue;
    best = Event{};
    best->kind = form.kind;
    best->actor = actorOf(form.kind);
    best->customer = *id;
    best->text = std::string(text);
    if (known(ids, *id)) break;
  }
  return best;
}

std::optional<Event> parseBlock(std::string_view text, const std::vector<std::string>& ids) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::string_view rule(kBlockRule);
  rule.remove_suffix(1);  // its newline
  if (lines.size() < 3 || lines.back() != rule) return std::nullopt;
  Event event;
  event.kind = Kind::kState;
  event.actor = Actor::kShop;
  event.text = std::string(text);
  std::string_view curr = lines[0], wait = lines[1];
  if (!startsWith(curr, kCurrLabel) || !startsWith(wait, kWaitLabel)) return std::nullopt;
  curr.remove_prefix(std::string_view(kCurrLabel).size());
  if (!curr.empty()) {
    if (curr.size() < 2 || curr.front() != '{' || curr.back() != '}') return std::nullopt;
    event.state.chair = std::string(curr.substr(1, curr.size() - 2));
  }
  auto queue = splitEntries(wait.substr(std::string_view(kWaitLabel).size()), '[', ']', ids);
  if (!queue) return std::nullopt;
  event.state.queue = *queue;
  std::size_t next = 2;
  const std::pair<const char*, std::vector<std::string>*> optional[] = {
      {kFinishedLabel, &event.state.finished}, {kGoneLabel, &event.state.gone}};
  for (const auto& [label, list] : optional) {
    if (next + 1 < lines.size() && startsWith(lines[next], label)) {
      auto entries =
          splitEntries(lines[next].substr(std::string_view(label).size()), '[', ']', ids);
      if (!entries || entries->empty()) return std::nullopt;  // printed only when not empty
      *list = *entries;
      ++next;
    }
  }
  if (next + 1 != lines.size()) return std::nullopt;
  return event;
}

// Splits from `at` on; the roster's IDs are tried first, then the shortest entry.
bool splitFrom(std::string_view text, std::size_t at, char open, char close,
               const std::vector<std::string>& ids, std::vector<std::string>* out) {
  if (at == text.size()) return true;
  if (text[at] != open) return false;
  std::vector<std::size_t> ends;
  for (std::size_t end = text.find(close, at + 1); end != std::string_view::npos;
       end = text.find(close, end + 1)) {
    if (end + 1 == text.size() || text[end + 1] == open) ends.push_back(end);
  }
  std::stable_partition(ends.begin(), ends.end(), [&](std::size_t end) {
    return known(ids, text.substr(at + 1, end - at - 1));
  });
  for (std::size_t end : ends) {
    out->emplace_back(text.substr(at + 1, end - at - 1));
    if (splitFrom(text, end + 1, open, close, ids, out)) return true;
    out->pop_back();
  }
  return false;
}

}  // namespace

std::optional<std::vector<std::string>> splitEntries(std::string_view text, char open, char close,
                                                     const std::vector<std::string>& ids) {
  std::vector<std::string> entries;
  if (!splitFrom(text, 0, open, close, ids, &entries)) return std::nullopt;
  return entries;
}

std::optional<Event> parseLine(std::string_view text, const std::vector<std::string>& ids) {
  if (startsWith(text, kCurrLabel)) return parseBlock(text, ids);
  return parseNarration(text, ids);
}

Actor actorOf(Kind kind) {
  switch (kind) {
    case Kind::kBarberToBed:
    case Kind::kBarberWokenUp:
    case Kind::kStartCutting:
    case Kind::kFinishCutting:
      return Actor::kBarber;
    case Kind::kState:
      return Actor::kShop;
    case Kind::kClosing:
    case Kind::kTorn:
      return Actor::kRun;
    default:
      return Actor::kCustomer;
  }
}

const char* kindName(Kind kind) {
  static const char* const kNames[] = {"barber-to-bed",  "barber-woken-up", "start-cutting",
                                       "finish-cutting", "see-sleeping",    "try-to-wake",
                                       "woke-barber",    "failed-to-wake",  "see-not-sleeping",
                                       "queue-full",     "try-for-chair",   "got-chair",
                                       "no-chair",       "waiting",         "leave-cut",
                                       "state",          "closing",         "torn"};
  return kNames[static_cast<int>(kind)];
}

const char* actorName(Actor actor) {
  static const char* const kNames[] = {"barber", "customer", "shop", "run"};
  return kNames[static_cast<int>(actor)];
}

std::string narration(const Event& event) {
  const std::size_t from = event.text.find_first_not_of('\n');
  const std::size_t to = event.text.find_last_not_of('\n');
  return from == std::string::npos ? std::string() : event.text.substr(from, to - from + 1);
}

RunParser::RunParser(std::vector<std::string> ids) : ids_(std::move(ids)) {}

std::vector<Event> RunParser::feed(std::string_view chunk, std::int64_t us) {
  std::vector<Event> events;
  if (closed_) {
    rest_.append(chunk);
    return events;
  }
  pending_.append(chunk);
  const std::string_view curr(kCurrLabel), rule(kBlockRule);
  for (;;) {
    std::string_view text(pending_);
    if (text.empty()) break;
    std::size_t length = 0;  // of the next event's text; 0: it is not all here yet
    bool torn = false;
    if (text[0] == '\n') {
      std::size_t end = text.find('\n', 1);
      if (end == std::string_view::npos) break;
      length = end + 1;
      if (!parseLine(text.substr(0, length), ids_)) {
        // Not a whole line: the next line break may start the next one.
        torn = true;
        length = end;
      }
    } else if (startsWith(text, curr) || startsWith(curr, text)) {
      // A block ends with its rule; one cut short by the closing line never will.
      std::size_t closing = text.find(kClosing);
      std::size_t end = text.find(std::string("\n") + kBlockRule);
      if (end != std::string_view::npos && (closing == std::string_view::npos || end < closing)) {
        length = end + 1 + rule.size();
        if (!parseLine(text.substr(0, length), ids_)) {
          torn = true;
          length = text.find('\n');
        }
      } else if (closing != std::string_view::npos) {
        torn = true;
        length = std::min(text.find('\n'), closing);
      } else {
        break;
      }
    } else {
      std::size_t end = text.find('\n');
      if (end == std::string_view::npos) break;
      torn = true;
      // The rest of a line cut short: its own line break goes with it unless the next line
      // starts with one.
      if (end + 1 == text.size()) break;
      length = text[end + 1] == '\n' ? end + 1 : end;
    }
    Event event;
    if (torn) {
      event.kind = Kind::kTorn;
      event.actor = Actor::kRun;
      event.text = pending_.substr(0, length);
    } else {
      event = *parseLine(text.substr(0, length), ids_);
    }
    event.us = us;
    pending_.erase(0, length);
    events.push_back(std::move(event));
    if (events.back().kind == Kind::kClosing) {
      closed_ = true;
      rest_ = std::move(pending_);
      pending_.clear();
      break;
    }
  }
  return events;
}

std::string RunParser::takeRest() { return std::exchange(rest_, std::string()); }

std::vector<Event> RunParser::finish(std::int64_t us) {
  std::vector<Event> events;
  if (!pending_.empty()) {
    Event event;
    event.kind = Kind::kTorn;
    event.actor = Actor::kRun;
    event.text = std::exchange(pending_, std::string());
    event.us = us;
    events.push_back(std::move(event));
  }
  return events;
}
