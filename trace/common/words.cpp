// The vocabulary's one table per fact.

#include "trace/common/words.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr Words kPlanned[] = {
    {"wakes", "wakes the barber", "wakes"},
    {"waits", "waits in the queue", "waits"},
    {"sent-away", "is sent away", "sent away"},
};

constexpr Words kOutcomes[] = {
    {"woke", "woke the barber", "woke barber"},
    {"waited", "waited in the queue", "waited"},
    {"queue-full", "went away: every chair taken", "away: full"},
    {"no-chair", "went away: lost the last chair", "away: no chair"},
    {"still-there", "still in the shop", "still there"},
    {"never-came", "never came in", "never came"},
};

constexpr const char* kClauses[] = {"has it wake the barber", "has it wait in the queue",
                                    "sends it away"};

}  // namespace

const Words& wordsOf(Planned planned) { return kPlanned[static_cast<int>(planned)]; }
const Words& wordsOf(Outcome outcome) { return kOutcomes[static_cast<int>(outcome)]; }
const char* plannedClause(Planned planned) { return kClauses[static_cast<int>(planned)]; }

bool wentAway(Outcome outcome) {
  return outcome == Outcome::kAwayQueueFull || outcome == Outcome::kAwayNoChair;
}

bool fulfils(Outcome outcome, Planned planned) {
  switch (planned) {
    case Planned::kWakes:
      return outcome == Outcome::kWoke;
    case Planned::kWaits:
      return outcome == Outcome::kWaited;
    case Planned::kSentAway:
      return wentAway(outcome);
  }
  return false;
}

std::string fixed(double value, int decimals) {
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;  // never "-0.0"
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

const char* runKindWords(bool controlled) {
  static constexpr const char* kKinds[] = {"real-time run", "controlled run, virtual time"};
  return kKinds[controlled ? 1 : 0];
}

std::string ms(double value) { return fixed(value, 1) + " ms"; }

std::string signedMs(double value) {
  const std::string text = fixed(value, 1);
  return (text[0] == '-' ? text : "+" + text) + " ms";
}
