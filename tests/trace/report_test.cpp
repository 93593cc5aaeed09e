// The report files of one small scripted run, read as their readers read them: the page's titles
// and verdict, the trace's threads and events, the log read back, and logs that are not.

#include "trace/files/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/trace/known_runs.h"
#include "trace/files/chrome_trace.h"
#include "trace/files/page.h"
#include "trace/files/write_whole.h"
#include "trace/reading/event_log.h"

namespace {

// A wakes the barber at 0 ms; B sits at 10 ms and is cut after A; the third customer, whose ID
// needs escaping, comes at 20 ms and, if `full`, finds the queue full (which the exact schedule
// does not predict: a note) just as a line is torn (a broken rule).
RunRecord shop(bool full = false, const std::string& b = "B") {
  const std::string c = "<i>&\"%";
  Script s;
  s.say(kSeeSleeping, "A").say(kTryToWake, "A").say(kBarberWokenUp).say(kStartCutting, "A");
  s.say(kWokeBarber, "A").block("A", "").say(kWaiting, "A").at(10).say(kSeeNotSleeping, b);
  s.say(kTryForChair, b).block("A", "").say(kGotChair, b).block("A", "[" + b + "]");
  s.say(kWaiting, b).at(20).say(kSeeNotSleeping, c);
  if (full) {
    s.say(kQueueFull, c).text("\n<<Customer B: see Ba\n").block("A", "[" + b + "]");
  } else {
    s.say(kTryForChair, c).block("A", "[" + b + "]").say(kGotChair, c);
    s.block("A", "[" + b + "][" + c + "]").say(kWaiting, c);
  }
  s.at(100).say(kFinishCutting, "A").say(kLeaveCut, "A");
  s.block("", full ? "[" + b + "]" : "[" + b + "][" + c + "]", "[A]").say(kStartCutting, b);
  s.at(150).say(kFinishCutting, b).say(kLeaveCut, b).block("", "", "[A][" + b + "]");
  if (!full) {
    s.say(kStartCutting, c).at(200).say(kFinishCutting, c).say(kLeaveCut, c);
    s.block("", "", "[A][" + b + "][" + c + "]");
  }
  s.at(200).say(kBarberToBed).say(kClosing);
  RunRecord run = s.record({{"A", 0, 100}, {b, 10, 50}, {c, 20, 50}});
  run.writtenBy = "barbershop-trace test";
  run.program = "/bin/barbershop";
  run.number = 3;
  run.startedUnixMs = 1700000000123;
  return run;
}

// Each line's mark and its place in the narration link to each other; each mark and bar carries
// its line, for the reader who points at it.
TEST(ReportPage, LinksEveryLineAndItsMarkBothWaysAndTitlesThem) {
  const RunRecord run = shop();
  const std::string page = htmlPage(finish(run));
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    const std::string n = std::to_string(i);
    EXPECT_NE(page.find("<a href=\"#n-" + n + "\" id=\"e-" + n + "\" class=\"mark\""),
              std::string::npos)
        << i;
    EXPECT_NE(page.find("<li id=\"n-" + n + "\"><a class=\"when\" href=\"#e-" + n + "\">"),
              std::string::npos)
        << i;
  }
  for (const char* title :
       {"<title>10.0 ms\n&lt;&lt;Customer B: got a chair successfully&gt;&gt;</title>",
        "<title>B waiting in the queue, 10.0\xE2\x80\x93"
        "100.0 ms\n&lt;&lt;Customer B: got a chair successfully&gt;&gt;</title>",
        "<title>cutting B, 100.0\xE2\x80\x93"
        "150.0 ms\n[[start cutting: customer B]]</title>"}) {
    EXPECT_NE(page.find(title), std::string::npos) << title;
  }
}

TEST(ReportPage, PutsTheVerdictAtTheTop) {
  const std::string kept = htmlPage(finish(shop()));
  EXPECT_NE(kept.find("Verdict: every rule holds"), std::string::npos);
  const std::string broken = htmlPage(finish(shop(true)));
  const std::size_t verdict = broken.find("class=\"verdict broken\"");
  ASSERT_NE(verdict, std::string::npos);
  EXPECT_LT(verdict, broken.find("<svg class=\"lanes plot\""));
  EXPECT_NE(broken.find("<strong>no-torn-line</strong>"), std::string::npos);
  EXPECT_NE(broken.find("Note: &lt;i&gt;&amp;&quot;% went away: every chair taken"),
            std::string::npos);
  EXPECT_NE(broken.find("class=\"away\""), std::string::npos);  // the × of going away
  EXPECT_EQ(broken.find("<i>"), std::string::npos);             // the ID is text, never markup
}

TEST(ReportTrace, NamesAThreadPerActorWithCompleteEventsCounterAndInstants) {
  const nlohmann::json trace = nlohmann::json::parse(traceText(finish(shop())));
  std::set<std::string> threads, complete, instants;
  std::size_t counters = 0, waitingMost = 0;
  for (const nlohmann::json& event : trace.at("traceEvents")) {
    const std::string phase = event.at("ph");
    ASSERT_TRUE(event.contains("pid") && event.contains("tid") && event.contains("name"));
    if (phase == "M") {
      if (event["name"] == "thread_name") threads.insert(event["args"]["name"].get<std::string>());
      continue;
    }
    ASSERT_TRUE(event.at("ts").is_number_integer()) << event;
    if (phase == "X") {
      EXPECT_GE(event.at("dur").get<std::int64_t>(), 0);
      complete.insert(event["name"].get<std::string>());
    } else if (phase == "C") {
      ++counters;
      waitingMost = std::max(waitingMost, event["args"]["waiting"].get<std::size_t>());
    } else if (phase == "i" && event["s"] == "t") {
      instants.insert(std::to_string(event["tid"].get<int>()) + " " +
                      event["name"].get<std::string>());
    }
  }
  EXPECT_EQ(threads, (std::set<std::string>{"Barber", "Customer A", "Customer B",
                                            "Customer <i>&\"%", "Barber, exact schedule"}));
  for (const char* name :
       {"asleep", "cutting A", "cutting B", "waiting in the queue", "in the chair"}) {
    EXPECT_EQ(complete.count(name), 1u) << name;
  }
  EXPECT_GE(counters, 4u);  // 0, then 1 and 2 as B and C sit, and down again
  EXPECT_EQ(waitingMost, 2u);
  EXPECT_EQ(instants, (std::set<std::string>{"2 arrives", "3 arrives", "4 arrives", "2 leaves, cut",
                                             "3 leaves, cut", "4 leaves, cut"}));
}

std::string slurp(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class ReportFiles : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("report_test." + std::to_string(getpid()) + "." +
            testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir(const char* sub) const { return (dir_ / sub).string(); }
  std::filesystem::path dir_;
};

TEST_F(ReportFiles, RenderOfTheSavedLogGivesTheSameFiles) {
  std::string error, warning;
  std::vector<std::string> live, again;
  // An ID that is not UTF-8 must come back byte for byte.
  const RunRecord run = shop(false, "B\xff");
  ASSERT_TRUE(prepareDir(dir("live"), &error)) << error;
  ASSERT_TRUE(writeReport(dir("live"), finish(run), &live, &error)) << error;
  ASSERT_EQ(live.size(), 3u);
  RunRecord read;
  ASSERT_TRUE(readLog(slurp(dir("live") + "/run-3.jsonl"), "run-3.jsonl", &read, &error, &warning))
      << error;
  EXPECT_TRUE(warning.empty() && read.incomplete.empty());
  EXPECT_EQ(read.roster[1].id, "B\xff");
  ASSERT_TRUE(prepareDir(dir("again"), &error)) << error;
  const FinishedRun again1 = finish(read);
  EXPECT_TRUE(again1.verdict.holds());
  ASSERT_TRUE(writeReport(dir("again"), again1, &again, &error)) << error;
  EXPECT_TRUE(nlohmann::json::accept(slurp(dir("live") + "/run-3.trace.json")));
  for (const char* file : {"/run-3.jsonl", "/run-3.trace.json", "/run-3.html"}) {
    EXPECT_EQ(slurp(dir("again") + file), slurp(dir("live") + file)) << file;
  }
}

TEST_F(ReportFiles, ADirectoryThatCannotBeMadeIsNamed) {
  std::string error;
  ASSERT_TRUE(prepareDir(dir(""), &error));
  std::ofstream(dir("file")) << "x";
  EXPECT_FALSE(prepareDir(dir("file") + "/sub", &error));
  EXPECT_EQ(error.rfind(dir("file") + "/sub: ", 0), 0u) << error;
}

struct BadLog {
  const char* what;
  std::string text;
  std::string error;  // empty: read, and marked incomplete
};

class Logs : public testing::TestWithParam<BadLog> {};

TEST_P(Logs, AreRefusedWithTheirLineOrDrawnIncomplete) {
  RunRecord run;
  std::string error, warning;
  const bool read = readLog(GetParam().text, "x.jsonl", &run, &error, &warning);
  if (GetParam().error.empty()) {
    ASSERT_TRUE(read) << error;
    EXPECT_FALSE(run.incomplete.empty());
    EXPECT_FALSE(warning.empty());
    EXPECT_NE(htmlPage(finish(run)).find("Incomplete: "), std::string::npos);
  } else {
    EXPECT_FALSE(read);
    EXPECT_EQ(error.substr(0, GetParam().error.size()), GetParam().error);
  }
}

// The whole log of the scripted run, line by line.
std::vector<std::string> logLines() {
  std::vector<std::string> lines;
  std::stringstream text(logText(shop()));
  for (std::string line; std::getline(text, line);) lines.push_back(line + "\n");
  return lines;
}

std::string joined(std::vector<std::string> lines, std::size_t index, const std::string& with) {
  if (index < lines.size()) lines[index] = with;
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

const std::vector<std::string> kLog = logLines();

INSTANTIATE_TEST_SUITE_P(
    EveryFault, Logs,
    testing::Values(
        BadLog{"empty", "", "x.jsonl:1: empty"},
        BadLog{"garbage", "\x01garbage\n", "x.jsonl:1: not JSON"},
        BadLog{"another JSON file", "{\"traceEvents\": []}\n",
               "x.jsonl:1: not a barbershop-trace event log"},
        BadLog{"bad JSON inside", joined(kLog, 2, "{\"us\": 1,\n"), "x.jsonl:3: not JSON"},
        BadLog{"a time as text",
               joined(kLog, 1,
                      "{\"us\":\"0\",\"actor\":\"barber\",\"kind\":\"barber-woken-up\","
                      "\"who\":null,\"id\":\"\",\"text\":\"\\n[[Barber woken up]]\\n\"}\n"),
               "x.jsonl:2: \"us\" must be a whole number"},
        BadLog{"no text",
               joined(kLog, 2,
                      "{\"us\":0,\"actor\":\"run\",\"kind\":\"torn\","
                      "\"who\":null,\"id\":\"\"}\n"),
               "x.jsonl:3: no \"text\" field"},
        BadLog{"text of another kind",
               joined(kLog, 1,
                      "{\"us\":0,\"actor\":\"customer\",\"kind\":\"waiting\","
                      "\"who\":0,\"id\":\"A\",\"text\":\"" +
                          std::string("\\n<<Customer A: see Barber sleeping>>\\n") + "\"}\n"),
               "x.jsonl:2: \"text\" is a see-sleeping line, not waiting"},
        BadLog{"an end line that miscounts",
               joined(kLog, kLog.size() - 1, "{\"end\":\"closed\",\"end_us\":1,\"events\":2}\n"),
               "x.jsonl:" + std::to_string(kLog.size()) + ": the end line counts 2 events"},
        BadLog{"a line after the end", joined(kLog, kLog.size(), "") + kLog[1],
               "x.jsonl:" + std::to_string(kLog.size() + 1) + ": a line after the end line"},
        BadLog{"a cut line after the end", joined(kLog, kLog.size(), "") + kLog[1].substr(0, 9),
               "x.jsonl:" + std::to_string(kLog.size() + 1) + ": a line after the end line"},
        BadLog{"a number too large for any", "{\"log\": 1e388}\n", "x.jsonl:1: not JSON"},
        BadLog{"five bytes", "1e388", "x.jsonl:1: not JSON"},
        BadLog{"bytes that do not match their readable text",
               joined(kLog, 0,
                      "{\"log\":\"barbershop-trace event log\",\"format\":2,\"version\":\"v\","
                      "\"program\":\"p\",\"program_hex\":\"71\"}\n"),
               "x.jsonl:1: \"program\" is not the readable form"},
        BadLog{"a line about a customer the text does not name",
               joined(kLog, 1,
                      "{\"us\":0,\"actor\":\"customer\",\"kind\":\"see-sleeping\","
                      "\"who\":1,\"id\":\"A\",\"text\":\"\\n<<Customer A: see Barber "
                      "sleeping>>\\n\"}\n"),
               "x.jsonl:2: \"who\" names customer 1"},
        BadLog{"the last line cut short", joined(kLog, kLog.size() - 1, kLog.back().substr(0, 9)),
               ""},
        BadLog{"no end line", joined(kLog, kLog.size() - 1, ""), ""}),
    [](const testing::TestParamInfo<BadLog>& param) {
      std::string name = param.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

}  // namespace
