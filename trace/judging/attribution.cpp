// Sharing out namesakes' lines: every way the text allows, one line at a time. Ways that leave
// the same crowd of namesakes (how many stand at each step of a visit, whoever they are) are one
// class, and every class is kept: what the rest of the run can still break depends only on the
// crowd, so no reading that breaks fewer rules is ever dropped. With ten customers at most the
// classes are few, so the search stays linear in the run.

#include "trace/judging/attribution.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "trace/common/micros.h"
#include "trace/judging/visit.h"

namespace {

// Within this many microseconds of the best fit, another sharing is as likely.
constexpr std::int64_t kAsLikelyUs = 5000;
constexpr std::int64_t kImpossible = 1000000000;
// Labellings of one crowd kept at each line: enough for the times to tell namesakes apart.
constexpr std::size_t kLabellings = 4;

// One customer of the group as one way of sharing has it so far.
struct Member {
  VisitStep step = VisitStep::kNone;
  bool came = false, woke = false, sat = false, inChair = false, cut = false, finished = false;
  int seatedAt = -1;          // which of the group's seats it took, for the order it is served in
  std::int64_t startUs = -1;  // its cut's start line, for how well the finish fits its time
  // What the rest of the run can still do with it: the times are only for telling apart.
  std::uint32_t key() const {
    return static_cast<std::uint32_t>(step) | came << 4 | woke << 5 | sat << 6 | inChair << 7 |
           cut << 8 | finished << 9;
  }
  auto story() const { return std::make_tuple(woke, sat, cut); }
};

struct Way {
  std::vector<Member> members;
  int node = -1;            // its last choice in the shared history; -1 before the first line
  int faults = 0;           // lines the visit rules would call wrong
  std::int64_t misfit = 0;  // how far the times are from the roster's, in microseconds
  int seats = 0;
  auto rank() const { return std::make_pair(faults, misfit); }
};

// The choices of every way, each kept once: a way's history is the chain from its node back.
struct History {
  std::vector<int> parent, member;
  int add(int from, int m) {
    parent.push_back(from);
    member.push_back(m);
    return static_cast<int>(parent.size()) - 1;
  }
  std::vector<int> choices(int node, std::size_t count) const {
    std::vector<int> out(count);
    for (std::size_t k = count; k-- > 0; node = parent[static_cast<std::size_t>(node)]) {
      out[k] = member[static_cast<std::size_t>(node)];
    }
    return out;
  }
};

bool byRank(const Way& a, const Way& b) { return a.rank() < b.rank(); }

std::vector<std::uint32_t> sortedCopy(std::vector<std::uint32_t> keys) {
  std::sort(keys.begin(), keys.end());
  return keys;
}

struct Group {
  const Roster& roster;
  std::vector<int> positions;  // the namesakes, in roster order
  std::int64_t delayUs(int m) const {
    return Micros::ofMs(std::max(0, roster[static_cast<std::size_t>(positions[m])].delayMs)).count;
  }
  std::int64_t cutUs(int m) const {
    return Micros::ofMs(std::max(0, roster[static_cast<std::size_t>(positions[m])].cuttingMs))
        .count;
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

// One member of each kind among `fits`: members alike, in this way's state and on the roster,
// give one option, told by `before`. Namesakes whose delays or cutting times differ are each an
// option, since only the times still to come may tell them apart.
std::vector<int> options(const Group& group, const Way& way, const std::vector<int>& fits,
                         std::int64_t us) {
  std::map<std::tuple<std::uint32_t, std::int64_t, std::int64_t>, int> best;
  for (int m : fits) {
    auto [at, added] =
        best.emplace(std::make_tuple(way.members[m].key(), group.delayUs(m), group.cutUs(m)), m);
    if (!added && before(group, way, m, at->second, us)) at->second = m;
  }
  std::vector<int> out;
  for (const auto& [kind, m] : best) out.push_back(m);
  return out;
}

struct Choice {
  int member;
  bool fault;
};

std::vector<Choice> customerChoices(const Group& group, const Way& way, const Event& event) {
  std::vector<int> fits;
  for (int m = 0; m < static_cast<int>(way.members.size()); ++m) {
    VisitStep step = way.members[m].step;
    if (advance(&step, event.kind)) fits.push_back(m);
  }
  std::vector<Choice> choices;
  for (int m : options(group, way, fits, event.us)) choices.push_back({m, false});
  if (choices.empty())
    choices.push_back({0, true});  // no visit can go on with it: the check says so
  return choices;
}

std::vector<Choice> barberChoices(const Group& group, const Way& way, const Event& event,
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
    const bool woke = x.woke || x.step == VisitStep::kTried;
    const bool sat = x.sat || x.step == VisitStep::kTriedChair;
    (afterWake ? woke : sat) ? handedOver.push_back(m) : others.push_back(m);
  }
  std::vector<Choice> choices;
  for (int m : options(group, way, handedOver, event.us)) choices.push_back({m, false});
  if (choices.empty()) {
    for (int m : options(group, way, others, event.us)) choices.push_back({m, true});
  }
  if (choices.empty()) choices.push_back({0, true});
  return choices;
}

// A customer's own line, as `choice` gives it to a member: a line that rules the member's story
// wrong (gone away uncut after a cut, out before its finish) costs a fault as the rules would.
void customerLine(const Group& group, const Event& event, Choice choice, Way* way) {
  Member& x = way->members[choice.member];
  if (!x.came && event.us + 1000 < group.delayUs(choice.member)) way->misfit += kImpossible;
  x.came = true;
  if (choice.fault) return;
  (void)advance(&x.step, event.kind);
  switch (event.kind) {
    case Kind::kWokeBarber:
      x.woke = true;
      break;
    case Kind::kGotChair:
      x.sat = true;
      x.seatedAt = way->seats++;
      break;
    case Kind::kQueueFull:
    case Kind::kNoChair:
      way->faults += x.cut ? 1 : 0;
      break;
    case Kind::kLeaveCut:
      way->faults += x.finished ? 0 : 1;
      break;
    default:
      break;
  }
}

void apply(const Group& group, const Event& event, Choice choice, Way* way) {
  Member& x = way->members[choice.member];
  way->faults += choice.fault ? 1 : 0;
  if (event.kind == Kind::kStartCutting) {
    way->faults += x.cut ? 1 : 0;
    // Cut on the way to a chair it will then not get, or after saying it went away.
    way->faults += x.step == VisitStep::kOut && !x.finished ? 1 : 0;
    x.inChair = x.cut = true;
    x.startUs = event.us;
  } else if (event.kind == Kind::kFinishCutting) {
    if (x.startUs >= 0) way->misfit += std::abs(event.us - x.startUs - group.cutUs(choice.member));
    x.inChair = false;
    x.finished = true;
  } else {
    customerLine(group, event, choice, way);
  }
}

// The ways after one more line. Namesakes are one ID, so what the rest of the run can still
// break depends only on how many of them stand at each step, not on which is which: ways that
// leave the same crowd are one class, and every class is kept, so no reading that breaks fewer
// rules is ever dropped. Within a class the few that fit the roster's times best are kept, each
// labelling once, for the times still to come to tell the namesakes apart.
std::vector<Way> merge(std::vector<Way> next) {
  std::map<std::vector<std::uint32_t>, std::vector<Way>> classes;
  for (Way& way : next) {
    std::vector<std::uint32_t> crowd;
    for (const Member& member : way.members) crowd.push_back(member.key());
    std::vector<Way>& kept = classes[sortedCopy(crowd)];
    auto same = std::find_if(kept.begin(), kept.end(), [&](const Way& other) {
      return std::equal(crowd.begin(), crowd.end(), other.members.begin(), other.members.end(),
                        [](std::uint32_t key, const Member& m) { return key == m.key(); });
    });
    if (same == kept.end()) {
      kept.push_back(std::move(way));
    } else if (way.rank() < same->rank()) {
      *same = std::move(way);
    }
  }
  std::vector<Way> out;
  for (auto& [crowd, kept] : classes) {
    std::stable_sort(kept.begin(), kept.end(), byRank);
    if (kept.size() > kLabellings) kept.resize(kLabellings);
    for (Way& way : kept) out.push_back(std::move(way));
  }
  std::stable_sort(out.begin(), out.end(), byRank);
  return out;
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
  History history;
  std::vector<Way> ways(1);
  ways[0].members.resize(group.positions.size());
  for (std::size_t line : lines) {
    const Event& event = (*events)[line];
    const bool barber = event.actor() == Actor::kBarber;
    std::vector<Way> next;
    for (const Way& way : ways) {
      for (Choice choice : barber ? barberChoices(group, way, event, afterWake[line])
                                  : customerChoices(group, way, event)) {
        next.push_back(way);
        next.back().node = history.add(way.node, choice.member);
        apply(group, event, choice, &next.back());
      }
    }
    ways = merge(std::move(next));
  }
  for (Way& way : ways) {
    for (const Member& member : way.members) way.faults += closed && member.step != VisitStep::kOut;
  }
  std::stable_sort(ways.begin(), ways.end(),
                   [](const Way& a, const Way& b) { return a.rank() < b.rank(); });
  const std::vector<int> choices = history.choices(ways.front().node, lines.size());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    (*events)[lines[k]].who = group.positions[choices[k]];
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
