#ifndef BARBERSHOP_TRACE_READING_KINDS_H_
#define BARBERSHOP_TRACE_READING_KINDS_H_
// The kinds of text a run prints, in one table: each narration format of the program, the state
// block, the run's closing line, and text that is none of them. The parser, the event log and
// every name in the files come from this table. Pure.

#include <optional>
#include <string_view>

enum class Actor { kBarber, kCustomer, kShop, kRun };

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

struct KindInfo {
  Kind kind;
  const char* name;    // short and stable, for files and tests: "see-sleeping", "state", "torn"
  const char* format;  // the program's format for it (core/narration.h); null for a block or torn
  Actor actor;
};

// Every kind, in the order of the enum.
const KindInfo* kindsBegin();
const KindInfo* kindsEnd();
const KindInfo& infoOf(Kind kind);
std::optional<Kind> kindNamed(std::string_view name);

inline const char* kindName(Kind kind) { return infoOf(kind).name; }
inline Actor actorOf(Kind kind) { return infoOf(kind).actor; }
const char* actorName(Actor actor);
std::optional<Actor> actorNamed(std::string_view name);

#endif  // BARBERSHOP_TRACE_READING_KINDS_H_
