#ifndef BARBERSHOP_TRACE_FILES_SHOP_FRAMES_H_
#define BARBERSHOP_TRACE_FILES_SHOP_FRAMES_H_
// The shop as the run page's player draws it after each line of a run: the barber asleep or at
// work, who sits in the barber's chair and in each waiting chair, who stands at the door, who
// has left cut or gone away. Between state blocks the narration moves the customers as its lines
// say; each state block then sets the chairs and lists to what the program itself showed, since
// a block is the program's own word on its shop. Customers are roster positions. Pure.

#include <cstddef>
#include <vector>

#include "trace/reading/run_record.h"

enum class BarberDoing { kAsleep, kAwake, kCutting };

struct ShopFrame {
  BarberDoing barber = BarberDoing::kAsleep;
  int chair = -1;          // in the barber's chair; -1: empty
  std::vector<int> queue;  // in the waiting chairs, the front first
  std::vector<int> door;   // in the shop but in no chair and on no list, in the order they came
  std::vector<int> cut;    // on the finished list and in no chair: left, or leaving, cut
  std::vector<int> away;   // on the go-away list and nowhere else
  std::size_t finished = 0, gone = 0;  // the lengths of the program's two lists

  bool operator==(const ShopFrame& other) const;
};

// frames[0] is the shop before the run's first line, frames[i + 1] the shop once event i is out.
// The record's events must be attributed (a FinishedRun's are).
std::vector<ShopFrame> shopFrames(const RunRecord& record);

#endif  // BARBERSHOP_TRACE_FILES_SHOP_FRAMES_H_
