// Sharing out namesakes' lines: a small search over the ways the text allows, kept to the few
// best at each line, so it stays linear in the run.

#include "trace/judging/attribution.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "trace/judging/visit.h"

namespace {

// Kept per line: more ways than this are pruned to the best.
constexpr std::size_t kMostWays = 64;
// Within this many microseconds of the best fit, another sharing is as likely.
constexpr std::int64_t kAsLikelyUs = 5000;
constexpr std::int64_t kImpossible = 1000000000;

// One customer of the group as one way of sharing has it so far.
struct Member {
  Step step = Step::kNone;
  bool came = false, woke = false, sat = false, inChair = false, cut = false, finished = false;
  int seatedAt = -1;
  std::int64_t startUs = -1;
  auto key() const {
    return std::make_tuple(step, came, woke, sat, inChair, cut, finished, seatedAt, startUs);
  }
  bool operator<(const Member& other) const { return key() < other.key(); }
  bool operator==(const Member& other) const { return key() == other.key(); }
  auto story() const { return std::make_tuple(woke, sat, cut); }
};

struct Way {
  std::vector<Member> members;
  std::vector<int> choice;  // the member each of the group's lines went to
  int faults = 0;           // lines the visit rules would call wrong
  std::int64_t misfit = 0;  // how far the times are from the roster's, in microseconds
  int seats = 0;
  auto rank() const { return std::make_pair(faults, misfit); }
};

struct Group {
  const Roster& roster;
  std::vector<int> positions;  // the namesakes, in roster order
  std::int64_t delayUs(int m) const {
    return std::max(0, roster[static_cast<std::size_t>(positions[m])].delayMs) * 1000LL;
  }
  std::int64_t cutUs(int m) const {
    return std::max(0, roster[static_cast<std::size_t>(positions[m])].cuttingMs) * 1000LL;
  }
};

// The member one option stands for among those alike: a newcomer whose delay has passed and is
// shortest first; anyone else in the order they sat, then in roster order.
bool before(const Group& group, const Way& way, int a, int b, std::int64_t us) {
  const Member &x = way.members[a], &y = way.members[b];
  if (!x.came) {
    const bool xDue = group.delayUs(a) <= us, yDue = group.delayUs(b) <= us;
    if (xDue != yDue) return xDue;
    if (group.delayUs(a) != group.delayUs(b)) return group.delayUs(a) < group.delayUs(b);
    return a < b;
  }
  return std::make_pair(x.seatedAt < 0 ? 1 << 30 : x.seatedAt, a) <
         std::make_pair(y.seatedAt < 0 ? 1 << 30 : y.seatedAt, b);
}

// One member of each kind among `fits`: members alike, as far as this way has them and on the
// roster, give one option, told by `before`. Namesakes whose delays or cutting times differ are
// each an option, since only the times still to come may tell them apart.
std::vector<int> options(const Group& group, const Way& way, const std::vector<int>& fits,
                         std::int64_t us) {
  std::map<std::tuple<Member, std::int64_t, std::int64_t>, int> best;
  for (int m : fits) {
    auto [at, added] =
        best.emplace(std::make_tuple(way.members[m], group.delayUs(m), group.cutUs(m)), m);
    if (!added && before(group, way, m, at->second, us)) at->second = m;
  }
  std::vector<int> out;
  for (const auto& [member, m] : best) out.push_back(m);
  return out;
}

struct Step1 {
  int member;
  bool fault;
};

std::vector<Step1> customerSteps(const Group& group, const Way& way, const Event& event) {
  std::vector<int> fits;
  for (int m = 0; m < static_cast<int>(way.members.size()); ++m) {
    Step step = way.members[m].step;
    if (advance(&step, event.kind)) fits.push_back(m);
  }
  std::vector<Step1> steps;
  for (int m : options(group, way, fits, event.us)) steps.push_back({m, false});
  if (steps.empty()) steps.push_back({0, true});  // no visit can go on with it: the check says so
  return steps;
}

std::vector<Step1> barberSteps(const Group& group, const Way& way, const Event& event,
                               bool afterWake) {
  std::vector<int> handedOver, others;
  for (int m = 0; m < static_cast<int>(way.members.size()); ++m) {
    const Member& x = way.members[m];
    if (event.kind == Kind::kFinishCutting) {
      if (x.inChair) handedOver.push_back(m);
      continue;
    }
    if (x.cut || x.inChair) continue;
    // The barber may start a cut before its customer says it woke him or sat down.
    const bool woke = x.woke || x.step == Step::kTried;
    const bool sat = x.sat || x.step == Step::kTriedChair;
    (afterWake ? woke : sat) ? handedOver.push_back(m) : others.push_back(m);
  }
  std::vector<Step1> steps;
  for (int m : options(group, way, handedOver, event.us)) steps.push_back({m, false});
  if (steps.empty()) {
    for (int m : options(group, way, others, event.us)) steps.push_back({m, true});
  }
  if (steps.empty()) steps.push_back({0, true});
  return steps;
}

void apply(const Group& group, const Event& event, Step1 step, Way* way) {
  Member& x = way->members[step.member];
  way->choice.push_back(step.member);
  way->faults += step.fault ? 1 : 0;
  switch (event.kind) {
    case Kind::kStartCutting:
      way->faults += x.cut ? 1 : 0;
      x.inChair = x.cut = true;
      x.startUs = event.us;
      return;
    case Kind::kFinishCutting:
      if (x.startUs >= 0) way->misfit += std::abs(event.us - x.startUs - group.cutUs(step.member));
      x.inChair = false;
      x.finished = true;
      return;
    default:
      break;
  }
  if (!x.came && event.us + 1000 < group.delayUs(step.member)) way->misfit += kImpossible;
  x.came = true;
  if (step.fault) return;
  (void)advance(&x.step, event.kind);
  if (event.kind == Kind::kWokeBarber) x.woke = true;
  if (event.kind == Kind::kGotChair) {
    x.sat = true;
    x.seatedAt = way->seats++;
  }
  if (event.kind == Kind::kLeaveCut && !x.finished) ++way->faults;
}

// Keeps the best of the ways, each state once.
void prune(std::vector<Way>* ways) {
  std::stable_sort(ways->begin(), ways->end(),
                   [](const Way& a, const Way& b) { return a.rank() < b.rank(); });
  std::set<std::vector<Member>> seen;
  std::vector<Way> kept;
  for (Way& way : *ways) {
    if (kept.size() == kMostWays) break;
    if (seen.insert(way.members).second) kept.push_back(std::move(way));
  }
  *ways = std::move(kept);
}

void noteAlike(const Group& group, const std::vector<Way>& ways, Attribution* out) {
  const Way& best = ways.front();
  std::set<std::pair<int, int>> pairs;
  for (const Way& other : ways) {
    if (other.faults != best.faults || other.misfit > best.misfit + kAsLikelyUs) continue;
    std::vector<int> differ;
    for (std::size_t m = 0; m < best.members.size(); ++m) {
      if (best.members[m].story() != other.members[m].story())
        differ.push_back(static_cast<int>(m));
    }
    for (std::size_t i = 0; i + 1 < differ.size(); ++i) {
      pairs.emplace(group.positions[differ[i]], group.positions[differ[i + 1]]);
    }
  }
  out->alike.insert(out->alike.end(), pairs.begin(), pairs.end());
}

void attributeGroup(const Group& group, const std::vector<std::size_t>& lines,
                    const std::vector<bool>& afterWake, bool closed, std::vector<Event>* events,
                    Attribution* out) {
  std::vector<Way> ways(1);
  ways[0].members.resize(group.positions.size());
  for (std::size_t line : lines) {
    const Event& event = (*events)[line];
    std::vector<Way> next;
    for (const Way& way : ways) {
      const bool barber = event.actor() == Actor::kBarber;
      for (Step1 step : barber ? barberSteps(group, way, event, afterWake[line])
                               : customerSteps(group, way, event)) {
        next.push_back(way);
        apply(group, event, step, &next.back());
      }
    }
    ways = std::move(next);
    prune(&ways);
  }
  for (Way& way : ways) {
    for (const Member& member : way.members) way.faults += closed && member.step != Step::kOut;
  }
  prune(&ways);
  const Way& best = ways.front();
  for (std::size_t k = 0; k < lines.size(); ++k) {
    (*events)[lines[k]].who = group.positions[best.choice[k]];
  }
  if (group.positions.size() > 1) noteAlike(group, ways, out);
}

}  // namespace

Attribution attribute(const Roster& roster, bool closed, std::vector<Event>* events) {
  std::map<std::string, std::vector<int>> byId;
  for (std::size_t i = 0; i < roster.size(); ++i) byId[roster[i].id].push_back(static_cast<int>(i));
  std::map<std::string, std::vector<std::size_t>> linesOf;
  std::vector<bool> afterWake(events->size());
  bool woken = false;  // the barber's last line says he was woken and he has not started since
  for (std::size_t i = 0; i < events->size(); ++i) {
    Event& event = (*events)[i];
    if (event.kind == Kind::kBarberWokenUp) woken = true;
    if (event.kind == Kind::kStartCutting) afterWake[i] = std::exchange(woken, false);
    event.who = -1;
    if (event.aboutCustomer() && byId.count(event.id) > 0) linesOf[event.id].push_back(i);
  }
  Attribution out;
  for (const auto& [id, lines] : linesOf) {
    attributeGroup(Group{roster, byId[id]}, lines, afterWake, closed, events, &out);
  }
  return out;
}
