// The table of kinds.

#include "trace/reading/kinds.h"

#include <iterator>

#include "core/narration.h"

namespace {

constexpr KindInfo kKinds[] = {
    {Kind::kBarberToBed, "barber-to-bed", kBarberToBed, Actor::kBarber},
    {Kind::kBarberWokenUp, "barber-woken-up", kBarberWokenUp, Actor::kBarber},
    {Kind::kStartCutting, "start-cutting", kStartCutting, Actor::kBarber},
    {Kind::kFinishCutting, "finish-cutting", kFinishCutting, Actor::kBarber},
    {Kind::kSeeSleeping, "see-sleeping", kSeeSleeping, Actor::kCustomer},
    {Kind::kTryToWake, "try-to-wake", kTryToWake, Actor::kCustomer},
    {Kind::kWokeBarber, "woke-barber", kWokeBarber, Actor::kCustomer},
    {Kind::kFailedToWake, "failed-to-wake", kFailedToWake, Actor::kCustomer},
    {Kind::kSeeNotSleeping, "see-not-sleeping", kSeeNotSleeping, Actor::kCustomer},
    {Kind::kQueueFull, "queue-full", kQueueFull, Actor::kCustomer},
    {Kind::kTryForChair, "try-for-chair", kTryForChair, Actor::kCustomer},
    {Kind::kGotChair, "got-chair", kGotChair, Actor::kCustomer},
    {Kind::kNoChair, "no-chair", kNoChair, Actor::kCustomer},
    {Kind::kWaiting, "waiting", kWaiting, Actor::kCustomer},
    {Kind::kLeaveCut, "leave-cut", kLeaveCut, Actor::kCustomer},
    {Kind::kState, "state", nullptr, Actor::kShop},
    {Kind::kClosing, "closing", kClosing, Actor::kRun},
    {Kind::kTorn, "torn", nullptr, Actor::kRun},
};

constexpr const char* kActorNames[] = {"barber", "customer", "shop", "run"};

}  // namespace

const KindInfo* kindsBegin() { return std::begin(kKinds); }
const KindInfo* kindsEnd() { return std::end(kKinds); }
const KindInfo& infoOf(Kind kind) { return kKinds[static_cast<int>(kind)]; }

std::optional<Kind> kindNamed(std::string_view name) {
  for (const KindInfo& info : kKinds) {
    if (name == info.name) return info.kind;
  }
  return std::nullopt;
}

const char* actorName(Actor actor) { return kActorNames[static_cast<int>(actor)]; }

std::optional<Actor> actorNamed(std::string_view name) {
  for (int i = 0; i < static_cast<int>(std::size(kActorNames)); ++i) {
    if (name == kActorNames[i]) return static_cast<Actor>(i);
  }
  return std::nullopt;
}
