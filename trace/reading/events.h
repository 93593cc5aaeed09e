#ifndef BARBERSHOP_TRACE_READING_EVENTS_H_
#define BARBERSHOP_TRACE_READING_EVENTS_H_
// A run as events: every narration line and state block the program printed during one run,
// stamped with the time it arrived, and the parser that turns the program's output into them.
// The parser matches the program's own narration formats (core/narration.h); nothing here
// keeps a second copy of them. Single-threaded.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/reading/roster.h"

enum class Actor { kBarber, kCustomer, kShop, kRun };

// One kind per narration format, then the state block, the run's closing line, and text that
// is none of them (a torn or unknown line).
enum class Kind {
  kBarberToBed,
  kBarberWokenUp,
  kStartCutting,
  kFinishCutting,
  kSeeSleeping,
  kTryToWake,
  kWokeBarber,
  kFailedToWake,
  kSeeNotSleeping,
  kQueueFull,
  kTryForChair,
  kGotChair,
  kNoChair,
  kWaiting,
  kLeaveCut,
  kState,
  kClosing,
  kTorn,
};

// The shop as a state block shows it.
struct ShopState {
  std::optional<std::string> chair;
  std::vector<std::string> queue, finished, gone;
};

struct Event {
  std::int64_t us = 0;  // arrival of the text's last byte, since the Run choice was handed over
  Actor actor = Actor::kRun;
  Kind kind = Kind::kTorn;
  std::string customer;  // the ID in the line; empty for the barber's bed lines and the rest
  std::string text;      // the raw text, as printed
  ShopState state;       // kState only
};

// The event's text without the line breaks around it, as a line to quote.
std::string narration(const Event& event);

// A short stable name for a kind ("see-sleeping", "state", "torn", ...), used in files and tests.
const char* kindName(Kind kind);
const char* actorName(Actor actor);
Actor actorOf(Kind kind);

// Parses one run's output as it arrives. Text is fed in chunks with the time each arrived;
// whole lines and blocks come out as events, a partial one waits for the rest.
class RunParser {
 public:
  // `ids`: the roster's IDs, which settle lines an ID could make ambiguous ("[a][b]").
  explicit RunParser(std::vector<std::string> ids);
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
  std::vector<std::string> ids_;
  std::string pending_;
  std::string rest_;
  bool closed_ = false;
};

// Parses one whole line or block (no surrounding text): used by the parser and by `render`.
// Returns nullopt when `text` is none of the program's narration forms.
std::optional<Event> parseLine(std::string_view text, const std::vector<std::string>& ids);

// Splits "[a][b]" (or "{a}") into its IDs, preferring a split into roster IDs when the text
// allows several. Nullopt when the text is not such a list.
std::optional<std::vector<std::string>> splitEntries(std::string_view text, char open, char close,
                                                     const std::vector<std::string>& ids);

#endif  // BARBERSHOP_TRACE_READING_EVENTS_H_
