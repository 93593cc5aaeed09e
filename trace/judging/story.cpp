// The story of a run: one pass over its lines, a small model of the shop moved by the narration
// and set by each state block, and the shop, the visits and the barber's stretches read off the
// model after each line. Pure and single-threaded.

#include "trace/judging/story.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace {

constexpr struct {
  Place place;
  const char* name;
  const char* words;
} kPlaces[] = {
    {Place::kStreet, "street", "outside"},
    {Place::kDoor, "door", "at the door, in no chair"},
    {Place::kQueue, "queue", "waiting in the queue"},
    {Place::kChair, "chair", "in the barber's chair"},
    {Place::kLeftCut, "cut", "left cut"},
    {Place::kWentAway, "away", "went away uncut"},
    {Place::kLeftEarly, "early", "left before the barber finished"},
};

constexpr const char* kBarberWords[] = {"asleep", "awake", "cutting"};

std::size_t at(int who) { return static_cast<std::size_t>(who); }

// What the lines and blocks have told so far. Flags by roster position keep each step linear.
class Model {
 public:
  explicit Model(const Roster& roster)
      : roster_(roster),
        came_(roster.size()),
        left_(roster.size()),
        early_(roster.size()),
        finishedLine_(roster.size()) {
    for (std::size_t who = 0; who < roster.size(); ++who) {
      namesakes_[roster[who].id].push_back(static_cast<int>(who));
    }
  }

  void line(const Event& event) {
    const bool known = event.who >= 0 && at(event.who) < roster_.size();
    if (event.kind == Kind::kState) {
      block(event.state);
    } else if (event.actor() == Actor::kBarber) {
      barberLine(event.kind, known ? event.who : -1);
    } else if (event.actor() == Actor::kCustomer && known) {
      customerLine(event.kind, event.who);
    }
  }

  ShopFrame frame() const;

 private:
  void arrive(int who) {
    if (came_[at(who)]) return;
    came_[at(who)] = true;
    order_.push_back(who);
  }
  void unseat(int who) {
    if (chair_ == who) chair_ = -1;
    queue_.erase(std::remove(queue_.begin(), queue_.end(), who), queue_.end());
  }
  static void addOnce(std::vector<int>* list, int who) {
    if (std::find(list->begin(), list->end(), who) == list->end()) list->push_back(who);
  }

  void customerLine(Kind kind, int who);
  void barberLine(Kind kind, int who);
  void block(const ShopState& state);
  int pick(const std::string& id, const std::vector<int>& before, std::vector<bool>* taken) const;
  std::vector<int> picked(const std::vector<std::string>& ids,
                          const std::vector<int>& before) const;

  const Roster& roster_;
  std::map<std::string, std::vector<int>> namesakes_;
  BarberDoing barber_ = BarberDoing::kAsleep;
  int cutting_ = -1;
  int chair_ = -1;
  std::vector<int> queue_, finished_, gone_;
  std::vector<int> order_;  // in the order they first showed
  std::vector<bool> came_;
  std::vector<bool> left_;          // said their last line
  std::vector<bool> early_;         // said they left cut before his finish line for them
  std::vector<bool> finishedLine_;  // the barber's finish line for them is out
};

void Model::customerLine(Kind kind, int who) {
  arrive(who);
  if (left_[at(who)]) return;  // a line after its last is the check's to report
  switch (kind) {
    case Kind::kWokeBarber:
      // The waker is handed to the barber through his chair, even while he cuts another there.
      unseat(who);
      chair_ = who;
      break;
    case Kind::kGotChair:
      if (chair_ != who) addOnce(&queue_, who);
      break;
    case Kind::kQueueFull:
    case Kind::kNoChair:
      unseat(who);
      addOnce(&gone_, who);
      left_[at(who)] = true;
      break;
    case Kind::kLeaveCut:
      unseat(who);
      left_[at(who)] = true;
      early_[at(who)] = !finishedLine_[at(who)];
      break;
    default:
      break;
  }
}

void Model::barberLine(Kind kind, int who) {
  switch (kind) {
    case Kind::kBarberToBed:
      barber_ = BarberDoing::kAsleep;
      cutting_ = -1;
      // A customer who woke him may already sit there, before his bed line is out.
      if (chair_ >= 0 && std::find(finished_.begin(), finished_.end(), chair_) != finished_.end())
        chair_ = -1;
      break;
    case Kind::kBarberWokenUp:
      barber_ = BarberDoing::kAwake;
      cutting_ = -1;
      break;
    case Kind::kStartCutting:
      barber_ = BarberDoing::kCutting;
      cutting_ = who;
      if (who < 0) break;
      arrive(who);
      if (left_[at(who)]) break;
      unseat(who);
      chair_ = who;
      break;
    case Kind::kFinishCutting:
      barber_ = BarberDoing::kAwake;
      cutting_ = -1;
      if (who < 0) break;
      finishedLine_[at(who)] = true;
      // He puts the customer on the finished list before letting it go.
      addOnce(&finished_, who);
      break;
    default:
      break;
  }
}

// The roster position a block's ID stands for. IDs may repeat: of the namesakes not yet taken
// for this list, the one the model already has there (in its order), else one in the shop,
// else the first; -1 for an ID no customer has.
int Model::pick(const std::string& id, const std::vector<int>& before,
                std::vector<bool>* taken) const {
  const auto found = namesakes_.find(id);
  if (found == namesakes_.end()) return -1;
  const std::vector<int>& same = found->second;
  auto free = [&](int who) { return who >= 0 && roster_[at(who)].id == id && !(*taken)[at(who)]; };
  int chosen = -1;
  for (int who : before) {
    if (free(who)) {
      chosen = who;
      break;
    }
  }
  for (auto it = same.begin(); it != same.end() && chosen < 0; ++it) {
    if (free(*it) && came_[at(*it)] && !left_[at(*it)]) chosen = *it;
  }
  for (auto it = same.begin(); it != same.end() && chosen < 0; ++it) {
    if (free(*it)) chosen = *it;
  }
  if (chosen >= 0) (*taken)[at(chosen)] = true;
  return chosen;
}

// A list of the block's IDs as positions.
std::vector<int> Model::picked(const std::vector<std::string>& ids,
                               const std::vector<int>& before) const {
  std::vector<bool> taken(roster_.size());
  std::vector<int> out;
  for (const std::string& id : ids) {
    const int who = pick(id, before, &taken);
    if (who >= 0) out.push_back(who);
  }
  return out;
}

void Model::block(const ShopState& state) {
  std::vector<int> chair;
  if (state.chair) chair = picked({*state.chair}, {chair_});
  std::vector<int> queue = picked(state.queue, queue_);
  std::vector<int> finished = picked(state.finished, finished_);
  std::vector<int> gone = picked(state.gone, gone_);
  chair_ = chair.empty() ? -1 : chair.front();
  queue_ = std::move(queue);
  finished_ = std::move(finished);
  gone_ = std::move(gone);
  for (int who : gone_) left_[at(who)] = true;
  if (chair_ >= 0) arrive(chair_);
  for (const std::vector<int>* list : {&queue_, &finished_, &gone_}) {
    for (int who : *list) arrive(who);
  }
}

ShopFrame Model::frame() const {
  ShopFrame frame;
  frame.barber = barber_;
  frame.cutting = cutting_;
  frame.chair = chair_;
  frame.queue = queue_;
  frame.finished = finished_.size();
  frame.gone = gone_.size();
  // The chairs are as the program holds them; one who has left and is still held there is also
  // where its last line took it.
  std::vector<bool> placed(roster_.size());
  if (chair_ >= 0 && !left_[at(chair_)]) placed[at(chair_)] = true;
  for (int who : queue_) placed[at(who)] = placed[at(who)] || !left_[at(who)];
  auto place = [&](std::vector<int>* list, int who) {
    if (placed[at(who)]) return;
    placed[at(who)] = true;
    list->push_back(who);
  };
  for (int who : order_) {
    if (early_[at(who)]) place(&frame.early, who);
  }
  for (int who : finished_) place(&frame.cut, who);
  for (int who : gone_) place(&frame.away, who);
  for (int who : order_) {
    if (!left_[at(who)]) {
      place(&frame.door, who);
    } else {
      // Gone by its own last line, on neither list the blocks keep: where that line took it.
      place(early_[at(who)] ? &frame.early : &frame.cut, who);
    }
  }
  return frame;
}

// Every customer's place in `frame`.
std::vector<Place> placesIn(const ShopFrame& frame, std::size_t customers) {
  std::vector<Place> places(customers, Place::kStreet);
  if (frame.chair >= 0) places[at(frame.chair)] = Place::kChair;
  // The lists of those who have left come last: a chair that still holds one does not seat it.
  const std::pair<const std::vector<int>*, Place> lists[] = {{&frame.queue, Place::kQueue},
                                                             {&frame.door, Place::kDoor},
                                                             {&frame.cut, Place::kLeftCut},
                                                             {&frame.away, Place::kWentAway},
                                                             {&frame.early, Place::kLeftEarly}};
  for (const auto& list : lists) {
    for (int who : *list.first) places[at(who)] = list.second;
  }
  return places;
}

void note(std::optional<Moment>* moment, const Event& event, std::size_t line) {
  if (!*moment) *moment = Moment{Micros{event.us}, line};
}

// Each customer's moments, as its own lines and the barber's say them.
void visitLine(Visit* visit, const Event& event, std::size_t line) {
  switch (event.kind) {
    case Kind::kStartCutting:
      return note(&visit->cutStart, event, line);
    case Kind::kFinishCutting:
      return note(&visit->cutFinish, event, line);
    default:
      break;
  }
  note(&visit->arrived, event, line);
  if (event.kind == Kind::kGotChair) note(&visit->sat, event, line);
  if (event.kind == Kind::kWokeBarber) note(&visit->woke, event, line);
  if (visit->left) return;  // a second way out is the check's to report
  if (event.kind == Kind::kLeaveCut) {
    note(&visit->left, event, line);
    visit->leftEarly = !visit->cutFinish;
    // Cut without having woken the barber: it can only have come through the queue.
    visit->outcome = visit->woke ? Outcome::kWoke : Outcome::kWaited;
  } else if (event.kind == Kind::kQueueFull || event.kind == Kind::kNoChair) {
    note(&visit->left, event, line);
    visit->outcome =
        event.kind == Kind::kQueueFull ? Outcome::kAwayQueueFull : Outcome::kAwayNoChair;
  }
}

// The pass: the model moved line by line, and the story read off it wherever the shop changed.
class Teller {
 public:
  Teller(const RunRecord& run, Story* story)
      : run_(run), s_(*story), model_(run.roster), places_(run.roster.size(), Place::kStreet) {
    s_.visits.resize(run.roster.size());
    s_.facts.visits.resize(run.roster.size());
    s_.facts.closed = run.end == RunEnd::kClosed;
    s_.shop.push_back(ShopMoment{0, Micros{}, model_.frame()});
    s_.barber.push_back(BarberStay{BarberDoing::kAsleep, -1, Micros{}, Micros{}, std::nullopt});
    s_.queue.push_back(QueueStep{Micros{}, 0});
  }

  void line(std::size_t i) {
    const Event& event = run_.events[i];
    model_.line(event);
    factsLine(run_, i, &s_.facts);
    if (event.aboutCustomer() && event.who >= 0 && at(event.who) < s_.visits.size()) {
      visitLine(&s_.visits[at(event.who)], event, i);
    }
    if (event.kind == Kind::kState) {
      // A block shows the queue whole, even where the lines missed a change.
      s_.longestQueue = std::max(s_.longestQueue, event.state.fewestWaiting);
    }
    ShopFrame frame = model_.frame();
    if (frame == s_.shop.back().shop) return;
    const Micros when{event.us};
    changed(frame, when, i);
    s_.shop.push_back(ShopMoment{i + 1, when, std::move(frame)});
  }

  void end() {
    s_.barber.back().to = s_.end;
    for (Visit& visit : s_.visits) {
      if (!visit.stays.empty()) visit.stays.back().to = s_.end;
    }
  }

 private:
  void changed(const ShopFrame& frame, Micros when, std::size_t i) {
    const BarberStay& last = s_.barber.back();
    if (frame.barber != last.doing || frame.cutting != last.who) {
      s_.barber.back().to = when;
      s_.barber.push_back(BarberStay{frame.barber, frame.cutting, when, when, i});
    }
    if (frame.queue.size() != s_.queue.back().length) {
      s_.queue.push_back(QueueStep{when, frame.queue.size()});
      s_.longestQueue = std::max(s_.longestQueue, frame.queue.size());
    }
    const std::vector<Place> places = placesIn(frame, places_.size());
    for (std::size_t who = 0; who < places.size(); ++who) {
      // Being cut wherever the chair's pointer says it is, until it leaves.
      const bool gone = places[who] == Place::kLeftCut || places[who] == Place::kWentAway ||
                        places[who] == Place::kLeftEarly;
      const bool cutting =
          !gone && frame.barber == BarberDoing::kCutting && frame.cutting == static_cast<int>(who);
      std::vector<Stay>& stays = s_.visits[who].stays;
      if (places[who] == places_[who] && (stays.empty() || stays.back().cutting == cutting))
        continue;
      if (!stays.empty()) stays.back().to = when;
      stays.push_back(Stay{places[who], when, when, i, cutting});
    }
    places_ = places;
  }

  const RunRecord& run_;
  Story& s_;
  Model model_;
  std::vector<Place> places_;
};

Micros runEnd(const RunRecord& run, Story* story) {
  Micros end{run.endUs};
  for (const Event& event : run.events) {
    end = std::max(end, Micros{event.us});
    if (event.kind == Kind::kClosing && !story->closing) story->closing = Micros{event.us};
  }
  return end;
}

void totals(Story* s) {
  for (Visit& visit : s->visits) {
    if (!visit.left && visit.arrived) visit.outcome = Outcome::kStillThere;
    if (visit.outcome == Outcome::kWoke || visit.outcome == Outcome::kWaited || visit.cutFinish)
      ++s->cut;
    if (wentAway(visit.outcome)) ++s->sentAway;
    if (visit.leftEarly) ++s->leftEarly;
  }
  // The barber's stretches follow one another from 0 to the end, so their cutting ones add up
  // to no more than the run.
  Micros cutting;
  for (const BarberStay& stay : s->barber) {
    if (stay.doing == BarberDoing::kCutting) cutting = cutting + (stay.to - stay.from);
  }
  s->busyShare = s->end.count > 0 ? cutting.ms() / s->end.ms() : 0;
}

}  // namespace

bool ShopFrame::operator==(const ShopFrame& other) const {
  return barber == other.barber && cutting == other.cutting && chair == other.chair &&
         queue == other.queue && door == other.door && cut == other.cut && away == other.away &&
         early == other.early && finished == other.finished && gone == other.gone;
}

const ShopFrame& Story::shopAfter(std::size_t lines) const {
  auto after = std::upper_bound(shop.begin(), shop.end(), lines,
                                [](std::size_t n, const ShopMoment& m) { return n < m.lines; });
  return std::prev(after)->shop;
}

Story tellStory(const RunRecord& run) {
  Story story;
  story.end = runEnd(run, &story);
  Teller teller(run, &story);
  for (std::size_t i = 0; i < run.events.size(); ++i) teller.line(i);
  teller.end();
  totals(&story);
  return story;
}

const char* placeWords(Place place) { return kPlaces[static_cast<int>(place)].words; }
const char* placeName(Place place) { return kPlaces[static_cast<int>(place)].name; }
const char* barberWord(BarberDoing doing) { return kBarberWords[static_cast<int>(doing)]; }
