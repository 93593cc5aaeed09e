// A controlled run's records read back, its output paired with the prints that wrote it, its part
// of the event log written and read again, and a replayed choice compared with the saved one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trace/reading/event_log.h"
#include "trace/relay/control_link.h"
#include "trace/relay/program_image.h"

namespace {

struct RecordCase {
  std::string line;
  bool good;
  RecordKind kind;
  std::string check;  // a fact of the parsed record, as describe() writes it
};

std::string describe(const ControlLine& r) {
  switch (r.kind) {
    case RecordKind::kHello:
      return std::to_string(r.pid) + "@" + std::to_string(r.base);
    case RecordKind::kThread:
      return std::to_string(r.thread.tid) + "<" + std::to_string(r.thread.parent) + " " +
             std::to_string(r.thread.arg);
    case RecordKind::kObject:
      return std::to_string(r.object.oid) + (r.object.mutex ? "m" : "s") + " " +
             std::to_string(r.object.offset) + " " + std::to_string(r.object.initial);
    case RecordKind::kStep:
      return std::to_string(r.step.n) + " t" + std::to_string(r.step.tid) + " " +
             std::to_string(r.ns) + " " + syncOpName(r.step.op) + " o" +
             std::to_string(r.step.oid) + " a" + std::to_string(r.step.arg) + " r" +
             std::to_string(r.step.result) + " c" + std::to_string(r.step.cause);
    case RecordKind::kChoice:
    case RecordKind::kAsk: {
      std::string text = std::to_string(r.choice.k) + "/" + std::to_string(r.choice.beforeStep) +
                         " " + choiceWhyName(r.choice.why) + " " + std::to_string(r.choice.pick) +
                         " " + std::to_string(r.choice.plainPick);
      for (const PendingStep& t : r.choice.threads) {
        text += " " + std::to_string(t.tid) + syncOpName(t.op) + std::to_string(t.oid) + ":" +
                std::to_string(t.arg) + (t.canGo ? "+" : "-");
      }
      return text;
    }
    case RecordKind::kStuck:
      return std::to_string(r.ns);
    case RecordKind::kDiverged:
      return std::to_string(r.k) + " " + std::to_string(r.tid);
    case RecordKind::kExit:
      return std::to_string(r.ns) + " " + std::to_string(r.status);
  }
  return "";
}

class Records : public testing::TestWithParam<RecordCase> {};

TEST_P(Records, AreReadOrRefused) {
  ControlLine record;
  std::string error;
  const bool read = parseControlLine(GetParam().line, &record, &error);
  ASSERT_EQ(read, GetParam().good) << GetParam().line << ": " << error;
  if (!read) {
    EXPECT_NE(error.find(GetParam().line), std::string::npos) << error;
    return;
  }
  EXPECT_EQ(record.kind, GetParam().kind);
  EXPECT_EQ(describe(record), GetParam().check);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Records,
    testing::Values(RecordCase{"hello 42 ff", true, RecordKind::kHello, "42@255"},
                    RecordCase{"thread 3 2 7f00", true, RecordKind::kThread, "3<2 32512"},
                    RecordCase{"object 2 m 5555 83a0 -", true, RecordKind::kObject, "2m 33696 0"},
                    RecordCase{"object 7 s 7fff - 1", true, RecordKind::kObject, "7s -1 1"},
                    RecordCase{"step 140 3 500004000 lock 2 - 0 137", true, RecordKind::kStep,
                               "140 t3 500004000 lock o2 a0 r0 c137"},
                    RecordCase{"step 9 1 20 sleep 0 1000020 110 0", true, RecordKind::kStep,
                               "9 t1 20 sleep o0 a1000020 r110 c0"},
                    RecordCase{"choice 12 140 wake 3 1 1:wait:2:-:1 3:lock:2:-:0", true,
                               RecordKind::kChoice, "12/140 wake 3 1 1wait2:0+ 3lock2:0-"},
                    RecordCase{"ask 4 58 tie 1 1:sleep:0:90:1 3:sleep:0:90:1", true,
                               RecordKind::kAsk, "4/58 tie -1 1 1sleep0:90+ 3sleep0:90+"},
                    RecordCase{"stuck 20000", true, RecordKind::kStuck, "20000"},
                    RecordCase{"diverged 3 0", true, RecordKind::kDiverged, "3 0"},
                    RecordCase{"exit 900 0", true, RecordKind::kExit, "900 0"},
                    RecordCase{"hullo 1 2", false, RecordKind::kHello, ""},
                    RecordCase{"step 1 0 5 lock 1 - 0", false, RecordKind::kStep, ""},
                    RecordCase{"step 1 0 5 grab 1 - 0 0", false, RecordKind::kStep, ""},
                    RecordCase{"step 1 0 5x lock 1 - 0 0", false, RecordKind::kStep, ""},
                    RecordCase{"object 1 q 10 - -", false, RecordKind::kObject, ""},
                    RecordCase{"choice 1 2 go 0 0 0:lock:1:-:2", false, RecordKind::kChoice, ""},
                    RecordCase{"choice 1 2 go 0 0 0:lock:1", false, RecordKind::kChoice, ""},
                    RecordCase{"choice 1 2 why 0 0 0:lock:1:-:1", false, RecordKind::kChoice, ""},
                    RecordCase{"stuck", false, RecordKind::kStuck, ""},
                    RecordCase{"", false, RecordKind::kHello, ""}));

TEST(RecordLines, ComeWholeWhateverTheChunks) {
  ControlLines lines;
  EXPECT_TRUE(lines.feed("hello 1 f").empty());
  EXPECT_EQ(lines.feed("f\nstuck 5\nex"), (std::vector<std::string>{"hello 1 ff", "stuck 5"}));
  EXPECT_EQ(lines.feed("it 6 0\n"), (std::vector<std::string>{"exit 6 0"}));
}

// Three prints (5 bytes at 10 ns, 3 at 20, 4 at 30), their bytes read in chunks cut anywhere and
// their records read before, between or after them: every byte carries its own print's time.
TEST(StampedOutput, PairsBytesWithTheirPrintsAcrossAnyChunks) {
  const std::string text =
      "hello"
      "abc"
      "wxyz";
  const std::vector<std::vector<std::size_t>> cuts = {
      {12}, {1, 11}, {5, 3, 4}, {4, 2, 6}, {7, 1, 1, 3}};
  for (const auto& cut : cuts) {
    for (bool recordsFirst : {true, false}) {
      StampedOutput out;
      std::string got, stamps;
      auto collect = [&] {
        for (const StampedOutput::Piece& piece : out.take()) {
          got += piece.bytes;
          stamps += std::string(piece.bytes.size(), static_cast<char>('0' + piece.ns / 10));
        }
      };
      if (recordsFirst) {
        out.printed(5, 10);
        out.printed(3, 20);
        out.printed(0, 25);
        out.printed(4, 30);
      }
      std::size_t at = 0;
      for (std::size_t n : cut) {
        out.bytes(text.substr(at, n));
        at += n;
        collect();
      }
      if (!recordsFirst) {
        EXPECT_EQ(out.owed(), 0);
        out.printed(5, 10);
        collect();
        out.printed(3, 20);
        out.printed(4, 30);
      }
      collect();
      EXPECT_EQ(got, text);
      EXPECT_EQ(stamps, "111112223333") << cut.size() << recordsFirst;
      EXPECT_EQ(out.owed(), 0);
    }
  }
}

TEST(StampedOutput, WaitsForItsRecordsUntilTheyEnd) {
  StampedOutput out;
  out.printed(2, 10);
  EXPECT_EQ(out.owed(), 2);
  out.bytes(
      "ab"
      "menu");
  EXPECT_EQ(out.take().size(), 1u);
  EXPECT_TRUE(out.take().empty());  // "menu" has no print yet
  out.unpaired();
  const std::vector<StampedOutput::Piece> rest = out.take();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].bytes, "menu");
  EXPECT_EQ(rest[0].ns, 10);
}

// A record whose times are on the run's clock, the Run at 2 ms of the scheduler's.
ControlRecord gathered() {
  ControlGatherer gatherer([](std::uint64_t offset) { return offset == 64 ? "gLock" : ""; });
  for (const char* text :
       {"thread 1 0 0", "object 1 m 5040 40 -", "object 2 s 9000 - 0",
        "step 1 0 1000000 seminit 2 0 0 0", "choice 1 2 go 1 0 0:lock:1:-:1 1:sleep:0:5000000:0",
        "step 2 1 2000000 lock 1 - 0 0", "step 3 1 5000000 sleep 0 5000000 0 0"}) {
    ControlLine line;
    std::string error;
    EXPECT_TRUE(parseControlLine(text, &line, &error)) << error;
    gatherer.add(line);
  }
  EXPECT_EQ(gatherer.turn(), 1);
  return gatherer.record(2000000, "then=first", "fnv1a64:00:1");
}

TEST(ControlGatherer, PutsTimesOnTheRunsClockAndNamesObjects) {
  const ControlRecord record = gathered();
  ASSERT_EQ(record.steps.size(), 3u);
  EXPECT_EQ(record.steps[0].at.count, -1000);
  EXPECT_EQ(record.steps[2].at.count, 3000);
  EXPECT_EQ(record.steps[2].arg, 3000);  // a sleep's deadline, on the same clock
  EXPECT_EQ(record.choices[0].threads[1].arg, 3000);
  EXPECT_EQ(record.objects[0].symbol, "gLock");
  EXPECT_EQ(record.objects[1].symbol, "");
}

TEST(ControlLog, IsReadBackExactly) {
  RunRecord run;
  run.roster = {{"Ann", 0, 500}};
  run.program = "barbershop";
  run.writtenBy = "test";
  run.control = gathered();
  const std::string text = logText(run);
  RunRecord read;
  std::string error, warning;
  ASSERT_TRUE(readLog(text, "run-1.jsonl", &read, &error, &warning)) << error;
  EXPECT_EQ(logText(read), text);
  EXPECT_TRUE(read.control.controlled);
  EXPECT_EQ(read.control.plan, "then=first");
  EXPECT_EQ(read.control.choices.size(), 1u);
  EXPECT_EQ(read.control.objects[0].offset, 64);
  // A step out of its order is refused, naming its line.
  std::string broken = text;
  broken.replace(broken.find("{\"step\":2"), 9, "{\"step\":7");
  EXPECT_FALSE(readLog(broken, "run-1.jsonl", &read, &error, &warning));
  EXPECT_NE(error.find("step 7 is out of order"), std::string::npos) << error;
}

TEST(ChoiceDifference, NamesTheChoiceAndStep) {
  Choice logged{12, 140, ChoiceWhy::kGo,
                3,  1,   {{1, SyncOp::kWait, 2, 0, true}, {3, SyncOp::kLock, 2, 0, true}}};
  Choice offered = logged;
  EXPECT_EQ(choiceDifference(logged, offered), "");
  offered.pick = 1;  // who went is the plan's business, not the program's
  EXPECT_EQ(choiceDifference(logged, offered), "");
  offered.threads[1].canGo = false;
  EXPECT_EQ(choiceDifference(logged, offered),
            "at choice 12 (step 140) the log has thread 1 wait object 2, thread 3 lock object 2; "
            "the program offered thread 1 wait object 2, thread 3 lock object 2 (cannot go)");
}

TEST(Plan, GivesTheWatchdogItsIdleLimit) {
  EXPECT_EQ(planIdleUs("then=first", 7), 7);
  EXPECT_EQ(planIdleUs("then=random;idle_ms=300;seed=2", 7), 300000);
  EXPECT_EQ(planIdleUs("idle_ms=3x", 7), 7);
}

TEST(ProgramImage, DigestsBytesAndNamesWhatLiesInASymbol) {
  EXPECT_EQ(programDigest(""), "fnv1a64:cbf29ce484222325:0");
  EXPECT_EQ(programDigest("a"), "fnv1a64:af63dc4c8601ec8c:1");
  ProgramImage image;
  image.symbols = {{0x100, 8, "gA"}, {0x200, 64, "WaitQueue::fgLock"}};
  EXPECT_EQ(image.symbolAt(0x100), "gA");
  EXPECT_EQ(image.symbolAt(0x208), "WaitQueue::fgLock+8");
  EXPECT_EQ(image.symbolAt(0x108), "");
  EXPECT_EQ(image.symbolAt(0x50), "");
}

}  // namespace
