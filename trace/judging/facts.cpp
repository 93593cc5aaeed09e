// One pass over the run's lines, customer by customer.

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

RunFacts factsOf(const RunRecord& run) {
  RunFacts facts;
  facts.visits.resize(run.roster.size());
  facts.closed = run.end == RunEnd::kClosed;
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    const Event& event = run.events[i];
    if (!event.aboutCustomer()) continue;
    if (event.who < 0 || static_cast<std::size_t>(event.who) >= facts.visits.size()) {
      facts.strangers.push_back(i);
      continue;
    }
    VisitFacts& visit = facts.visits[static_cast<std::size_t>(event.who)];
    if (event.kind == Kind::kStartCutting) {
      ++visit.cuts;
      if (!visit.cutStart) visit.cutStart = i;
    } else if (event.kind == Kind::kFinishCutting) {
      if (!visit.finish) visit.finish = i;
    } else {
      customerLine(event, i, &visit);
    }
  }
  return facts;
}
