// What each line says of its customer's visit.

#include "trace/judging/facts.h"

namespace {

void customerLine(const Event& event, std::size_t i, VisitFacts* visit) {
  visit->lines.push_back(i);
  if (!advance(&visit->step, event.kind)) visit->badLines.push_back(i);
  switch (event.kind) {
    case Kind::kSeeSleeping:
      visit->sawAsleep = i;
      break;
    case Kind::kWokeBarber:
      visit->woke = true;
      break;
    case Kind::kGotChair:
      visit->sat = true;
      if (!visit->gotChair) visit->gotChair = i;
      break;
    case Kind::kQueueFull:
    case Kind::kNoChair:
      visit->saidGone = true;
      break;
    case Kind::kLeaveCut:
      visit->leftCut = true;
      if (!visit->leave) visit->leave = i;
      break;
    default:
      break;
  }
}

}  // namespace

void factsLine(const RunRecord& run, std::size_t i, RunFacts* facts) {
  const Event& event = run.events[i];
  if (!event.aboutCustomer()) return;
  if (event.who < 0 || static_cast<std::size_t>(event.who) >= facts->visits.size()) {
    facts->strangers.push_back(i);
    return;
  }
  VisitFacts& visit = facts->visits[static_cast<std::size_t>(event.who)];
  if (event.kind == Kind::kStartCutting) {
    ++visit.cuts;
    if (!visit.cutStart) visit.cutStart = i;
  } else if (event.kind == Kind::kFinishCutting) {
    if (!visit.finish) visit.finish = i;
  } else {
    customerLine(event, i, &visit);
  }
}
