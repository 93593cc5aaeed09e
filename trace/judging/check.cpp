// The verdict: the rules, the notes and the story of a stuck run.

#include "trace/judging/check.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "trace/common/micros.h"
#include "trace/judging/facts.h"
#include "trace/judging/rules.h"

namespace {

std::string nameOf(const RunRecord& run, int who) { return customerName(run.roster, who); }

// Moves the findings `unsure` picks from the broken rules to the notes, each after `why`.
template <typename Unsure>
void demote(Verdict* verdict, const std::string& why, Unsure unsure) {
  for (const Finding& finding : verdict->broken) {
    if (unsure(finding)) verdict->notes.push_back(why + finding.what);
  }
  verdict->broken.erase(std::remove_if(verdict->broken.begin(), verdict->broken.end(), unsure),
                        verdict->broken.end());
}

// Findings about namesakes whose lines could be each other's say nothing sure: they become notes.
void setAlikeApart(const RunRecord& run, const Attribution& attribution, Verdict* verdict) {
  std::set<int> alike;
  for (const auto& [first, second] : attribution.alike) {
    alike.insert(first);
    alike.insert(second);
    verdict->notes.push_back(nameOf(run, first) + " and " + nameOf(run, second) +
                             " cannot be told apart here: the program prints the same lines "
                             "for both, so which line is whose is a guess");
  }
  auto unsure = [&](const Finding& finding) {
    return std::any_of(finding.who.begin(), finding.who.end(),
                       [&](int who) { return alike.count(who) > 0; });
  };
  demote(verdict, "not counted, as these customers share an ID: ", unsure);
}

// Torn text means lines of two actors ran into each other: a line may be lost into another, a
// state block may carry another's bytes, so whatever else the text seems to show is no evidence
// of the shop's protocol. Only the tear is counted; the rest become notes.
void setTornApart(Verdict* verdict) {
  auto torn = [](const Finding& finding) { return finding.rule == kTornRule; };
  if (std::none_of(verdict->broken.begin(), verdict->broken.end(), torn)) return;
  demote(verdict, "not counted, as the printed text was torn: ", [&](const Finding& finding) {
    return !torn(finding);
  });
}

// The moment of the schedule nearest a customer's arrival, as words: another arrival or the end
// of a cut, which a real machine may have put on the other side of it.
std::string nearestMoment(const RunRecord& run, const Analysis& a, const CustomerStory& story) {
  const double exact = static_cast<double>(story.planned.arrivalMs);
  double best = INFINITY;
  std::string words;
  for (const CustomerStory& other : a.customers) {
    if (other.who == story.who) continue;
    const double arrival = static_cast<double>(other.planned.arrivalMs);
    if (std::fabs(arrival - exact) < best) {
      best = std::fabs(arrival - exact);
      words = nameOf(run, other.who) + "'s arrival";
    }
    const double finish = static_cast<double>(other.planned.finishMs);
    if (other.planned.finishMs >= 0 && std::fabs(finish - exact) < best) {
      best = std::fabs(finish - exact);
      words = "the end of " + nameOf(run, other.who) + "'s cut";
    }
  }
  return words.empty() ? words : fixed(best, 1) + " ms from " + words;
}

// An outcome the schedule did not plan breaks no rule: the machine decides what happens at one
// moment, and a thread that wakes late on a busy machine finds the shop as it is then.
void timingNotes(const RunRecord& run, const Analysis& a, Verdict* verdict) {
  for (const CustomerStory& story : a.customers) {
    if (!story.leftMs || fulfils(story.outcome, story.planned.outcome)) continue;
    std::string note = nameOf(run, story.who) + " " + wordsOf(story.outcome).words + "; the plan " +
                       plannedClause(story.planned.outcome) + " (it arrived at " +
                       ms(story.arrivalMs.value_or(0));
    const double late = story.arrivalMs.value_or(0) - static_cast<double>(story.planned.arrivalMs);
    const std::string near = nearestMoment(run, a, story);
    if (!near.empty()) note += ", " + near;
    if (late >= 1.0) note += ", " + fixed(late, 1) + " ms late";
    verdict->notes.push_back(note + ")");
  }
}

// Who else woke the barber and was cut: two wake-ups for one night, of which he kept one.
std::string alsoWoke(const RunRecord& run, const RunFacts& facts, int who) {
  std::string others;
  for (int other = 0; other < static_cast<int>(facts.visits.size()); ++other) {
    const VisitFacts& visit = facts.visits[static_cast<std::size_t>(other)];
    if (other == who || !visit.woke || visit.cuts == 0) continue;
    others += (others.empty() ? "" : " and ") + nameOf(run, other);
  }
  return others.empty() ? others
                        : " (" + others + " woke him too, and was the one he took to the chair)";
}

std::string timeOf(const Event& event) { return msText(Micros{event.us}); }

std::string stuckStory(const RunRecord& run, const Story& s) {
  const RunFacts& facts = s.facts;
  std::string story;
  auto add = [&](const std::string& part) { story += (story.empty() ? "" : ", ") + part; };
  for (int who = 0; who < static_cast<int>(facts.visits.size()); ++who) {
    const VisitFacts& visit = facts.visits[static_cast<std::size_t>(who)];
    const std::string name = nameOf(run, who);
    if (visit.step == VisitStep::kOut) continue;
    if (visit.lines.empty()) {
      add(name + " never came in (its delay was " +
          std::to_string(run.roster[static_cast<std::size_t>(who)].delayMs) + " ms)");
      continue;
    }
    const Event& last = run.events[visit.lines.back()];
    const std::optional<Moment>& sat = s.visits[static_cast<std::size_t>(who)].sat;
    if (visit.sat && visit.cuts == 0) {
      add(name + " sat in the queue at " + (sat ? msText(sat->at) : timeOf(last)));
    } else if (visit.woke && visit.cuts == 0) {
      add(name + " woke the barber at " + timeOf(last) + " but was never cut" +
          alsoWoke(run, facts, who));
    } else {
      add(name + " stopped after \"" + narration(last) + "\" at " + timeOf(last));
    }
  }
  const Event* barber = nullptr;
  for (const Event& event : run.events) {
    if (event.actor() == Actor::kBarber) barber = &event;
  }
  if (barber == nullptr || barber->kind == Kind::kBarberToBed) {
    add("the barber went to bed" + (barber ? " at " + timeOf(*barber) : std::string()) +
        " and nobody woke him again");
  } else {
    add("the barber's last line was \"" + narration(*barber) + "\" at " + timeOf(*barber));
  }
  return story;
}

}  // namespace

Verdict checkRun(const RunRecord& run, const Story& story, const Analysis& analysis,
                 const Attribution& attribution) {
  const RunFacts& facts = story.facts;
  Findings findings;
  for (const Rule& rule : rules()) rule.check(run, facts, &findings);
  Verdict verdict;
  verdict.broken = std::move(findings.list());
  setAlikeApart(run, attribution, &verdict);
  setTornApart(&verdict);
  timingNotes(run, analysis, &verdict);
  if (run.roster.empty() && !facts.strangers.empty()) {
    verdict.notes.push_back(
        "the customer list could not be read, so no line is checked against it");
  }
  verdict.complete = run.end == RunEnd::kClosed;
  verdict.stuck = run.end == RunEnd::kStuck;
  if (verdict.complete) return verdict;
  verdict.stuckStory = stuckStory(run, story);
  for (int who = 0; who < static_cast<int>(facts.visits.size()); ++who) {
    const VisitFacts& visit = facts.visits[static_cast<std::size_t>(who)];
    if (!visit.lines.empty() && visit.step != VisitStep::kOut) verdict.unfinished.push_back(who);
  }
  return verdict;
}
