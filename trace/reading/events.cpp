// Reading the program's run output back into events, with the program's own formats.

#include "trace/reading/events.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/narration.h"
#include "trace/reading/formats.h"

namespace {

// Longer than any line or block the program prints (a block of ten 34-byte IDs is under 600
// bytes): text that runs on past this without ending as one is torn.
constexpr std::size_t kMaxUnit = 8192;
constexpr std::string_view kRule(kBlockRule, sizeof kBlockRule - 2);  // without its newline

// Where `pattern` starts in `text` from `from` on, if it ends within the longest unit; the same
// answer however much of the text has come.
std::size_t findWithin(std::string_view text, std::string_view pattern, std::size_t from) {
  const std::size_t at = text.find(pattern, from);
  return at != std::string_view::npos && at + pattern.size() <= kMaxUnit ? at
                                                                         : std::string_view::npos;
}

std::optional<Event> parseNarration(std::string_view text) {
  for (const KindInfo* info = kindsBegin(); info != kindsEnd(); ++info) {
    if (info->format == nullptr) continue;
    // No format's ending is the ending of another, so at most one of them fits a whole line.
    std::optional<std::string> id = formatFill(text, info->format);
    if (!id) continue;
    Event event;
    event.kind = info->kind;
    event.id = std::move(*id);
    event.text = std::string(text);
    return event;
  }
  return std::nullopt;
}

// The lines of a block, without their line breaks.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::optional<Event> parseBlock(std::string_view text, const IdBook& book) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  const std::vector<std::string_view> lines = linesOf(text);
  if (lines.size() < 3 || lines.back() != kRule) return std::nullopt;
  std::string_view curr = lines[0], wait = lines[1];
  if (!startsWith(curr, kCurrLabel) || !startsWith(wait, kWaitLabel)) return std::nullopt;
  Event event;
  event.kind = Kind::kState;
  event.text = std::string(text);
  ShopState& state = event.state;
  curr.remove_prefix(std::string_view(kCurrLabel).size());
  if (!curr.empty()) {
    if (curr.size() < 2 || curr.front() != '{' || curr.back() != '}') return std::nullopt;
    state.chair = std::string(curr.substr(1, curr.size() - 2));
  }
  std::optional<Entries> queue =
      splitEntries(wait.substr(std::string_view(kWaitLabel).size()), book);
  if (!queue) return std::nullopt;
  state.queue = std::move(queue->ids);
  state.ambiguous = queue->ambiguous;
  state.fewestWaiting = state.queue.size();
  std::size_t next = 2;
  const std::pair<const char*, std::vector<std::string>*> optional[] = {
      {kFinishedLabel, &state.finished}, {kGoneLabel, &state.gone}};
  for (const auto& [label, list] : optional) {
    if (next + 1 >= lines.size() || !startsWith(lines[next], label)) continue;
    auto entries = splitEntries(lines[next].substr(std::string_view(label).size()), book);
    if (!entries || entries->ids.empty()) return std::nullopt;  // printed only when not empty
    *list = std::move(entries->ids);
    state.ambiguous = state.ambiguous || entries->ambiguous;
    ++next;
  }
  if (next + 1 != lines.size()) return std::nullopt;
  return event;
}

// Without a roster every entry ends at the first "][": IDs holding one cannot be read.
std::optional<Entries> splitAtBrackets(std::string_view text) {
  Entries entries;
  if (text.empty()) return entries;
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
  text = text.substr(1, text.size() - 2);
  for (std::size_t at = 0;;) {
    std::size_t end = text.find("][", at);
    entries.ids.emplace_back(text.substr(at, end == std::string_view::npos ? end : end - at));
    if (end == std::string_view::npos) return entries;
    at = end + 2;
  }
}

}  // namespace

bool Event::aboutCustomer() const {
  return actor() == Actor::kCustomer || kind == Kind::kStartCutting || kind == Kind::kFinishCutting;
}

std::string narration(const Event& event) {
  const std::size_t from = event.text.find_first_not_of('\n');
  const std::size_t to = event.text.find_last_not_of('\n');
  return from == std::string::npos ? std::string() : event.text.substr(from, to - from + 1);
}

IdBook::IdBook(const Roster& roster) {
  for (const RosterEntry& entry : roster) {
    if (std::find(ids_.begin(), ids_.end(), entry.id) == ids_.end()) ids_.push_back(entry.id);
  }
}

std::optional<Entries> splitEntries(std::string_view text, const IdBook& book) {
  if (book.empty()) return splitAtBrackets(text);
  // fewest[i]: the fewest entries that make up text[0, i); ways[i]: 0, 1 or 2 (several) splits.
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  const std::size_t n = text.size();
  std::vector<std::size_t> fewest(n + 1, kNone), from(n + 1), id(n + 1);
  std::vector<int> ways(n + 1, 0);
  fewest[0] = 0;
  ways[0] = 1;
  for (std::size_t i = 0; i < n; ++i) {
    if (ways[i] == 0 || text[i] != '[') continue;
    for (std::size_t k = 0; k < book.ids().size(); ++k) {
      const std::string& each = book.ids()[k];
      const std::size_t end = i + each.size() + 2;
      if (end > n || text[end - 1] != ']' || text.compare(i + 1, each.size(), each) != 0) continue;
      ways[end] = std::min(2, ways[end] + ways[i]);
      if (fewest[i] + 1 < fewest[end]) {
        fewest[end] = fewest[i] + 1;
        from[end] = i;
        id[end] = k;
      }
    }
  }
  if (ways[n] == 0) return std::nullopt;
  Entries entries;
  entries.ambiguous = ways[n] > 1;
  for (std::size_t at = n; at > 0; at = from[at]) entries.ids.push_back(book.ids()[id[at]]);
  std::reverse(entries.ids.begin(), entries.ids.end());
  return entries;
}

std::optional<Event> parseLine(std::string_view text, const IdBook& book) {
  if (startsWith(text, kCurrLabel)) return parseBlock(text, book);
  return parseNarration(text);
}

RunParser::RunParser(const Roster& roster) : book_(roster) {}

RunParser::Unit RunParser::lineUnit(std::string_view text) {
  const std::size_t end = findWithin(text, "\n", std::max<std::size_t>(1, scanned_));
  if (end == std::string_view::npos) return undecided(text);
  if (parseLine(text.substr(0, end + 1), book_)) return Unit{end + 1, false};
  return tornUpTo(text, end);
}

RunParser::Unit RunParser::blockUnit(std::string_view text) {
  // A block ends with its rule; one cut short by the closing line never will.
  const std::size_t from = scanned_ > 64 ? scanned_ - 64 : 0;
  const std::size_t closing = findWithin(text, kClosing, from);
  const std::size_t end = findWithin(text, std::string("\n") + kBlockRule, from);
  if (end != std::string_view::npos && (closing == std::string_view::npos || end < closing)) {
    const std::size_t length = end + 1 + sizeof kBlockRule - 1;
    if (parseLine(text.substr(0, length), book_)) return Unit{length, false};
    return Unit{text.find('\n'), true};
  }
  if (closing != std::string_view::npos) return Unit{std::min(text.find('\n'), closing), true};
  if (text.size() < kMaxUnit) {
    scanned_ = text.size();
    return Unit{};
  }
  return Unit{std::min(text.find('\n'), kMaxUnit), true};
}

RunParser::Unit RunParser::strayUnit(std::string_view text) {
  const std::size_t end = findWithin(text, "\n", scanned_);
  if (end == std::string_view::npos) return undecided(text);
  return tornUpTo(text, end);
}

// Text that is torn up to the line break at `end`. The break goes with it when the text after it
// starts a block or a line of its own, and stays to start the next line otherwise; until enough
// of the text after it has come to tell, nothing is decided, so the events never depend on how
// the output was cut into chunks.
RunParser::Unit RunParser::tornUpTo(std::string_view text, std::size_t end) {
  const std::string_view next = text.substr(end + 1), curr(kCurrLabel);
  if (next.empty() || (next.size() < curr.size() && startsWith(curr, next))) {
    scanned_ = end;
    return Unit{};
  }
  return Unit{next[0] == '\n' || startsWith(next, curr) ? end + 1 : end, true};
}

// No end in sight: wait for more, unless a unit could not be this long.
RunParser::Unit RunParser::undecided(std::string_view text) {
  if (text.size() >= kMaxUnit) return Unit{kMaxUnit, true};
  scanned_ = text.size();
  return Unit{};
}

RunParser::Unit RunParser::nextUnit(std::string_view text) {
  const std::string_view curr(kCurrLabel);
  if (text[0] == '\n') return lineUnit(text);
  if (startsWith(text, curr) || startsWith(curr, text)) return blockUnit(text);
  return strayUnit(text);
}

std::vector<Event> RunParser::feed(std::string_view chunk, std::int64_t us) {
  std::vector<Event> events;
  if (closed_) {
    rest_.append(chunk);
    return events;
  }
  buffer_.append(chunk);
  while (start_ < buffer_.size()) {
    const std::string_view text = std::string_view(buffer_).substr(start_);
    const Unit unit = nextUnit(text);
    if (unit.length == 0) break;
    Event event;
    if (unit.torn) {
      event.text = std::string(text.substr(0, unit.length));
    } else {
      event = *parseLine(text.substr(0, unit.length), book_);
    }
    event.us = us;
    start_ += unit.length;
    scanned_ = 0;
    events.push_back(std::move(event));
    if (events.back().kind == Kind::kClosing) {
      closed_ = true;
      rest_ = buffer_.substr(start_);
      buffer_.clear();
      start_ = 0;
      return events;
    }
  }
  // Drop what has been read once it is most of the buffer: each byte moves a bounded number of
  // times.
  if (start_ * 2 > buffer_.size()) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  return events;
}

std::string RunParser::takeRest() { return std::exchange(rest_, std::string()); }

std::vector<Event> RunParser::finish(std::int64_t us) {
  std::vector<Event> events;
  if (start_ < buffer_.size()) {
    Event event;
    event.text = buffer_.substr(start_);
    event.us = us;
    events.push_back(std::move(event));
  }
  buffer_.clear();
  start_ = scanned_ = 0;
  return events;
}
