// The shop's rules, checked over one run's events.

#include "trace/judging/check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "core/shop.h"

namespace {

std::string ms(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f ms", value);
  return text;
}

double eventMs(const Event& event) { return static_cast<double>(event.us) / 1000.0; }

// Where a customer's visit has got to. Each of its lines moves it on; a line that cannot come
// next in any visit breaks the rule that a customer leaves exactly once, one way.
enum class Step {
  kNone,
  kSawSleeping,
  kTried,
  kWoke,
  kSawAwake,
  kTriedChair,
  kSat,
  kWaiting,
  kOut
};

bool advance(Step* step, Kind kind) {
  auto to = [&](Step next) {
    *step = next;
    return true;
  };
  switch (*step) {
    case Step::kNone:
      if (kind == Kind::kSeeSleeping) return to(Step::kSawSleeping);
      if (kind == Kind::kSeeNotSleeping) return to(Step::kSawAwake);
      return false;
    case Step::kSawSleeping:
      return kind == Kind::kTryToWake && to(Step::kTried);
    case Step::kTried:
      if (kind == Kind::kWokeBarber) return to(Step::kWoke);
      if (kind == Kind::kFailedToWake) return to(Step::kNone);
      return false;
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

// The lines that follow a state block, one each.
bool showsState(Kind kind) {
  return kind == Kind::kWokeBarber || kind == Kind::kQueueFull || kind == Kind::kTryForChair ||
         kind == Kind::kGotChair || kind == Kind::kLeaveCut;
}

struct Visit {
  Step step = Step::kNone;
  std::vector<std::size_t> lines;  // its own lines
  bool woke = false, sat = false, said_gone = false, left_cut = false;
  std::optional<std::size_t> saw_asleep, got_chair, cut_start;  // its last such lines
  int cuts = 0;
  std::optional<std::size_t> finish;  // its finish line
};

class Checker {
 public:
  Checker(const RunRecord& run, const Analysis& analysis) : run_(run), analysis_(analysis) {
    for (const RosterEntry& entry : run.roster) visits_[entry.id];
  }

  Verdict check() {
    for (std::size_t i = 0; i < run_.events.size(); ++i) step(i);
    endOfRun();
    compareWithSchedule();
    verdict_.complete = run_.end == RunEnd::kClosed;
    if (!verdict_.complete) verdict_.stuck = stuckStory();
    return verdict_;
  }

 private:
  void fault(const char* rule, std::string what, std::vector<std::size_t> events) {
    // A state of affairs that every later block shows again is reported once.
    for (const Finding& known : verdict_.broken) {
      if (known.rule == rule && known.what == what) return;
    }
    verdict_.broken.push_back(Finding{rule, std::move(what), std::move(events)});
  }

  void step(std::size_t i) {
    const Event& event = run_.events[i];
    switch (event.actor) {
      case Actor::kCustomer:
        customerLine(i);
        break;
      case Actor::kBarber:
        barberLine(i);
        break;
      case Actor::kShop:
        block(i);
        break;
      case Actor::kRun:
        if (event.kind == Kind::kTorn) {
          fault("no-torn-line", "text that is no whole narration line or state block", {i});
        }
        break;
    }
  }

  void customerLine(std::size_t i) {
    const Event& event = run_.events[i];
    auto found = visits_.find(event.customer);
    if (found == visits_.end()) {
      fault("known-customers", "a line for \"" + event.customer + "\", who is not on the roster",
            {i});
      return;
    }
    Visit& visit = found->second;
    visit.lines.push_back(i);
    if (!advance(&visit.step, event.kind)) {
      fault("one-way-out",
            event.customer +
                "'s visit cannot go on with this line: a customer leaves exactly "
                "once, one way",
            visit.lines);
      visit.step = Step::kOut;
    }
    if (showsState(event.kind)) ++blocks_due_;
    switch (event.kind) {
      case Kind::kSeeSleeping:
        visit.saw_asleep = i;
        break;
      case Kind::kWokeBarber:
        visit.woke = true;
        ++wake_ups_;
        break;
      case Kind::kGotChair:
        visit.sat = true;
        visit.got_chair = i;
        seated_.push_back(event.customer);
        break;
      case Kind::kQueueFull:
      case Kind::kNoChair:
        visit.said_gone = true;
        break;
      case Kind::kLeaveCut:
        visit.left_cut = true;
        if (!visit.finish) {
          fault("released-after-finish",
                event.customer + " left after being cut before the barber finished its cut", {i});
        }
        break;
      default:
        break;
    }
  }

  void barberLine(std::size_t i) {
    const Event& event = run_.events[i];
    if (event.kind == Kind::kBarberWokenUp) {
      ++barber_woken_;
      woken_ = true;
      return;
    }
    if (event.kind == Kind::kBarberToBed) return;
    auto found = visits_.find(event.customer);
    if (found == visits_.end()) {
      fault("known-customers",
            "the barber cut \"" + event.customer + "\", who is not on the roster", {i});
      return;
    }
    Visit& visit = found->second;
    if (event.kind == Kind::kStartCutting) {
      if (chair_) {
        fault("one-in-chair",
              event.customer + " was cut while " + run_.events[*chair_].customer +
                  " was still in the chair",
              {*chair_, i});
      }
      chair_ = i;
      ++visit.cuts;
      visit.cut_start = i;
      // The first cut after he wakes is the waker's; every other one is a seated customer's.
      // Either may say so only after the cut has begun, so this is settled at the end.
      handovers_.push_back({i, std::exchange(woken_, false)});
      cut_order_.push_back(event.customer);
    } else {
      if (!chair_ || run_.events[*chair_].customer != event.customer) {
        fault("one-in-chair",
              "the barber finished " + event.customer + ", who was not in the chair",
              chair_ ? std::vector<std::size_t>{*chair_, i} : std::vector<std::size_t>{i});
      }
      chair_.reset();
      visit.finish = i;
      finishes_.push_back(event.customer);
    }
  }

  // A block is made under the console lock, so it shows what the lines before it report.
  void block(std::size_t i) {
    const ShopState& state = run_.events[i].state;
    ++blocks_;
    if (state.queue.size() > WAIT_CHAIRS) {
      fault("queue-capacity",
            std::to_string(state.queue.size()) + " customers waiting; the shop has " +
                std::to_string(WAIT_CHAIRS) + " chairs",
            {i});
    }
    std::set<std::string> finished(state.finished.begin(), state.finished.end());
    for (auto& [id, visit] : visits_) {
      if (visit.left_cut && !finished.count(id)) {
        fault("released-after-finish", id + " left after its cut but is not on the finished list",
              {visit.lines.back(), i});
      }
    }
    // The finished list is this run's cuts in the order they ended; the last one may not be
    // on it yet, since the barber lists a customer just after printing the finish line.
    bool in_order = state.finished.size() <= finishes_.size() &&
                    state.finished.size() + 1 >= finishes_.size() &&
                    std::equal(state.finished.begin(), state.finished.end(), finishes_.begin());
    if (!in_order) {
      fault("block-shows-shop",
            "the finished list does not match the cuts finished so far (" +
                std::to_string(finishes_.size()) + ")",
            {i});
    }
    std::set<std::string> gone(state.gone.begin(), state.gone.end());
    // A customer joins the go-away list just before it says so: settled at the end.
    for (const std::string& id : state.gone) listed_gone_.emplace(id, i);
    for (auto& [id, visit] : visits_) {
      if (visit.said_gone && !gone.count(id)) {
        fault("block-shows-shop", id + " said it went away but is not on the go-away list",
              {visit.lines.back(), i});
      }
    }
    std::size_t seated_elsewhere = 0;
    for (const std::string& id : seated_) {
      bool waiting = std::count(state.queue.begin(), state.queue.end(), id) > 0;
      bool cut = std::count(cut_order_.begin(), cut_order_.end(), id) > 0;
      if (waiting && cut) fault("block-shows-shop", id + " is waiting after its cut began", {i});
      // The barber may have taken one from the queue and not yet said so.
      if (!waiting && !cut) ++seated_elsewhere;
    }
    if (seated_elsewhere > 1) {
      fault("block-shows-shop", "customers who sat down are missing from the queue", {i});
    }
    if (chair_ && state.chair != run_.events[*chair_].customer) {
      fault("block-shows-shop",
            "the chair shows " + state.chair.value_or("nobody") + " while " +
                run_.events[*chair_].customer + " is being cut",
            {*chair_, i});
    }
    for (std::size_t a = 0; a + 1 < state.queue.size(); ++a) {
      sat_before_.emplace(state.queue[a], std::make_pair(state.queue[a + 1], i));
    }
  }

  void endOfRun() {
    bool closed = run_.end == RunEnd::kClosed;
    for (auto& [id, visit] : visits_) {
      if (closed && visit.step != Step::kOut) {
        fault("one-way-out", id + " never left the shop", visit.lines);
      }
      if (visit.cuts > 1) fault("everyone-seated-is-cut", id + " was cut more than once", {});
      if (closed && (visit.woke || visit.sat) && !visit.said_gone && visit.cuts == 0) {
        fault("everyone-seated-is-cut", id + " sat down but was never cut", visit.lines);
      }
      if (visit.said_gone && visit.cuts > 0) {
        fault("everyone-seated-is-cut", id + " went away uncut, yet was cut", visit.lines);
      }
    }
    for (const auto& [id, index] : listed_gone_) {
      auto found = visits_.find(id);
      if (found == visits_.end() || !found->second.said_gone) {
        fault("block-shows-shop", id + " is listed as gone away but never said so", {index});
      }
    }
    for (const auto& [index, after_wake] : handovers_) {
      const std::string& id = run_.events[index].customer;
      const Visit& visit = visits_.at(id);
      if (after_wake ? !visit.woke : !visit.sat) {
        fault("cut-as-handed-over",
              id + (after_wake ? " was cut on a wake-up it did not make"
                               : " was cut without having sat down"),
              {index});
      }
    }
    lostWakeUps();
    for (const auto& [first, second] : sat_before_) {
      auto a = std::find(cut_order_.begin(), cut_order_.end(), first);
      auto b = std::find(cut_order_.begin(), cut_order_.end(), second.first);
      if (a != cut_order_.end() && b != cut_order_.end() && a > b) {
        fault("served-in-order", first + " sat before " + second.first + " but was cut after",
              {second.second, *visits_.at(second.first).cut_start, *visits_.at(first).cut_start});
      }
    }
    if (!closed) return;
    if (blocks_ != blocks_due_) {
      fault("state-blocks",
            std::to_string(blocks_) + " state blocks where the lines call for " +
                std::to_string(blocks_due_),
            {});
    }
    if (barber_woken_ != wake_ups_) {
      fault("one-wake-up-each",
            "the barber was woken " + std::to_string(barber_woken_) + " times by " +
                std::to_string(wake_ups_) + " customers who woke him",
            {});
    }
  }

  // The barber goes to bed only with nobody waiting. So a customer who had sat down before
  // another found him asleep must be cut before that one, who woke him: if not, the barber went
  // to bed with the first one waiting, and only the later arrival got him up again.
  void lostWakeUps() {
    for (const auto& [waker_id, waker] : visits_) {
      if (!waker.woke || !waker.saw_asleep || !waker.cut_start) continue;
      for (const auto& [id, seated] : visits_) {
        if (!seated.got_chair || *seated.got_chair > *waker.saw_asleep) continue;
        if (seated.cut_start && *seated.cut_start < *waker.cut_start) continue;
        const Event& sat = run_.events[*seated.got_chair];
        const Event& asleep = run_.events[*waker.saw_asleep];
        fault("no-sleep-while-waiting",
              id + " sat in the queue at " + ms(eventMs(sat)) + ", yet " + waker_id +
                  ", who found the barber asleep at " + ms(eventMs(asleep)) +
                  ", was cut first: the barber went to bed with " + id +
                  " waiting (a lost wake-up)",
              {*seated.got_chair, *waker.saw_asleep, *waker.cut_start});
      }
    }
  }

  // Outcomes against the exact schedule. A different outcome is a race, not a fault, when the
  // moment the customer came was too close to another to order: the schedule put them the
  // other way round, or at one moment.
  void compareWithSchedule() {
    // In the order the schedule has them arrive, so a race is known before what follows from it.
    std::vector<const CustomerStory*> stories;
    for (const CustomerStory& story : analysis_.customers) stories.push_back(&story);
    std::stable_sort(stories.begin(), stories.end(), [](const auto* a, const auto* b) {
      return a->planned.arrivalMs < b->planned.arrivalMs;
    });
    std::optional<Race> first_race;
    for (const CustomerStory* each : stories) {
      const CustomerStory& story = *each;
      if (story.outcome == Outcome::kStillThere || matches(story)) continue;
      std::string what = story.id + " " + outcomeText(story.outcome) + "; the exact schedule " +
                         plannedText(story.planned.outcome);
      if (std::optional<Race> race = racePartner(story)) {
        race->what = what;
        verdict_.races.push_back(*race);
        if (!first_race) first_race = race;
      } else if (first_race) {
        verdict_.races.push_back(Race{story.id, first_race->decided, first_race->apartMs,
                                      what + ", after the race between " + first_race->decided +
                                          " and " + first_race->other});
      } else {
        std::vector<std::size_t> lines = visits_[story.id].lines;
        fault("outcome-as-scheduled",
              what + " (it arrived at " + ms(story.arrivalMs.value_or(0)) +
                  ", no other moment of the schedule near it)",
              lines);
      }
    }
  }

  static bool matches(const CustomerStory& story) {
    switch (story.planned.outcome) {
      case Planned::kWakes:
        return story.outcome == Outcome::kWoke;
      case Planned::kWaits:
        return story.outcome == Outcome::kWaited;
      case Planned::kSentAway:
        return story.outcome == Outcome::kAwayQueueFull || story.outcome == Outcome::kAwayNoChair;
    }
    return false;
  }

  static const char* plannedText(Planned planned) {
    switch (planned) {
      case Planned::kWakes:
        return "has it wake the barber";
      case Planned::kWaits:
        return "has it wait in the queue";
      case Planned::kSentAway:
        return "sends it away";
    }
    return "";
  }

  // The moment of the schedule closest to the customer's arrival that the run could have put
  // on the other side of it: another arrival, or the end of a cut.
  std::optional<Race> racePartner(const CustomerStory& story) const {
    const double exact = static_cast<double>(story.planned.arrivalMs);
    const double measured = story.arrivalMs.value_or(exact);
    // Moments of the schedule less than this apart are one moment to a real machine.
    constexpr double kSameMoment = 1.0;
    std::optional<Race> best;
    auto consider = [&](const std::string& other, double other_exact,
                        std::optional<double> other_measured, const char* what) {
      double apart = std::fabs(other_exact - exact);
      bool swapped = other_measured && ((other_exact < exact) != (*other_measured < measured));
      // A line is printed a little after the moment it reports: two that came this close
      // may have happened the other way round.
      bool close = other_measured && std::fabs(*other_measured - measured) <= kSameMoment;
      if (apart > kSameMoment && !swapped && !close) return;
      if (!best || apart < best->apartMs) best = Race{story.id, other + what, apart, ""};
    };
    for (const CustomerStory& other : analysis_.customers) {
      if (other.id == story.id) continue;
      consider(other.id, static_cast<double>(other.planned.arrivalMs), other.arrivalMs, "");
      if (other.planned.outcome != Planned::kSentAway) {
        consider(other.id, static_cast<double>(other.planned.finishMs), other.cutFinishMs,
                 "'s cut ending");
      }
    }
    return best;
  }

  std::string stuckStory() const {
    std::string story;
    auto add = [&](const std::string& part) { story += (story.empty() ? "" : ", ") + part; };
    for (const CustomerStory& customer : analysis_.customers) {
      const Visit& visit = visits_.at(customer.id);
      if (visit.step == Step::kOut) continue;
      if (visit.lines.empty()) {
        add(customer.id + " never came in (its delay was " + std::to_string(customer.delayMs) +
            " ms)");
        continue;
      }
      const Event& last = run_.events[visit.lines.back()];
      if (visit.sat && visit.cuts == 0) {
        add(customer.id + " sat in the queue at " + ms(customer.satMs.value_or(eventMs(last))));
      } else if (visit.woke && visit.cuts == 0) {
        add(customer.id + " woke the barber at " + ms(eventMs(last)) + " but was never cut");
      } else {
        add(customer.id + " stopped after \"" + narration(last) + "\" at " + ms(eventMs(last)));
      }
    }
    const Event* barber = nullptr;
    for (const Event& event : run_.events) {
      if (event.actor == Actor::kBarber) barber = &event;
    }
    if (barber == nullptr || barber->kind == Kind::kBarberToBed) {
      add("the barber went to bed" + (barber ? " at " + ms(eventMs(*barber)) : std::string()) +
          " and nobody woke him");
    } else {
      add("the barber's last line was \"" + narration(*barber) + "\" at " + ms(eventMs(*barber)));
    }
    return story;
  }

  const RunRecord& run_;
  const Analysis& analysis_;
  Verdict verdict_;
  std::map<std::string, Visit> visits_;
  std::optional<std::size_t> chair_;  // the start line of the cut under way
  bool woken_ = false;
  int wake_ups_ = 0, barber_woken_ = 0;
  std::size_t blocks_ = 0, blocks_due_ = 0;
  std::vector<std::string> seated_, cut_order_, finishes_;
  std::vector<std::pair<std::size_t, bool>> handovers_;
  std::map<std::string, std::size_t>
      listed_gone_;  // first block that lists each  // start lines, and if after a wake-up
  std::multimap<std::string, std::pair<std::string, std::size_t>> sat_before_;
};

}  // namespace

Verdict checkRun(const RunRecord& run, const Analysis& analysis) {
  return Checker(run, analysis).check();
}
