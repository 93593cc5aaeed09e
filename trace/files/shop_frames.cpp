// The shop after each line: a small model moved by the narration and set by each state block.

#include "trace/files/shop_frames.h"

#include <algorithm>
#include <string>

namespace {

bool has(const std::vector<int>& list, int who) {
  return std::find(list.begin(), list.end(), who) != list.end();
}

void erase(std::vector<int>* list, int who) {
  list->erase(std::remove(list->begin(), list->end(), who), list->end());
}

void addOnce(std::vector<int>* list, int who) {
  if (!has(*list, who)) list->push_back(who);
}

// What the lines have told so far.
struct Model {
  BarberDoing barber = BarberDoing::kAsleep;
  int chair = -1;
  std::vector<int> queue, finished, gone;
  std::vector<int> came;   // in the order they first showed
  std::vector<bool> left;  // said their last line: cut and gone, or gone away

  void arrive(int who) { addOnce(&came, who); }
};

void customerLine(Model* m, Kind kind, int who) {
  m->arrive(who);
  switch (kind) {
    case Kind::kWokeBarber:
      // The waker is handed to the barber through his chair.
      erase(&m->queue, who);
      m->chair = who;
      break;
    case Kind::kGotChair:
      if (m->chair != who) addOnce(&m->queue, who);
      break;
    case Kind::kQueueFull:
    case Kind::kNoChair:
      erase(&m->queue, who);
      addOnce(&m->gone, who);
      m->left[static_cast<std::size_t>(who)] = true;
      break;
    case Kind::kLeaveCut:
      if (m->chair == who) m->chair = -1;
      m->left[static_cast<std::size_t>(who)] = true;
      break;
    default:
      break;
  }
}

void barberLine(Model* m, Kind kind, int who) {
  switch (kind) {
    case Kind::kBarberToBed:
      m->barber = BarberDoing::kAsleep;
      // A customer who woke him may already sit there, before his bed line is out.
      if (m->chair >= 0 && has(m->finished, m->chair)) m->chair = -1;
      break;
    case Kind::kBarberWokenUp:
      m->barber = BarberDoing::kAwake;
      break;
    case Kind::kStartCutting:
      m->barber = BarberDoing::kCutting;
      if (who < 0) break;
      m->arrive(who);
      erase(&m->queue, who);
      m->chair = who;
      break;
    case Kind::kFinishCutting:
      m->barber = BarberDoing::kAwake;
      // He puts the customer on the finished list before letting it go.
      if (who >= 0) addOnce(&m->finished, who);
      break;
    default:
      break;
  }
}

// The roster position a block's ID stands for. IDs may repeat: of the namesakes not yet taken
// for this list, the one the model already has there (in its order), else one in the shop,
// else the first; -1 for an ID no customer has.
int pick(const std::string& id, const Roster& roster, const Model& m,
         const std::vector<int>& before, std::vector<int>* taken) {
  // `before` may hold -1, an empty chair.
  auto fits = [&](int who) {
    return who >= 0 && static_cast<std::size_t>(who) < roster.size() &&
           roster[static_cast<std::size_t>(who)].id == id && !has(*taken, who);
  };
  int found = -1;
  for (int who : before) {
    if (fits(who)) {
      found = who;
      break;
    }
  }
  const int count = static_cast<int>(roster.size());
  for (int who = 0; who < count && found < 0; ++who) {
    if (fits(who) && has(m.came, who) && !m.left[static_cast<std::size_t>(who)]) found = who;
  }
  for (int who = 0; who < count && found < 0; ++who) {
    if (fits(who)) found = who;
  }
  if (found >= 0) taken->push_back(found);
  return found;
}

std::vector<int> picked(const std::vector<std::string>& ids, const Roster& roster, const Model& m,
                        const std::vector<int>& before) {
  std::vector<int> taken;
  for (const std::string& id : ids) (void)pick(id, roster, m, before, &taken);
  return taken;
}

void stateBlock(Model* m, const ShopState& state, const Roster& roster) {
  std::vector<int> chairTaken;
  const int chair = state.chair ? pick(*state.chair, roster, *m, {m->chair}, &chairTaken) : -1;
  std::vector<int> queue = picked(state.queue, roster, *m, m->queue);
  std::vector<int> finished = picked(state.finished, roster, *m, m->finished);
  std::vector<int> gone = picked(state.gone, roster, *m, m->gone);
  m->chair = chair;
  m->queue = std::move(queue);
  m->finished = std::move(finished);
  m->gone = std::move(gone);
  for (int who : m->gone) m->left[static_cast<std::size_t>(who)] = true;
  if (chair >= 0) m->arrive(chair);
  for (const std::vector<int>* list : {&m->queue, &m->finished, &m->gone}) {
    for (int who : *list) m->arrive(who);
  }
}

ShopFrame frameOf(const Model& m) {
  ShopFrame frame;
  frame.barber = m.barber;
  frame.chair = m.chair;
  frame.queue = m.queue;
  frame.finished = m.finished.size();
  frame.gone = m.gone.size();
  auto seated = [&](int who) { return who == m.chair || has(m.queue, who); };
  for (int who : m.finished) {
    if (!seated(who)) addOnce(&frame.cut, who);
  }
  for (int who : m.gone) {
    if (!seated(who) && !has(frame.cut, who)) addOnce(&frame.away, who);
  }
  for (int who : m.came) {
    if (!seated(who) && !has(m.finished, who) && !has(m.gone, who) &&
        !m.left[static_cast<std::size_t>(who)]) {
      frame.door.push_back(who);
    }
  }
  return frame;
}

}  // namespace

bool ShopFrame::operator==(const ShopFrame& other) const {
  return barber == other.barber && chair == other.chair && queue == other.queue &&
         door == other.door && cut == other.cut && away == other.away &&
         finished == other.finished && gone == other.gone;
}

std::vector<ShopFrame> shopFrames(const RunRecord& record) {
  Model m;
  m.left.assign(record.roster.size(), false);
  std::vector<ShopFrame> frames{frameOf(m)};
  frames.reserve(record.events.size() + 1);
  const int count = static_cast<int>(record.roster.size());
  for (const Event& event : record.events) {
    const bool known = event.who >= 0 && event.who < count;
    if (event.kind == Kind::kState) {
      stateBlock(&m, event.state, record.roster);
    } else if (event.actor() == Actor::kBarber) {
      barberLine(&m, event.kind, known ? event.who : -1);
    } else if (event.actor() == Actor::kCustomer && known) {
      customerLine(&m, event.kind, event.who);
    }
    frames.push_back(frameOf(m));
  }
  return frames;
}
