// A controlled run's locks and waits, read from its steps for the page's lanes, told in the
// shop's words (judging/sync_words). A step is recorded when its thread carries it out, so a
// thread came to a wait at its step before the wait; a wait still pending when the record ends
// is found in the last choice's threads.

#include "trace/files/page_sync.h"

#include <cerrno>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "trace/files/html.h"
#include "trace/judging/sync_words.h"

namespace {

const SyncObject* objectOf(const ControlRecord& control, int oid) {
  for (const SyncObject& object : control.objects) {
    if (object.oid == oid) return &object;
  }
  return nullptr;
}

// A lock, or a semaphore taken and given back as one (the console).
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

// One pass over the steps, by thread and object id; rows are given once it is known who took
// part.
class Reader {
 public:
  Reader(const FinishedRun& run, const Spread& spread)
      : record_(run.record), control_(run.record.control), spread_(spread), end_(run.story.end) {}

  SyncPicture read() {
    for (const SyncStep& step : control_.steps) {
      at_[step.n] = &step;
      this->step(step);
      last_[step.tid] = &step;
    }
    for (const auto& [key, from] : open_)
      hold(key.first, key.second, from, nullptr, "still held when the run ended");
    pendingWaits();
    return placed();
  }

 private:
  struct Open {
    const SyncStep* from = nullptr;
    int depth = 0;
  };

  std::string name(int tid) const { return actorWords(record_, tid); }
  bool inRun(Micros from, Micros to) const { return to >= Micros{} && from <= end_; }
  const SyncStep& cameAt(const SyncStep& step) const {
    const auto last = last_.find(step.tid);
    return last == last_.end() ? step : *last->second;
  }
  // Where the lanes draw a step; no step is the run's end.
  Micros drawn(const SyncStep* step) const {
    return step == nullptr ? spread_.end() : spread_.step(step->n);
  }

  void step(const SyncStep& step) {
    const SyncObject* object = objectOf(control_, step.oid);
    if (canBlock(step.op) && (step.cause != 0 || step.result == ETIMEDOUT)) waited(step);
    const std::pair<int, int> key{step.tid, step.oid};
    if (takes(step.op) && step.result == 0 && locklike(object)) {
      int depth = 0;
      for (const auto& [other, open] : open_) depth += other.first == step.tid;
      open_[key] = {&step, depth};
    } else if ((step.op == SyncOp::kUnlock || step.op == SyncOp::kPost) && open_.count(key)) {
      hold(step.tid, step.oid, open_[key], &step, "");
      open_.erase(key);
    }
  }

  // Until `to`, or the run's end when it is null.
  void hold(int tid, int oid, Open from, const SyncStep* to, const std::string& note) {
    const Micros until = to == nullptr ? end_ : to->at;
    if (!inRun(from.from->at, until)) return;
    held_.push_back({tid, oid, from.depth, drawn(from.from), drawn(to),
                     name(tid) + " held " + objectWords(record_, oid) + ", " +
                         span(from.from->at, until) + (note.empty() ? "" : "; " + note)});
  }

  void waited(const SyncStep& step) {
    const SyncStep& came = cameAt(step);
    const Micros from = came.at;
    if (!inRun(from, step.at)) return;
    std::string tip = name(step.tid) + " waited for " + objectWords(record_, step.oid) + ", " +
                      span(from, step.at);
    const auto cause = at_.find(step.cause);
    if (cause != at_.end()) {
      const SyncStep& by = *cause->second;
      const std::string did = name(by.tid) + " " + stepWords(record_, by);
      tip += "; then " + did;
      arrows_.push_back({by.tid, step.tid, drawn(&by), drawn(&step),
                         did + " at " + msText(by.at) + ": " + name(step.tid) + " goes on"});
    } else if (step.result == ETIMEDOUT) {
      tip += "; gave up at its deadline";
    }
    waits_.push_back({step.tid, drawn(&came), drawn(&step), tip});
  }

  // Those who never came back from a lock or a wait: the last choice still has them there.
  void pendingWaits() {
    if (control_.choices.empty()) return;
    const Choice& last = control_.choices.back();
    for (const PendingStep& pending : last.threads) {
      const auto came = last_.find(pending.tid);
      if (!canBlock(pending.op) || came == last_.end()) continue;
      bool moved = false;
      for (auto step = at_.lower_bound(last.beforeStep); step != at_.end(); ++step)
        moved = moved || step->second->tid == pending.tid;
      if (moved || !inRun(came->second->at, end_)) continue;
      waits_.push_back({pending.tid, drawn(came->second), drawn(nullptr),
                        name(pending.tid) + " waited for " + objectWords(record_, pending.oid) +
                            " from " + msText(came->second->at) +
                            " and was still waiting when the run ended"});
    }
  }

  // Each thread's lane: the barber's, a customer's, or, when it took part, one of its own.
  std::map<int, int> rows(SyncPicture* picture) const {
    std::map<int, int> row;
    std::vector<int> others;
    for (const ProgramThread& thread : control_.threads) {
      const ThreadIdentity who = identifyThread(record_, thread.tid);
      if (who.role == ThreadRole::kBarber) {
        row[thread.tid] = 0;
      } else if (who.role == ThreadRole::kCustomer &&
                 static_cast<std::size_t>(who.customer) < record_.roster.size()) {
        row[thread.tid] = who.customer + 1;
      } else {
        others.push_back(thread.tid);
      }
    }
    std::map<int, bool> used;
    for (const HeldBand& band : held_) used[band.row] = true;
    for (const WaitBand& band : waits_) used[band.row] = true;
    for (const CauseArrow& arrow : arrows_) used[arrow.fromRow] = used[arrow.toRow] = true;
    for (int tid : others) {
      if (!used[tid]) continue;
      row[tid] = static_cast<int>(record_.roster.size() + 1 + picture->others.size());
      picture->others.push_back(name(tid));
    }
    return row;
  }

  SyncPicture placed() const {
    SyncPicture picture;
    const std::map<int, int> row = rows(&picture);
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
  const Spread& spread_;
  Micros end_;
  std::map<int, const SyncStep*> at_;         // by step number
  std::map<int, const SyncStep*> last_;       // each thread's last step so far
  std::map<std::pair<int, int>, Open> open_;  // (tid, oid) held since
  // Until placed(), rows hold thread ids and lock indices object ids.
  std::vector<HeldBand> held_;
  std::vector<WaitBand> waits_;
  std::vector<CauseArrow> arrows_;
};

}  // namespace

SyncPicture syncPicture(const FinishedRun& run, const Spread& spread) {
  if (!run.record.control.controlled) return {};
  return Reader(run, spread).read();
}
