#ifndef BARBERSHOP_TRACE_JUDGING_STORY_H_
#define BARBERSHOP_TRACE_JUDGING_STORY_H_
// The story of one run, told once from its attributed lines, that every view draws from: the
// shop after each line (the barber asleep, awake or cutting whom, who sits in his chair, who
// waits in which waiting chair, who stands at the door, who has left cut, gone away uncut or
// left before the barber finished), each customer's visit and where it was when, the barber's
// stretches, the queue's length over time, the totals and the run's end. Between state blocks
// the narration moves the customers as its lines say; a block then sets the chairs and lists to
// what the program itself showed, since a block is the program's own word on its shop. A chair
// may still hold a customer who has said its last line (the program clears it later): that
// customer is then also where its line took it, and its place is that. Customers are roster
// positions. Linear in the run's lines. Pure.

#include <cstddef>
#include <optional>
#include <vector>

#include "trace/common/micros.h"
#include "trace/common/words.h"
#include "trace/judging/facts.h"
#include "trace/reading/run_record.h"

enum class BarberDoing { kAsleep, kAwake, kCutting };

// Where a customer is. A customer the barber let go before his finish line left early.
enum class Place { kStreet, kDoor, kQueue, kChair, kLeftCut, kWentAway, kLeftEarly };

struct ShopFrame {
  BarberDoing barber = BarberDoing::kAsleep;
  int cutting = -1;        // whom his start line named, while he cuts; -1: nobody known
  int chair = -1;          // in the barber's chair as the program holds it; -1: empty
  std::vector<int> queue;  // in the waiting chairs, the front first
  std::vector<int> door;   // in the shop but in no chair and on no list, in the order they came
  std::vector<int> cut;    // left cut, or leaving cut
  std::vector<int> away;   // went away uncut
  std::vector<int> early;  // left before the barber's finish line for them
  std::size_t finished = 0, gone = 0;  // the lengths of the program's two lists

  bool operator==(const ShopFrame& other) const;
  bool operator!=(const ShopFrame& other) const { return !(*this == other); }
};

// The shop as it stood once the run's first `lines` lines were out, and when the last of them
// came (0 for the shop before the first line).
struct ShopMoment {
  std::size_t lines = 0;
  Micros at;
  ShopFrame shop;
};

// A moment of a visit: when, and the line that says so (an index into the run's events).
struct Moment {
  Micros at;
  std::size_t line = 0;
};

// A stretch a customer spent in one place, from the line that put it there.
struct Stay {
  Place place = Place::kStreet;
  Micros from, to;
  std::size_t line = 0;
  bool cutting = false;  // the barber cutting it (his start line for it is out, its last not)
};

struct Visit {
  Outcome outcome = Outcome::kNeverCame;
  std::optional<Moment> arrived;    // its first line
  std::optional<Moment> sat;        // "got a chair successfully": a waiting chair
  std::optional<Moment> woke;       // "woke the barber": handed to him through his chair
  std::optional<Moment> cutStart;   // the barber's start line for it
  std::optional<Moment> cutFinish;  // the barber's finish line for it
  std::optional<Moment> left;       // its last line: left cut or went away
  bool leftEarly = false;           // left cut before the barber's finish line for it
  std::vector<Stay> stays;          // in time order, the street before it came left out
};

// A stretch of the barber's time: asleep, awake, or cutting customer `who` (-1: nobody known).
struct BarberStay {
  BarberDoing doing = BarberDoing::kAsleep;
  int who = -1;
  Micros from, to;
  std::optional<std::size_t> line;  // the line that began it; none for the sleep the run began in
};

struct QueueStep {
  Micros at;
  std::size_t length = 0;
};

struct Story {
  std::vector<ShopMoment> shop;    // the first before any line, then one per change
  std::vector<Visit> visits;       // in roster order
  std::vector<BarberStay> barber;  // in time order, from 0 to `end`
  std::vector<QueueStep> queue;    // each change of the queue's length
  std::size_t cut = 0, sentAway = 0, leftEarly = 0, longestQueue = 0;
  double busyShare = 0;           // of the run up to `end`, the barber spent cutting: 0 to 1
  std::optional<Micros> closing;  // the closing line, when it came
  Micros end;                     // the run's last moment: its end or its last line
  RunFacts facts;                 // what each visit's lines say, line by line, for the rules

  // The shop once the first `lines` lines were out.
  const ShopFrame& shopAfter(std::size_t lines) const;
};

// `run`'s events must be attributed (trace/judging/attribution.h).
Story tellStory(const RunRecord& run);

// Where `place` puts a customer, in a few words: "waiting in the queue".
const char* placeWords(Place place);
// A stable name for files and scripts: "queue", "left-early".
const char* placeName(Place place);
const char* barberWord(BarberDoing doing);

#endif  // BARBERSHOP_TRACE_JUDGING_STORY_H_
