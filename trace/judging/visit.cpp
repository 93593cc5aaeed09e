// The steps of a visit.

#include "trace/judging/visit.h"

bool advance(VisitStep* step, Kind kind) {
  auto to = [&](VisitStep next) {
    *step = next;
    return true;
  };
  switch (*step) {
    case VisitStep::kNone:
      if (kind == Kind::kSeeSleeping) return to(VisitStep::kSawSleeping);
      return kind == Kind::kSeeNotSleeping && to(VisitStep::kSawAwake);
    case VisitStep::kSawSleeping:
      return kind == Kind::kTryToWake && to(VisitStep::kTried);
    case VisitStep::kTried:
      if (kind == Kind::kWokeBarber) return to(VisitStep::kWoke);
      return kind == Kind::kFailedToWake && to(VisitStep::kNone);
    case VisitStep::kWoke:
    case VisitStep::kSat:
      return kind == Kind::kWaiting && to(VisitStep::kWaiting);
    case VisitStep::kSawAwake:
      if (kind == Kind::kQueueFull) return to(VisitStep::kOut);
      return kind == Kind::kTryForChair && to(VisitStep::kTriedChair);
    case VisitStep::kTriedChair:
      // The barber went to bed while it was on its way to a chair: it tries to wake him.
      if (kind == Kind::kSeeSleeping) return to(VisitStep::kSawSleeping);
      if (kind == Kind::kSeeNotSleeping) return to(VisitStep::kSawAwake);
      if (kind == Kind::kGotChair) return to(VisitStep::kSat);
      return kind == Kind::kNoChair && to(VisitStep::kOut);
    case VisitStep::kWaiting:
      return kind == Kind::kLeaveCut && to(VisitStep::kOut);
    case VisitStep::kOut:
      return false;
  }
  return false;
}
