// The shop's words for a controlled run: every object and operation of the real shop, a
// customer's semaphore found by its address, and the fallback for a program without names.

#include "trace/judging/sync_words.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "trace/showing/choice_menu.h"

namespace {

enum Oid {
  kQueue = 1,
  kWakeUp,
  kFinished,
  kGoAway,
  kCout,
  kBed,
  kReady,
  kBobCut,
  kFar,
  kAnon,
  kAnonSem
};

// Main, the barber, the console, then Ann (at 0x1000) and Bob (at 0x2000), as the shop starts
// them; the barber's last step at 200 ms, Ann's at 0.
RunRecord shopRun() {
  RunRecord run;
  run.roster = {{"Ann", 100, 300}, {"Bob", 150, 500}};
  ControlRecord& control = run.control;
  control.controlled = true;
  control.threads = {{0, -1, 0}, {1, 0, 0}, {2, 0, 0}, {3, 2, 0x1000}, {4, 2, 0x2000}};
  const char* symbols[] = {"WaitQueue::fgLock",
                           "Barber::fgHWakeUpTurn",
                           "Barber::fgFinishedLock",
                           "gGoAwayLock",
                           "gHCout",
                           "Barber::fgHBed",
                           "Barber::fgHReady"};
  for (int oid = kQueue; oid <= kReady; ++oid) {
    SyncObject object{oid,  oid < kCout, 0x500000u + static_cast<unsigned>(oid) * 64,
                      4096, 0,           symbols[oid - 1]};
    control.objects.push_back(object);
  }
  control.objects.push_back({kBobCut, false, 0x2000 + 56, -1, 0, ""});
  control.objects.push_back({kFar, false, 0x2000 + 200, -1, 0, ""});
  control.objects.push_back({kAnon, true, 0x600000, 4096, 0, ""});
  control.objects.push_back({kAnonSem, false, 0x600040, 4096, 0, ""});
  control.steps.push_back({1, 3, Micros{0}, SyncOp::kStart, 0, 0, 0, 0});
  control.steps.push_back({2, 1, Micros::ofMs(200), SyncOp::kPrint, 0, 30, 0, 0});
  return run;
}

TEST(SyncWords, TellEachOperationOnEachObjectInTheShopsWords) {
  const RunRecord run = shopRun();
  struct Case {
    PendingStep step;
    const char* line;
  };
  const Case cases[] = {
      {{1, SyncOp::kWait, kBed, 0, false}, "Barber: waits for a customer"},
      {{4, SyncOp::kPost, kBed, 0, true}, "Bob: wakes the barber"},
      {{4, SyncOp::kLock, kQueue, 0, true}, "Bob: takes the queue lock"},
      {{1, SyncOp::kUnlock, kQueue, 0, true}, "Barber: lets go of the queue lock"},
      {{3, SyncOp::kTryLock, kQueue, 0, true}, "Ann: tries the queue lock"},
      {{3, SyncOp::kTimedLock, kWakeUp, 0, true}, "Ann: takes the wake-up lock"},
      {{1, SyncOp::kLock, kFinished, 0, true}, "Barber: takes the finished list's lock"},
      {{3, SyncOp::kUnlock, kGoAway, 0, true}, "Ann: lets go of the go-away list's lock"},
      {{3, SyncOp::kWait, kCout, 0, true}, "Ann: takes the console"},
      {{3, SyncOp::kPost, kCout, 0, true}, "Ann: hands back the console"},
      {{0, SyncOp::kWait, kReady, 0, false}, "Main: waits for the barber to start"},
      {{1, SyncOp::kPost, kReady, 0, true}, "Barber: says he has started"},
      {{0, SyncOp::kSemInit, kBed, 0, true}, "Main: sets up the barber's bed"},
      {{1, SyncOp::kPost, kBobCut, 0, true}, "Barber: lets Bob go"},
      {{4, SyncOp::kWait, kBobCut, 0, false}, "Bob: waits for the cut to end"},
      {{3, SyncOp::kSleep, 0, 100000, false}, "Ann: arrives at 100.0 ms"},
      {{1, SyncOp::kSleep, 0, 700000, false}, "Barber: cuts for 500.0 ms"},
      {{3, SyncOp::kSleep, 0, 1, false}, "Ann: pauses a moment"},
      {{3, SyncOp::kPrint, 0, 0, true}, "Ann: prints a line"},
      {{4, SyncOp::kStart, 0, 0, true}, "Bob: starts"},
      {{4, SyncOp::kExit, 0, 0, true}, "Bob: ends"},
      {{0, SyncOp::kJoin, 0, 1, false}, "Main: waits for the barber to stop"},
      {{2, SyncOp::kJoin, 0, 4, false}, "Console: waits for Bob to leave"},
      {{0, SyncOp::kCreate, 0, 0, true}, "Main: starts the console"},
      // A program without names, and a semaphore too far from any customer to be one's.
      {{4, SyncOp::kLock, kAnon, 0, true}, "Bob: takes lock 10"},
      {{1, SyncOp::kPost, kAnonSem, 0, true}, "Barber: posts semaphore 11"},
      {{1, SyncOp::kWait, kFar, 0, true}, "Barber: waits on semaphore 9"},
      {{7, SyncOp::kStart, 0, 0, true}, "thread 7: starts"},
  };
  for (const Case& each : cases) EXPECT_EQ(stepLine(run, each.step), each.line);
}

TEST(SyncWords, NameObjectsAndFindACustomersSemaphoreByAddress) {
  const RunRecord run = shopRun();
  EXPECT_EQ(objectWords(run, kQueue), "the queue lock");
  EXPECT_EQ(objectWords(run, kBobCut), "Bob's cut");
  EXPECT_EQ(identifyObject(run, kBobCut).customer, 1);
  EXPECT_EQ(objectWords(run, kFar), "semaphore 9");
  EXPECT_EQ(objectWords(run, kAnon), "lock 10");
  // Before its customer's thread exists, the semaphore is nobody's.
  RunRecord early = run;
  early.control.threads.pop_back();
  EXPECT_EQ(objectWords(early, kBobCut), "semaphore 8");
  // The next thread the console makes is the next customer on the roster.
  EXPECT_EQ(stepLine(early, {2, SyncOp::kCreate, 0, 0, true}), "Console: starts Bob's visit");
}

TEST(SyncWords, TellADoneStepAndHowItFailed) {
  RunRecord run = shopRun();
  SyncStep cut{3, 1, Micros::ofMs(700), SyncOp::kSleep, 0, 700000, 0, 0};
  run.control.steps.push_back(cut);
  EXPECT_EQ(stepLine(run, cut), "Barber: cuts for 500.0 ms");
  SyncStep tried{4, 3, Micros{0}, SyncOp::kTryLock, kQueue, 0, EBUSY, 0};
  EXPECT_EQ(stepWords(run, tried), "tries the queue lock, in vain: it was taken");
  SyncStep made{5, 0, Micros{0}, SyncOp::kCreate, 0, 1, 0, 0};
  EXPECT_EQ(stepWords(run, made), "starts the barber");
}

TEST(SyncWords, FindWhoHoldsALock) {
  RunRecord run = shopRun();
  run.control.steps.push_back({3, 4, Micros{0}, SyncOp::kLock, kQueue, 0, 0, 0});
  run.control.steps.push_back({4, 3, Micros{0}, SyncOp::kWait, kCout, 0, 0, 0});
  run.control.steps.push_back({5, 3, Micros{0}, SyncOp::kTryLock, kQueue, 0, EBUSY, 0});
  run.control.steps.push_back({6, 1, Micros{0}, SyncOp::kWait, kBed, 0, 0, 0});
  run.control.objects[kCout - 1].initial = 1;
  EXPECT_EQ(holderOf(run, kQueue), 4);
  EXPECT_EQ(holderOf(run, kCout), 3);
  EXPECT_EQ(holderOf(run, kBed), -1);  // a semaphore that signals is nobody's
  run.control.steps.push_back({7, 4, Micros{0}, SyncOp::kUnlock, kQueue, 0, 0, 0});
  EXPECT_EQ(holderOf(run, kQueue), -1);
}

// The menu at a choice, in a terminal as narrow as the companion allows: a thread per line, whom
// a blocked one waits for, and the one Enter takes.
TEST(ChoiceMenu, ShowsEachThreadOnALineOfItsOwn) {
  RunRecord run = shopRun();
  run.control.steps.push_back({3, 3, Micros::ofMs(200), SyncOp::kLock, kQueue, 0, 0, 0});
  Choice choice;
  choice.k = 7;
  choice.plainPick = 3;
  choice.threads = {{1, SyncOp::kSleep, 0, 700000, true},
                    {3, SyncOp::kUnlock, kQueue, 0, true},
                    {4, SyncOp::kLock, kQueue, 0, false}};
  ViewStyle style;
  style.width = 40;
  style.unicode = false;
  EXPECT_EQ(choiceMenu(run, choice, style),
            "choice 7 at 200.0 ms: who goes next?\n"
            "  1  Barber: cuts for 500.0 ms - can go\n"
            "  3  Ann: lets go of ~ - can go (Enter)\n"
            "  4  Bob: takes ~ - blocked, Ann has it\n");
}

}  // namespace
