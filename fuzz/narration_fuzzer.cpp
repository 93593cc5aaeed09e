// libFuzzer target for the narration parser and the judging after it: each input is a roster,
// the chunk sizes a pipe might deliver, and a run's output. The output is parsed whole and in
// those chunks: both must give the same events, losing and repeating no byte, stopping at the
// closing line; every line or block the parser recognised must read the same again on its own.
// The events are then judged as a run of the roster, and the judged run's event log must read
// back as what was written.
//
// Input layout, read as far as the input goes (missing bytes count as 0):
//   H            customers: H % 11 (0: the roster is not known, as when the relay could not
//                read the customer list); how a run without its closing line ended: H / 11 % 3
//                (stuck, died, interrupted)
//   per customer L, L % 35 bytes of ID, D, C: delay D * 20 ms and cutting time C * 20 ms
//   M, M bytes   chunk sizes 1 + B, used in turn; none: one byte a chunk
//   the rest     the run's output; a chunk arrives 1 ms into the run for each byte fed so far

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/records.h"
#include "trace/common/utf8.h"
#include "trace/judging/finish.h"
#include "trace/reading/events.h"
#include "trace/reading/run_record.h"

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : text_(reinterpret_cast<const char*>(data), size) {}
  std::uint8_t byte() { return at_ < text_.size() ? static_cast<std::uint8_t>(text_[at_++]) : 0; }
  std::string_view bytes(std::size_t n) {
    const std::string_view out = text_.substr(at_, n);
    at_ += out.size();
    return out;
  }
  std::string_view rest() { return bytes(text_.size()); }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

struct Parsed {
  std::vector<Event> events;
  std::string rest;  // what came after the closing line
  bool closed = false;
};

// Feeds `output` in chunks of the given sizes, in turn; all of it at once when there are none.
Parsed parse(std::string_view output, const Roster& roster, const std::vector<std::size_t>& sizes) {
  RunParser parser(roster);
  Parsed parsed;
  std::size_t at = 0;
  for (std::size_t k = 0; at < output.size(); ++k) {
    const std::size_t size = sizes.empty() ? output.size() : sizes[k % sizes.size()];
    const std::string_view chunk = output.substr(at, size);
    at += chunk.size();
    for (Event& event : parser.feed(chunk, static_cast<std::int64_t>(at) * 1000)) {
      parsed.events.push_back(std::move(event));
    }
  }
  parsed.closed = parser.closed();
  parsed.rest = parser.takeRest();
  if (!parsed.closed) {
    for (Event& event : parser.finish(static_cast<std::int64_t>(at) * 1000)) {
      parsed.events.push_back(std::move(event));
    }
  }
  return parsed;
}

void checkParsed(const Parsed& parsed, std::string_view output, const IdBook& book) {
  std::string text;
  for (std::size_t i = 0; i < parsed.events.size(); ++i) {
    const Event& event = parsed.events[i];
    text += event.text;
    require(!event.text.empty(), "an empty event");
    require(event.kind != Kind::kClosing || i + 1 == parsed.events.size(),
            "an event after the closing line");
    if (event.kind == Kind::kTorn) continue;
    const std::optional<Event> again = parseLine(event.text, book);
    if (!again) {
      require(false, std::string(kindName(event.kind)) +
                         " event does not read again from its own text: " + visible(event.text));
    }
    requireSameEvents({*again}, {event}, false, "an event read again from its text");
  }
  require(parsed.closed == (!parsed.events.empty() && parsed.events.back().kind == Kind::kClosing),
          "closed without a closing line, or a closing line left open");
  require(parsed.closed || parsed.rest.empty(), "text left over from a run that did not close");
  require(text + parsed.rest == output, "the events and the rest are not the output");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t head = input.byte();
  const RunEnd unclosed[] = {RunEnd::kStuck, RunEnd::kDied, RunEnd::kInterrupted};
  RunRecord record;
  for (int i = 0; i < head % 11; ++i) {
    RosterEntry entry;
    entry.id = std::string(input.bytes(input.byte() % (kMaxRosterIdLength + 1)));
    entry.delayMs = input.byte() * 20;
    entry.cuttingMs = input.byte() * 20;
    record.roster.push_back(std::move(entry));
  }
  std::vector<std::size_t> sizes;
  for (int count = input.byte(); count > 0; --count) sizes.push_back(1 + input.byte());
  if (sizes.empty()) sizes.push_back(1);
  const std::string_view output = input.rest();

  const IdBook book(record.roster);
  const Parsed whole = parse(output, record.roster, {});
  const Parsed chunked = parse(output, record.roster, sizes);
  checkParsed(whole, output, book);
  checkParsed(chunked, output, book);
  requireSameEvents(chunked.events, whole.events, false, "the output fed in chunks");

  record.events = chunked.events;
  record.end = chunked.closed ? RunEnd::kClosed : unclosed[head / 11 % 3];
  record.endUs = static_cast<std::int64_t>(output.size()) * 1000;
  record.program = "barbershop";
  record.writtenBy = "narration_fuzzer";
  const FinishedRun run = finish(std::move(record));
  requireJudgedSound(run);
  requireLogRoundTrip(run.record);
  return 0;
}
