// A controlled run's locks and waits, read from its steps for the page's lanes. A step is
// recorded when its thread carries it out, so a thread came to a wait at its step before the
// wait; a wait still pending when the record ends is found in the last choice's threads.

#include "trace/files/page_sync.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trace/files/html.h"

namespace {

// The shop's objects by the program's names for them. One place, so the judging's own table
// can take its place.
constexpr struct {
  const char* symbol;
  const char* words;
} kObjects[] = {
    {"WaitQueue::fgLock", "the queue lock"},
    {"Barber::fgHWakeUpTurn", "the wake-up lock"},
    {"Barber::fgHBed", "the barber's bed"},
    {"Barber::fgHReady", "the barber's start"},
    {"Barber::fgFinishedLock", "the finished list's lock"},
    {"gGoAwayLock", "the go-away list's lock"},
    {"gHCout", "the console"},
};

// A customer's own semaphore lies inside it, this far at most above its thread's argument.
constexpr std::uint64_t kCustomerBytes = 128;

const SyncObject* objectOf(const ControlRecord& control, int oid) {
  for (const SyncObject& object : control.objects) {
    if (object.oid == oid) return &object;
  }
  return nullptr;
}

// Who each thread is: the first one made with no argument the barber, those made with one the
// customers in roster order, the rest the program's own.
struct Cast {
  std::map<int, int> who;  // tid -> roster position
  int barber = -1;
  std::map<int, std::string> others;  // tid -> "the console thread"
};

Cast castOf(const RunRecord& record) {
  Cast cast;
  int next = 0;
  for (const ProgramThread& thread : record.control.threads) {
    if (thread.parent >= 0 && thread.arg == 0 && cast.barber < 0) {
      cast.barber = thread.tid;
    } else if (thread.arg != 0 && next < static_cast<int>(record.roster.size())) {
      cast.who[thread.tid] = next++;
    } else {
      cast.others[thread.tid] = thread.tid == 0 ? "main" : "thread " + std::to_string(thread.tid);
    }
  }
  // The thread that started the customers runs the console's menu.
  for (const ProgramThread& thread : record.control.threads) {
    if (cast.who.count(thread.tid) && cast.others.count(thread.parent))
      cast.others[thread.parent] = "console";
  }
  return cast;
}

bool locklike(const SyncObject* object) {
  return object != nullptr && (object->mutex || object->initial == 1);
}
bool takes(SyncOp op) {
  return op == SyncOp::kLock || op == SyncOp::kTimedLock || op == SyncOp::kTryLock ||
         op == SyncOp::kWait || op == SyncOp::kTimedWait || op == SyncOp::kTryWait;
}
bool canBlock(SyncOp op) {
  return op == SyncOp::kLock || op == SyncOp::kTimedLock || op == SyncOp::kWait ||
         op == SyncOp::kTimedWait;
}

// One pass over the steps, by thread id; rows are given once it is known who took part.
class Reader {
 public:
  explicit Reader(const FinishedRun& run)
      : record_(run.record),
        control_(run.record.control),
        end_(run.story.end),
        cast_(castOf(run.record)) {}

  SyncPicture read() {
    for (const SyncStep& step : control_.steps) {
      at_[step.n] = &step;
      this->step(step);
      last_[step.tid] = step.at;
    }
    for (const auto& [key, from] : open_)
      hold(key.first, key.second, from, end_, "still held when the run ended");
    pendingWaits();
    return placed();
  }

 private:
  struct Open {
    Micros from;
    int depth = 0;
  };

  std::string name(int tid) const {
    if (tid == cast_.barber) return "the barber";
    const auto who = cast_.who.find(tid);
    if (who != cast_.who.end()) return customerName(record_.roster, who->second);
    const auto other = cast_.others.find(tid);
    if (other == cast_.others.end()) return "thread " + std::to_string(tid);
    return other->second.compare(0, 7, "thread ") == 0 ? other->second
                                                       : "the " + other->second + " thread";
  }
  static std::string capital(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
      text[0] = static_cast<char>(text[0] - 32);
    return text;
  }
  // What an unlock or a post did, as its waiter saw it.
  const char* letGo(const SyncStep& by) const {
    if (by.op != SyncOp::kPost) return "unlocked";
    return locklike(objectOf(control_, by.oid)) ? "released" : "posted";
  }
  bool inRun(Micros from, Micros to) const { return to >= Micros{} && from <= end_; }
  Micros cameAt(const SyncStep& step) const {
    const auto last = last_.find(step.tid);
    return last == last_.end() ? step.at : last->second;
  }

  void step(const SyncStep& step) {
    const SyncObject* object = objectOf(control_, step.oid);
    if (canBlock(step.op) && (step.cause != 0 || step.result == ETIMEDOUT)) waited(step);
    const std::pair<int, int> key{step.tid, step.oid};
    if (takes(step.op) && step.result == 0 && locklike(object)) {
      int depth = 0;
      for (const auto& [other, open] : open_) depth += other.first == step.tid;
      open_[key] = {step.at, depth};
    } else if ((step.op == SyncOp::kUnlock || step.op == SyncOp::kPost) && open_.count(key)) {
      hold(step.tid, step.oid, open_[key], step.at, "");
      open_.erase(key);
    }
  }

  void hold(int tid, int oid, Open from, Micros to, const std::string& note) {
    if (!inRun(from.from, to)) return;
    held_.push_back({tid, oid, from.depth, from.from, to,
                     capital(name(tid)) + " held " + objectWords(record_, oid) + ", " +
                         span(from.from, to) + (note.empty() ? "" : "; " + note)});
  }

  void waited(const SyncStep& step) {
    const Micros from = cameAt(step);
    if (!inRun(from, step.at)) return;
    const std::string what = objectWords(record_, step.oid);
    std::string tip = capital(name(step.tid)) + " waited for " + what + ", " + span(from, step.at);
    const auto cause = at_.find(step.cause);
    if (cause != at_.end()) {
      const SyncStep& by = *cause->second;
      const std::string did = name(by.tid) + " " + letGo(by) + " ";
      tip += "; " + did + "it";
      arrows_.push_back(
          {by.tid, step.tid, by.at, step.at,
           capital(did) + what + " at " + msText(by.at) + ": " + name(step.tid) + " goes on"});
    } else if (step.result == ETIMEDOUT) {
      tip += "; gave up at its deadline";
    }
    waits_.push_back({step.tid, from, step.at, tip});
  }

  // Those who never came back from a lock or a wait: the last choice still has them there.
  void pendingWaits() {
    if (control_.choices.empty()) return;
    const Choice& last = control_.choices.back();
    for (const PendingStep& pending : last.threads) {
      const auto came = last_.find(pending.tid);
      if (!canBlock(pending.op) || came == last_.end()) continue;
      bool moved = false;
      for (const auto& [n, step] : at_)
        moved = moved || (n >= last.beforeStep && step->tid == pending.tid);
      if (moved || !inRun(came->second, end_)) continue;
      waits_.push_back({pending.tid, came->second, end_,
                        capital(name(pending.tid)) + " waited for " +
                            objectWords(record_, pending.oid) + " from " + msText(came->second) +
                            " and was still waiting when the run ended"});
    }
  }

  // The picture with rows: the program's own threads get a lane only when they took part.
  SyncPicture placed() const {
    std::map<int, int> row;
    if (cast_.barber >= 0) row[cast_.barber] = 0;
    for (const auto& [tid, who] : cast_.who) row[tid] = who + 1;
    SyncPicture picture;
    std::map<int, bool> used;
    for (const HeldBand& band : held_) used[band.row] = true;
    for (const WaitBand& band : waits_) used[band.row] = true;
    for (const CauseArrow& arrow : arrows_) used[arrow.fromRow] = used[arrow.toRow] = true;
    for (const auto& [tid, words] : cast_.others) {
      if (!used[tid]) continue;
      row[tid] = static_cast<int>(record_.roster.size() + 1 + picture.others.size());
      picture.others.push_back(words);
    }
    std::map<int, int> lock;  // oid -> index, in the order the program first showed them
    for (const HeldBand& band : held_) lock[band.lock] = 0;
    for (auto& [oid, index] : lock) {
      index = static_cast<int>(picture.locks.size());
      picture.locks.push_back({oid, objectWords(record_, oid)});
    }
    // A step of a thread the record never listed has no lane to go on.
    auto placedOn = [&row](int tid, int* lane) {
      const auto found = row.find(tid);
      if (found != row.end()) *lane = found->second;
      return found != row.end();
    };
    for (HeldBand band : held_) {
      band.lock = lock.at(band.lock);
      if (placedOn(band.row, &band.row)) picture.held.push_back(band);
    }
    for (WaitBand band : waits_) {
      if (placedOn(band.row, &band.row)) picture.waits.push_back(band);
    }
    for (CauseArrow arrow : arrows_) {
      if (placedOn(arrow.fromRow, &arrow.fromRow) && placedOn(arrow.toRow, &arrow.toRow))
        picture.arrows.push_back(arrow);
    }
    return picture;
  }

  const RunRecord& record_;
  const ControlRecord& control_;
  Micros end_;
  Cast cast_;
  std::map<int, const SyncStep*> at_;         // by step number
  std::map<int, Micros> last_;                // each thread's last step so far
  std::map<std::pair<int, int>, Open> open_;  // (tid, oid) held since
  // Rows and lock indices hold thread and object ids until placed().
  std::vector<HeldBand> held_;
  std::vector<WaitBand> waits_;
  std::vector<CauseArrow> arrows_;
};

}  // namespace

std::string objectWords(const RunRecord& record, int oid) {
  const SyncObject* object = objectOf(record.control, oid);
  if (object == nullptr) return "object " + std::to_string(oid);
  for (const auto& known : kObjects) {
    if (object->symbol == known.symbol) return known.words;
  }
  if (!object->mutex && object->offset < 0) {
    int who = 0;
    for (const ProgramThread& thread : record.control.threads) {
      if (thread.arg == 0) continue;
      if (object->address >= thread.arg && object->address < thread.arg + kCustomerBytes &&
          who < static_cast<int>(record.roster.size()))
        return customerName(record.roster, who) + "'s cut";
      ++who;
    }
  }
  return (object->mutex ? "lock " : "semaphore ") + std::to_string(oid);
}

SyncPicture syncPicture(const FinishedRun& run) {
  if (!run.record.control.controlled) return {};
  return Reader(run).read();
}
