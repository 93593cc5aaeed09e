#ifndef BARBERSHOP_TRACE_READING_EVENTS_H_
#define BARBERSHOP_TRACE_READING_EVENTS_H_
// A run as events: every narration line and state block the program printed during one run,
// stamped with the time it arrived, and the parser that turns the program's output into them,
// with the program's own formats (trace/reading/kinds.h). Every reader here is linear in its
// input: a block that cannot be read is torn text, never a search. Single-threaded.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/reading/kinds.h"
#include "trace/reading/roster.h"

// The shop as a state block shows it. IDs may repeat and may hold the block's own brackets, so a
// list is split against the roster's IDs; where it splits more than one way, `ambiguous` says so
// and the split with the fewest entries is kept.
struct ShopState {
  std::optional<std::string> chair;
  std::vector<std::string> queue, finished, gone;
  bool ambiguous = false;
  std::size_t fewestWaiting = 0;  // the queue's entries in its split with the fewest
};

struct Event {
  std::int64_t us = 0;  // arrival of the text's last byte, since the Run choice was handed over
  Kind kind = Kind::kTorn;
  std::string id;    // the ID the line names; empty for the bed lines, blocks and the rest
  int who = -1;      // the roster position the line is about, once attributed; -1: nobody
  std::string text;  // the raw text, as printed
  ShopState state;   // kState only

  Actor actor() const { return actorOf(kind); }
  // A customer's own line, or the barber's start or finish of a cut: a line about a customer.
  bool aboutCustomer() const;
};

// The event's text without the line breaks around it, as a line to quote.
std::string narration(const Event& event);

// The IDs a state block may list: the roster's, each once. Empty when the roster is not known.
class IdBook {
 public:
  explicit IdBook(const Roster& roster);
  bool empty() const { return ids_.empty(); }
  const std::vector<std::string>& ids() const { return ids_; }

 private:
  std::vector<std::string> ids_;
};

// A block's list "[a][b]" split into its IDs: linear in the text.
struct Entries {
  std::vector<std::string> ids;  // the split with the fewest entries
  bool ambiguous = false;        // the text splits into the book's IDs in more than one way
};
// Nullopt when `text` is no such list of the book's IDs (with an empty book: of any IDs, split
// at each "][").
std::optional<Entries> splitEntries(std::string_view text, const IdBook& book);

// Parses one whole line or block (no surrounding text): used by the parser and by `render`.
// Nullopt when `text` is none of the program's narration forms.
std::optional<Event> parseLine(std::string_view text, const IdBook& book);

// Parses one run's output as it arrives. Text is fed in chunks with the time each arrived;
// whole lines and blocks come out as events, a partial one waits for the rest.
class RunParser {
 public:
  explicit RunParser(const Roster& roster);
  // Adds a chunk that arrived `us` microseconds after the Run choice; returns the events that
  // it completed, in order. Stops at the closing line: text after it is left for the caller.
  std::vector<Event> feed(std::string_view chunk, std::int64_t us);
  // Bytes of the last chunk that came after the closing line (the menu, a late bed line).
  std::string takeRest();
  bool closed() const { return closed_; }
  // Ends the run early (the program died, or the run was given up): whatever is pending becomes
  // a torn event.
  std::vector<Event> finish(std::int64_t us);

 private:
  struct Unit {
    std::size_t length = 0;  // 0: not all here yet
    bool torn = false;
  };
  Unit nextUnit(std::string_view text);
  Unit lineUnit(std::string_view text);
  Unit blockUnit(std::string_view text);
  Unit strayUnit(std::string_view text);
  Unit tornUpTo(std::string_view text, std::size_t end);
  Unit undecided(std::string_view text);

  IdBook book_;
  std::string buffer_;
  std::size_t start_ = 0;    // where the unread text begins in buffer_
  std::size_t scanned_ = 0;  // how far past start_ the search for the unit's end has gone
  std::string rest_;
  bool closed_ = false;
};

#endif  // BARBERSHOP_TRACE_READING_EVENTS_H_
