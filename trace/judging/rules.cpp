// The rules of the shop, each over the run's lines and facts.

#include "trace/judging/rules.h"

#include <algorithm>
#include <map>
#include <optional>

#include "core/constants.h"
#include "trace/common/micros.h"
#include "trace/common/words.h"

namespace {

std::string nameOf(const RunRecord& run, int who) { return customerName(run.roster, who); }

const VisitFacts& visitOf(const RunFacts& facts, int who) {
  return facts.visits[static_cast<std::size_t>(who)];
}

void oneWayOut(const RunRecord& run, const RunFacts& facts, Findings* findings) {
  for (int who = 0; who < static_cast<int>(facts.visits.size()); ++who) {
    const VisitFacts& visit = visitOf(facts, who);
    const std::string name = nameOf(run, who);
    for (std::size_t line : visit.badLines) {
      findings->add("one-way-out",
                    name +
                        "'s visit cannot go on with this line: a customer leaves exactly once, "
                        "one way",
                    {line}, {who});
    }
    if (!facts.closed || visit.step == VisitStep::kOut) continue;
    findings->add("one-way-out",
                  name + (visit.lines.empty() ? " never came in" : " never left the shop"),
                  visit.lines, {who});
  }
  if (run.roster.empty()) return;  // without the roster nobody can be told from a stranger
  for (std::size_t line : facts.strangers) {
    findings->add("one-way-out",
                  "a line about \"" + run.events[line].id + "\", who is not on the roster", {line},
                  {});
  }
}

void oneInChair(const RunRecord& run, const RunFacts&, Findings* findings) {
  constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);
  std::size_t chair = kEmpty;  // the start line of the cut under way
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    const Event& event = run.events[i];
    if (event.kind == Kind::kStartCutting) {
      if (chair != kEmpty) {
        findings->add("one-in-chair",
                      nameOf(run, event.who) + " was cut while " +
                          nameOf(run, run.events[chair].who) + " was still in the chair",
                      {chair, i}, {event.who, run.events[chair].who});
      }
      chair = i;
    } else if (event.kind == Kind::kFinishCutting) {
      if (chair == kEmpty || run.events[chair].who != event.who) {
        findings->add(
            "one-in-chair",
            "the barber finished " + nameOf(run, event.who) + ", who was not in the chair",
            chair != kEmpty ? std::vector<std::size_t>{chair, i} : std::vector<std::size_t>{i},
            {event.who});
      }
      chair = kEmpty;
    } else if (event.kind == Kind::kState && chair != kEmpty) {
      // Between the start and the finish line the chair holds that customer, whom the barber
      // put there before saying he starts and takes away only after saying he finished.
      const Event& start = run.events[chair];
      if (event.state.chair != start.id) {
        findings->add("one-in-chair",
                      "the chair shows " + event.state.chair.value_or("nobody") + " while " +
                          nameOf(run, start.who) + " is being cut",
                      {chair, i}, {start.who});
      }
    }
  }
}

void queueCapacity(const RunRecord& run, const RunFacts&, Findings* findings) {
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    const ShopState& state = run.events[i].state;
    if (run.events[i].kind != Kind::kState || state.fewestWaiting <= WAIT_CHAIRS) continue;
    findings->add("queue-capacity",
                  std::to_string(state.fewestWaiting) + " customers waiting; the shop has " +
                      std::to_string(WAIT_CHAIRS) + " chairs",
                  {i}, {});
  }
}

// The customer an ID in a block stands for, when only one customer has it.
std::optional<int> onlyOne(const Roster& roster, const std::string& id) {
  std::optional<int> found;
  for (std::size_t i = 0; i < roster.size(); ++i) {
    if (roster[i].id != id) continue;
    if (found) return std::nullopt;
    found = static_cast<int>(i);
  }
  return found;
}

// Two customers side by side in a block's queue sat down in that order, so are cut in it.
void queueOrder(const RunRecord& run, const RunFacts& facts, Findings* findings) {
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    const ShopState& state = run.events[i].state;
    if (run.events[i].kind != Kind::kState || state.ambiguous) continue;
    for (std::size_t k = 0; k + 1 < state.queue.size(); ++k) {
      const std::optional<int> a = onlyOne(run.roster, state.queue[k]);
      const std::optional<int> b = onlyOne(run.roster, state.queue[k + 1]);
      if (!a || !b || *a == *b) continue;
      const VisitFacts &first = visitOf(facts, *a), &second = visitOf(facts, *b);
      if (!first.cutStart || !second.cutStart || *first.cutStart < *second.cutStart) continue;
      findings->add("served-in-order",
                    nameOf(run, *a) + " sat before " + nameOf(run, *b) + " but was cut after",
                    {i, *second.cutStart, *first.cutStart}, {*a, *b});
    }
  }
}

// How many lines of `kind` about customers called `id` come before line `before`.
std::size_t linesBefore(const RunRecord& run, Kind kind, const std::string& id,
                        std::size_t before) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < before && i < run.events.size(); ++i) {
    count += run.events[i].kind == kind && run.events[i].id == id ? 1 : 0;
  }
  return count;
}

// The barber goes to bed only with nobody waiting. So every customer who had sat down before
// another found him asleep must be cut before that one, who woke him: if not, the barber went to
// bed with the first one waiting, and only the later arrival got him up again (a lost wake-up).
// Seated customers are counted by ID, since the text cannot tell which of two namesakes sat
// first; a waker with a namesake is passed over, as its lines may be the other's.
void lostWakeUps(const RunRecord& run, const RunFacts& facts, Findings* findings) {
  const int n = static_cast<int>(facts.visits.size());
  const IdBook ids(run.roster);
  for (int waker = 0; waker < n; ++waker) {
    const VisitFacts& w = visitOf(facts, waker);
    if (!w.woke || !w.sawAsleep || !w.cutStart || !onlyOne(run.roster, run.roster[waker].id)) {
      continue;
    }
    for (const std::string& id : ids.ids()) {
      const std::size_t sat = linesBefore(run, Kind::kGotChair, id, *w.sawAsleep);
      if (sat <= linesBefore(run, Kind::kStartCutting, id, *w.cutStart)) continue;
      const std::optional<int> seated = onlyOne(run.roster, id);
      const std::string name = seated ? nameOf(run, *seated) : "a customer called " + id;
      findings->add(
          "served-in-order",
          name + " sat in the queue before " + nameOf(run, waker) + " found the barber asleep at " +
              msText(Micros{run.events[*w.sawAsleep].us}) + ", yet " + nameOf(run, waker) +
              " was cut first: the barber went to bed with " + name + " waiting (a lost wake-up)",
          {*w.sawAsleep, *w.cutStart}, {waker, seated.value_or(-1)});
    }
  }
}

void servedInOrder(const RunRecord& run, const RunFacts& facts, Findings* findings) {
  queueOrder(run, facts, findings);
  lostWakeUps(run, facts, findings);
}

void everyoneSeatedIsCut(const RunRecord& run, const RunFacts& facts, Findings* findings) {
  for (int who = 0; who < static_cast<int>(facts.visits.size()); ++who) {
    const VisitFacts& visit = visitOf(facts, who);
    const std::string name = nameOf(run, who);
    if (visit.cuts > 1)
      findings->add("everyone-seated-is-cut", name + " was cut more than once", {}, {who});
    if (visit.saidGone && visit.cuts > 0) {
      findings->add("everyone-seated-is-cut", name + " went away uncut, yet was cut", visit.lines,
                    {who});
    }
    if (facts.closed && (visit.woke || visit.sat) && !visit.saidGone && visit.cuts == 0) {
      findings->add("everyone-seated-is-cut",
                    name + (visit.woke ? " woke the barber" : " sat down") + " but was never cut",
                    visit.lines, {who});
    }
  }
}

// A customer is released only after the barber's finish line for it, and by then is on the
// finished list, which every later block shows.
void releasedAfterFinish(const RunRecord& run, const RunFacts& facts, Findings* findings) {
  std::map<std::string, std::size_t> released;  // by ID: customers who have left after a cut
  std::vector<std::pair<std::size_t, int>> leaves;
  for (int who = 0; who < static_cast<int>(facts.visits.size()); ++who) {
    const VisitFacts& visit = visitOf(facts, who);
    if (!visit.leave) continue;
    leaves.emplace_back(*visit.leave, who);
    if (visit.finish && *visit.finish < *visit.leave) continue;
    findings->add("released-after-finish",
                  nameOf(run, who) + " left after being cut before the barber finished its cut",
                  {*visit.leave}, {who});
  }
  std::sort(leaves.begin(), leaves.end());
  auto next = leaves.begin();
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    for (; next != leaves.end() && next->first < i; ++next) ++released[run.roster[next->second].id];
    const Event& event = run.events[i];
    if (event.kind != Kind::kState || event.state.ambiguous) continue;
    for (const auto& [id, count] : released) {
      const auto listed = std::count(event.state.finished.begin(), event.state.finished.end(), id);
      if (static_cast<std::size_t>(listed) >= count) continue;
      findings->add("released-after-finish",
                    id + " left after its cut but is not on the finished list", {i}, {});
    }
  }
}

// A tear is a line or block printed in pieces with other text between them: the pieces of one
// tear lie within a few events of each other. The first tear is shown whole, what came between
// its pieces included, since that text is what tore it.
void noTornLine(const RunRecord& run, const RunFacts&, Findings* findings) {
  constexpr std::size_t kSameTear = 8;  // events between two pieces of one tear, at most
  std::vector<std::pair<std::size_t, std::size_t>> tears;  // first and last piece
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    if (run.events[i].kind != Kind::kTorn) continue;
    if (!tears.empty() && i - tears.back().second <= kSameTear) {
      tears.back().second = i;
    } else {
      tears.emplace_back(i, i);
    }
  }
  if (tears.empty()) return;
  std::vector<std::size_t> shown;
  for (std::size_t i = tears[0].first; i <= tears[0].second; ++i) shown.push_back(i);
  std::string what = "a line or state block printed in pieces, with other text between them";
  if (tears.size() > 1) {
    what += " (" + std::to_string(tears.size()) + " tears in this run; the first is shown)";
  }
  findings->add(kTornRule, what, shown, {});
}

}  // namespace

void Findings::add(const char* rule, std::string what, std::vector<std::size_t> events,
                   std::vector<int> who) {
  // A state of affairs that every later block shows again is reported once.
  if (!seen_.emplace(rule, what).second) return;
  // A line about an ID nobody on the roster has is about nobody: only customers are named.
  who.erase(std::remove(who.begin(), who.end(), -1), who.end());
  list_.push_back(Finding{rule, std::move(what), std::move(events), std::move(who)});
}

const std::vector<Rule>& rules() {
  static const std::vector<Rule> kRules = {
      {"one-way-out", "every customer leaves exactly once, one way", oneWayOut},
      {"one-in-chair", "never two customers in the barber's chair", oneInChair},
      {"queue-capacity", "never more than six customers waiting", queueCapacity},
      {"served-in-order", "customers are cut in the order they sat down", servedInOrder},
      {"everyone-seated-is-cut", "everyone who woke the barber or sat down is cut, once",
       everyoneSeatedIsCut},
      {"released-after-finish", "nobody leaves before the barber has finished its cut",
       releasedAfterFinish},
      {kTornRule, "every line and state block printed whole", noTornLine},
  };
  return kRules;
}
