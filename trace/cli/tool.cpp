// The companion's commands: scenarios, schedules, saved logs and sessions with their summaries
// and files.

#include "trace/cli/tool.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "trace/cli/live.h"
#include "trace/cli/step.h"
#include "trace/cli/version.h"
#include "trace/common/utf8.h"
#include "trace/explore/search.h"
#include "trace/explore/session_runner.h"
#include "trace/explore/shortest.h"
#include "trace/explore/summary.h"
#include "trace/explore/workers.h"
#include "trace/files/export.h"
#include "trace/files/report.h"
#include "trace/files/session_page.h"
#include "trace/files/write_whole.h"
#include "trace/judging/schedule.h"
#include "trace/reading/event_log.h"
#include "trace/relay/child.h"
#include "trace/relay/output.h"
#include "trace/relay/program_image.h"
#include "trace/showing/text.h"
#include "trace/showing/view.h"
#include "variants/variants.h"

namespace {

// Standard output has one writer, which tells a failed write once; runTool turns it into the
// exit status.
void say(const std::string& text) { (void)writeOutput(text); }

__attribute__((format(printf, 1, 2))) void sayf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = nullptr;
  const int length = vasprintf(&text, format, args);
  va_end(args);
  if (length < 0) return;  // out of memory: the line is lost, as a failed printf loses it
  say(std::string(text, static_cast<std::size_t>(length)));
  free(text);
}

std::string rosterWords(const Roster& roster, const ViewStyle& style) {
  std::string text;
  for (std::size_t i = 0; i < roster.size(); ++i) {
    const RosterEntry& entry = roster[i];
    text += (i == 0 ? "" : ", ") + shown(customerName(roster, static_cast<int>(i)), style) + " " +
            std::to_string(entry.delayMs) + "+" + std::to_string(entry.cuttingMs);
  }
  return text;
}

int listScenarios(const ViewStyle& style) {
  for (const Scenario& scenario : scenarios()) {
    say(wrapped(scenario.name + ": " + scenario.lesson, style.width, 4));
    say(wrapped("  customers (delay+cut, ms): " + rosterWords(scenario.roster, style), style.width,
                4));
  }
  return kExitOk;
}

int listVariants(const ViewStyle& style) {
  for (const VariantInfo* variant = variantsBegin(); variant != variantsEnd(); ++variant) {
    say(wrapped(std::string(variant->name) + ": " + variant->fault, style.width, 4));
    const std::string controlled =
        std::string(variant->controlledScenario) == variant->scenario
            ? ""
            : std::string(" (") + variant->controlledScenario + " under the scheduler)";
    say(wrapped(std::string("  shown by --scenario ") + variant->scenario + controlled +
                    ", caught as " + variant->rule + "; its change:",
                style.width, 4));
    for (const ChangedFile& file : changedFiles(variant->change)) {
      if (!file.path.empty()) say(wrapped("    " + shown(file.path, style), style.width, 4));
      for (const std::string& line : file.lines) {
        say(wrapped("      " + shown(line, style), style.width, 4));
      }
    }
  }
  return kExitOk;
}

int printSchedule(const TraceOptions& options) {
  const Roster& roster = options.session.roster;
  const Schedule schedule = exactSchedule(roster);
  if (options.json) {
    say(scheduleJson(roster, schedule).dump(1, ' ', false, Json::error_handler_t::replace) + "\n");
    return kExitOk;
  }
  sayf("%-20s %8s  %-10s %9s %9s\n", "customer", "arrival", "outcome", "start", "finish");
  for (std::size_t i = 0; i < schedule.visits.size(); ++i) {
    const PlannedVisit& visit = schedule.visits[i];
    const std::string name = shown(customerName(roster, static_cast<int>(i)), options.style);
    const bool away = visit.outcome == Planned::kSentAway;
    sayf("%s %8lld  %-10s %9s %9s\n", padRight(name, 20).c_str(),
         static_cast<long long>(visit.arrivalMs), wordsOf(visit.outcome).brief,
         away ? "-" : std::to_string(visit.startMs).c_str(),
         away ? "-" : std::to_string(visit.finishMs).c_str());
  }
  sayf("the last customer leaves at %lld ms; at most %zu waiting\n",
       static_cast<long long>(schedule.closingMs), schedule.longestQueue);
  return kExitOk;
}

bool readWholeFile(const std::string& path, std::string* text) {
  FILE* file = fopen(path.c_str(), "rb");
  bool read = file != nullptr;
  if (read) {
    char buffer[65536];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
      text->append(buffer, got);
    read = ferror(file) == 0;
    (void)fclose(file);  // read-only: nothing is lost if closing fails
  }
  if (!read)
    fprintf(stderr, "barbershop-trace: cannot read %s: %s\n", path.c_str(), strerror(errno));
  return read;
}

// Writes one run's files; says which, or why not.
bool report(const std::string& dir, const FinishedRun& run, bool tell) {
  std::vector<std::string> written;
  std::string error;
  if (!writeReport(dir, run, &written, &error)) {
    fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
    return false;
  }
  if (tell) {
    fprintf(stderr, "barbershop-trace: run %d drawn: %s (trace %s, log %s)\n", run.record.number,
            written[2].c_str(), written[1].c_str(), written[0].c_str());
  }
  return true;
}

bool reportDirReady(const std::string& dir) {
  std::string error;
  if (prepareDir(dir, &error)) return true;
  fprintf(stderr, "barbershop-trace: cannot write to %s\n", error.c_str());
  return false;
}

// Writes the session page of the runs drawn; says where, or why not.
bool reportSession(const std::string& dir, const SessionPage& page) {
  std::string path, error;
  if (writeSessionPage(dir, page, &path, &error)) {
    fprintf(stderr, "barbershop-trace: the session's page: %s\n", path.c_str());
    return true;
  }
  fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
  return false;
}

int renderSavedLog(const TraceOptions& options) {
  if (!reportDirReady(options.reportDir)) return kExitUsage;
  SessionPage page;
  for (const std::string& log : options.renderLogs) {
    std::string text;
    if (!readWholeFile(log, &text)) return kExitUsage;
    RunRecord record;
    std::string error, warning;
    if (!readLog(text, log, &record, &error, &warning)) {
      fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!warning.empty()) fprintf(stderr, "barbershop-trace: %s\n", warning.c_str());
    const FinishedRun run = finish(std::move(record));
    if (!report(options.reportDir, run, true)) return kExitBroken;
    page.add(run);
  }
  // One log alone leaves a session's page in the same folder as it was.
  if (options.renderLogs.size() > 1 && !reportSession(options.reportDir, page)) return kExitBroken;
  return kExitOk;
}

// What a session writes besides the program's output, opened before the first run.
struct Outputs {
  ExportFile exported;
  Aggregate aggregate;
  SessionPage page;          // with --report
  std::size_t drawn = 0;     // runs whose three files were all written
  bool written = true;       // every file written so far
  bool changeShown = false;  // a variant's change is shown once, before the first summary
};

bool openOutputs(const TraceOptions& options, Outputs* outputs) {
  if (!options.reportDir.empty() && !reportDirReady(options.reportDir)) return false;
  if (options.exportJson.empty()) return true;
  std::string error;
  if (!outputs->exported.open(options.exportJson, options.session.program, options.rosterName,
                              &error)) {
    fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
    return false;
  }
  // The JSON has standard output to itself: the program's output and the summaries, which
  // would break it, go to standard error.
  if (options.exportJson == "-" && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    fprintf(stderr, "barbershop-trace: cannot send the summaries to standard error: %s\n",
            strerror(errno));
    return false;
  }
  return true;
}

void onRun(const TraceOptions& options, const FinishedRun& run, Outputs* outputs) {
  const auto began = std::chrono::steady_clock::now();
  const int runs = options.session.runs;
  if (runs > 1 && run.verdict.holds()) {
    say(renderDigest(run, runs, options.style));
  } else {
    // A run cut short may have left the program, or a ^C, mid-line.
    if (run.record.end != RunEnd::kClosed) say("\n");
    if (!run.record.variant.empty() && !outputs->changeShown) {
      const VariantInfo* variant = findVariant(run.record.variant);
      say(renderChange(run.record.variant, variant ? variant->fault : "", run.record.variantChange,
                       options.style));
      outputs->changeShown = true;
    }
    say(renderSummary(run, options.style));
  }
  const double shownMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
  if (!options.reportDir.empty()) {
    if (report(options.reportDir, run, runs <= 1)) {
      ++outputs->drawn;
    } else {
      outputs->written = false;
    }
    outputs->page.add(run);
  }
  outputs->aggregate.add(run);
  if (outputs->exported.isOpen()) outputs->exported.add(run, run.judgedMs + shownMs);
}

int runSession(const TraceOptions& options, LiveShow* live) {
  Outputs outputs;
  if (!openOutputs(options, &outputs)) return kExitUsage;
  SessionOptions settings = options.session;
  if (live != nullptr) live->feedFrom(&settings);
  Session session(settings);
  session.onRun([&](const FinishedRun& run) {
    if (live != nullptr) live->feed()->runJudged(run);
    onRun(options, run, &outputs);
  });
  int status = session.run();
  const std::size_t runs = outputs.aggregate.runs();
  if (options.session.runs > 1 && !options.reportDir.empty() && outputs.drawn > 0) {
    const std::string drawn =
        outputs.drawn < runs ? std::to_string(outputs.drawn) + " of " + counted(runs, "run", "runs")
                             : counted(runs, "run", "runs");
    fprintf(stderr, "barbershop-trace: %s drawn in %s: run-N.html, run-N.trace.json, run-N.jsonl\n",
            drawn.c_str(), options.reportDir.c_str());
  }
  if (!options.reportDir.empty() && runs > 0 && !reportSession(options.reportDir, outputs.page)) {
    outputs.written = false;
  }
  if (options.session.runs > 1 && runs > 0) say(outputs.aggregate.render(options.style));
  if (outputs.exported.isOpen()) {
    std::string error;
    // The file records the status its session ends with, which a failed report file makes 1.
    const int recorded = !outputs.written && status == kExitOk ? kExitBroken : status;
    if (!outputs.exported.finish(recorded, &error)) {
      fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
      outputs.written = false;
    }
  }
  if (!outputs.written && status == kExitOk) status = kExitBroken;
  return status;
}

// Writes an exploration's export: to standard output for "-", else the file put in place whole.
bool exportExploration(const std::string& path, const Json& json) {
  const std::string text = json.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
  if (path == "-") return writeOutput(text);
  std::string error;
  if (writeWhole(path, text, &error)) return true;
  fprintf(stderr, "barbershop-trace: cannot write %s\n", error.c_str());
  return false;
}

int runExplore(const TraceOptions& options) {
  if (!options.reportDir.empty() && !reportDirReady(options.reportDir)) return kExitUsage;
  const ExploreOptions& settings = options.explore;
  const auto schedules = [](std::int64_t n) {
    return counted(static_cast<std::size_t>(n), "schedule", "schedules");
  };
  fprintf(stderr, "barbershop-trace: exploring %s: up to %s, seed %llu, %s\n",
          options.rosterName.c_str(), schedules(settings.budget).c_str(),
          static_cast<unsigned long long>(settings.seed),
          counted(static_cast<std::size_t>(settings.jobs), "process", "processes").c_str());
  const Runner runner = sessionRunner(options.session);
  const KeepToOneProcessor pinned;  // the search and its shortest form, and their programs
  const auto began = std::chrono::steady_clock::now();
  const Exploration found = explore(runner, settings);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  if (found.programFailed) {
    if (found.status == kExitProgramFailed) {
      fprintf(stderr, "barbershop-trace: the program could not be run under the scheduler\n");
    }
    return found.status;
  }
  // The schedules that held and the one that broke, if any: schedule 4 is the fifth tried.
  const std::int64_t tried = found.tally.total() + (found.found ? 1 : 0);
  fprintf(stderr, "barbershop-trace: %s in %.1f s (%.0f a second)\n", schedules(tried).c_str(),
          seconds, seconds > 0 ? static_cast<double>(tried) / seconds : 0.0);
  std::optional<Shortest> shortest;
  if (found.found) shortest = shortestFailing(runner, found.found->plan, found.found->failure);
  const Shortest* told = shortest ? &*shortest : nullptr;
  // The JSON may have standard output to itself: the words then go to standard error.
  if (options.exportJson == "-") {
    writeErrors(explorationText(found, told));
  } else {
    say(explorationText(found, told));
  }
  bool written = true;
  if (told != nullptr && told->outcome.run && !options.reportDir.empty()) {
    written = report(options.reportDir, *told->outcome.run, false);
    if (written) {
      fprintf(stderr,
              "barbershop-trace: the shortest failing run drawn in %s: run-1.html, "
              "run-1.trace.json and run-1.jsonl (replay it with --replay)\n",
              options.reportDir.c_str());
    }
  }
  if (!options.exportJson.empty()) {
    written = exportExploration(options.exportJson,
                                explorationJson(found, told, settings, options.rosterName)) &&
              written;
  }
  if (found.found) return kExitBroken;
  return written ? kExitOk : kExitBroken;
}

int mergeExports(const TraceOptions& options) {
  std::vector<Json> exports;
  for (const std::string& path : options.mergeExports) {
    std::string text;
    if (!readWholeFile(path, &text)) return kExitUsage;
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) {
      fprintf(stderr, "barbershop-trace: %s is not JSON\n", path.c_str());
      return kExitUsage;
    }
    exports.push_back(std::move(json));
  }
  std::string error;
  const std::optional<Exploration> total = mergeExplorations(exports, options.mergeExports, &error);
  if (!total) {
    fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
    return kExitUsage;
  }
  say(explorationText(*total, nullptr));
  return total->found ? kExitBroken : kExitOk;
}

int runLive(const TraceOptions& options);

// The plan that makes a saved controlled run again: every recorded pick, none other allowed.
std::string replayPlan(const ControlRecord& control) {
  std::string picks;
  for (const Choice& choice : control.choices) {
    picks += (picks.empty() ? "" : ",") + std::to_string(choice.pick);
  }
  return "picks=" + picks + ";strict=1;then=first";
}

// --replay: the saved run's roster typed again into the same build, each choice made as it was
// made and compared as it comes.
int replaySavedRun(TraceOptions options) {
  const std::string& log = options.replayLog;
  std::string text, error, warning;
  RunRecord saved;
  if (!readWholeFile(log, &text)) return kExitUsage;
  if (!readLog(text, log, &saved, &error, &warning)) {
    fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
    return kExitUsage;
  }
  if (!saved.control.controlled) {
    fprintf(stderr,
            "barbershop-trace: %s is a real-time run's log; only a controlled run replays\n",
            log.c_str());
    return kExitUsage;
  }
  SessionOptions& session = options.session;
  session.program = options.program;
  if (session.program.empty() && !saved.variant.empty()) {
    session.program = findVariantProgram(saved.variant, true);
  }
  if (session.program.empty()) session.program = saved.program;
  if (fileDigest(session.program) != saved.control.programDigest) {
    fprintf(stderr, "barbershop-trace: %s was recorded with another build of %s\n", log.c_str(),
            session.program.c_str());
    return kExitUsage;
  }
  session.roster = saved.roster;
  session.typeRoster = true;
  session.runs = 1;
  session.slow = saved.slow;
  session.writtenBy = kTraceVersion;
  session.variant = saved.variant;
  session.variantChange = saved.variantChange;
  session.controlPlan = replayPlan(saved.control);
  session.expectedChoices = saved.control.choices;
  return runLive(options);
}

// A session, by hand or not, with its live page around it when asked for.
int runLive(const TraceOptions& options) {
  std::unique_ptr<LiveShow> live;
  if (options.live) {
    int status = kExitOk;
    live = LiveShow::serve(options, &status);
    if (!live) return status;
  }
  const int status = options.step ? runStep(options, live ? live->feed() : nullptr)
                                  : runSession(options, live.get());
  if (live) live->windDown(status);
  return status;
}

int runCommand(const TraceOptions& options) {
  switch (options.command) {
    case Command::kExit:
      return options.exitStatus;
    case Command::kListScenarios:
      return listScenarios(options.style);
    case Command::kListVariants:
      return listVariants(options.style);
    case Command::kSchedule:
      return printSchedule(options);
    case Command::kRender:
      return renderSavedLog(options);
    case Command::kSession:
      return runLive(options);
    case Command::kExplore:
      return runExplore(options);
    case Command::kMerge:
      return mergeExports(options);
    case Command::kReplay:
      return replaySavedRun(options);
  }
  return kExitUsage;
}

}  // namespace

int runTool(const TraceOptions& options) { return statusAfterOutput(runCommand(options)); }
