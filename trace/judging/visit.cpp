// The steps of a visit.

#include "trace/judging/visit.h"

bool advance(Step* step, Kind kind) {
  auto to = [&](Step next) {
    *step = next;
    return true;
  };
  switch (*step) {
    case Step::kNone:
      if (kind == Kind::kSeeSleeping) return to(Step::kSawSleeping);
      return kind == Kind::kSeeNotSleeping && to(Step::kSawAwake);
    case Step::kSawSleeping:
      return kind == Kind::kTryToWake && to(Step::kTried);
    case Step::kTried:
      if (kind == Kind::kWokeBarber) return to(Step::kWoke);
      return kind == Kind::kFailedToWake && to(Step::kNone);
    case Step::kWoke:
    case Step::kSat:
      return kind == Kind::kWaiting && to(Step::kWaiting);
    case Step::kSawAwake:
      if (kind == Kind::kQueueFull) return to(Step::kOut);
      return kind == Kind::kTryForChair && to(Step::kTriedChair);
    case Step::kTriedChair:
      // The barber went to bed while it was on its way to a chair: it tries to wake him.
      if (kind == Kind::kSeeSleeping) return to(Step::kSawSleeping);
      if (kind == Kind::kSeeNotSleeping) return to(Step::kSawAwake);
      if (kind == Kind::kGotChair) return to(Step::kSat);
      return kind == Kind::kNoChair && to(Step::kOut);
    case Step::kWaiting:
      return kind == Kind::kLeaveCut && to(Step::kOut);
    case Step::kOut:
      return false;
  }
  return false;
}
