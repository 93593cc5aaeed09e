#ifndef BARBERSHOP_TRACE_FILES_PAGE_SYNC_H_
#define BARBERSHOP_TRACE_FILES_PAGE_SYNC_H_
// A controlled run's synchronisation as the run page draws it over its lanes: who held which
// lock, who waited for which lock or semaphore (from the moment the thread came to it until it
// went on), and which unlock or post let each waiter go. Read from RunRecord::control; empty for
// a real-time run. The facts here, in the shop's words (judging/sync_words.h), the SVG in
// files/page_sync_marks.cpp. Pure.

#include <functional>
#include <string>
#include <vector>

#include "trace/common/micros.h"
#include "trace/files/page_spread.h"
#include "trace/judging/finish.h"

// Rows as the lanes number them: 0 the barber, 1 + position each customer, then the program's
// other threads that did something in the run (SyncPicture::others), in thread order.
struct HeldBand {
  int row = 0;
  int lock = 0;     // an index into SyncPicture::locks
  int depth = 0;    // how many other locks the thread held as it took this one
  Micros from, to;  // drawn at (Spread), as every mark here; the tip tells the virtual times
  std::string tip;
};

struct WaitBand {
  int row = 0;
  Micros from, to;  // from the thread's step before the wait to the wait's own step
  std::string tip;
};

struct CauseArrow {
  int fromRow = 0, toRow = 0;
  Micros from, to;  // the unlock or post, and the lock or wait it ended
  std::string tip;
};

struct SyncPicture {
  std::vector<std::string> others;  // the names of the lanes after the customers' ("Console")
  struct Lock {
    int oid = 0;
    std::string words;  // "the queue lock"
  };
  std::vector<Lock> locks;  // those held in the run, in the program's order of first sight
  std::vector<HeldBand> held;
  std::vector<WaitBand> waits;
  std::vector<CauseArrow> arrows;
  bool empty() const { return held.empty() && waits.empty() && arrows.empty(); }
};

SyncPicture syncPicture(const FinishedRun& run, const Spread& spread);

// The marks as SVG for the lanes' geometry, and their legend entries (<li> each).
struct LaneGeometry {
  std::function<double(Micros)> x;
  std::function<double(int row)> y;  // a lane's top
  double height = 0;
};
std::string syncMarks(const SyncPicture& picture, const LaneGeometry& lanes);
std::string syncLegend(const SyncPicture& picture);

#endif  // BARBERSHOP_TRACE_FILES_PAGE_SYNC_H_
