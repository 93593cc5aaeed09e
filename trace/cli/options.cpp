// The command line: CLI11 reads it, this file says what it means.

#include "trace/cli/options.h"

#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "trace/relay/child.h"
#include "trace/cli/version.h"

namespace {

constexpr char kExamples[] = R"(Examples:
  barbershop-trace                               the program, with a summary after every run
  barbershop-trace --scenario list               the built-in rosters and what each shows
  barbershop-trace --scenario full-house --run   type a roster, run it once, check it, end
  barbershop-trace --roster my.csv --slow 10     type my.csv ten times slower, then your turn
  barbershop-trace --scenario close-call --runs 50 --quiet
                                                 fifty runs, their verdicts and an aggregate
  printf '4\n6\n7\n' | barbershop-trace          piped answers work as with the program
  barbershop-trace schedule --scenario trickle   the exact schedule, without running anything
  barbershop-trace --scenario full-house --run --report out/
                                                 also write out/run-1.html, .trace.json, .jsonl
  barbershop-trace render out/run-1.jsonl --report again/
                                                 draw a saved event log's files again

A roster file is CSV with the header id,delay_ms,cut_ms and 1 to 10 rows.
Exit status: 0 every run kept the shop's rules; 1 a rule was broken (or a run got stuck);
2 bad usage or roster file; 3 the program failed; 130 interrupted by Ctrl-C.
See barbershop-trace(1).)";

std::size_t terminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = getenv("COLUMNS")) {
    int value = atoi(columns);
    if (value > 0) return static_cast<std::size_t>(value);
  }
  return 80;
}

int usage(const std::string& message) {
  fprintf(stderr, "barbershop-trace: %s\nTry 'barbershop-trace --help' for more.\n",
          message.c_str());
  return kExitUsage;
}

}  // namespace

TraceOptions parseOptions(int argc, char** argv) {
  TraceOptions options;
  CLI::App app{
      "barbershop-trace runs the barbershop program as its child, passes on everything it prints\n"
      "and every answer you type, and after each run prints a summary: times, a timeline and a\n"
      "verdict on whether the run kept the shop's rules.",
      "barbershop-trace"};
  app.footer(kExamples);
  app.set_version_flag("--version", kTraceVersion);
  app.get_formatter()->column_width(34);

  std::string program, rosterFile, scenario, colour = "auto";
  std::optional<int> random;
  std::optional<std::uint32_t> seed;
  int slow = 1, runs = 0, width = 0;
  bool once = false;

  auto addRosterOptions = [&](CLI::App* where) {
    auto* file = where->add_option("--roster", rosterFile, "Type the customers of this CSV file")
                     ->type_name("FILE");
    auto* named =
        where->add_option("--scenario", scenario, "Type a built-in roster; 'list' shows them")
            ->type_name("NAME");
    auto* drawn = where->add_option("--random", random, "Type N random customers (1 to 10)")
                      ->type_name("N")
                      ->check(CLI::Range(1, 10));
    where->add_option("--seed", seed, "The seed of --random: the same seed, the same roster")
        ->type_name("S");
    file->excludes(named)->excludes(drawn);
    named->excludes(drawn);
    where->add_option("--slow", slow, "Multiply every delay and cutting time by K (1 to 100)")
        ->type_name("K")
        ->check(CLI::Range(1, kMaxSlow));
  };
  addRosterOptions(&app);
  app.add_option("--program", program,
                 "The barbershop to run (default: the one beside this, "
                 "else on PATH)")
      ->type_name("PATH");
  app.add_flag("--run", once, "Run the roster once, print its summary and end");
  app.add_option("--runs", runs, "Run the roster N times and add an aggregate")
      ->type_name("N")
      ->check(CLI::Range(1, 100000));
  app.add_flag("-q,--quiet", options.session.quiet,
               "Keep the program's own output off the screen; print the summaries");
  app.add_option("--color", colour,
                 "Colour the summary: auto (on a terminal without NO_COLOR), "
                 "always or never")
      ->type_name("WHEN")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  app.add_option("--width", width, "Columns for the summary (default: the terminal's)")
      ->type_name("COLUMNS")
      ->check(CLI::Range(40, 1000));
  app.add_option("--export-json", options.exportJson,
                 "Write every run's measurements and verdict to this JSON file")
      ->type_name("FILE");

  app.add_option("--report", options.reportDir,
                 "Write each run's page, Chrome trace and event log into DIR (made if missing)")
      ->type_name("DIR");

  CLI::App* schedule = app.add_subcommand("schedule", "Print a roster's exact schedule");
  addRosterOptions(schedule);
  schedule->add_flag("--json", options.json, "As JSON");

  CLI::App* render = app.add_subcommand(
      "render", "Draw a saved event log's page, trace and log again, without running anything");
  render->add_option("log", options.renderLog, "The event log, a run-N.jsonl")
      ->type_name("LOG.jsonl")
      ->required();
  render->add_option("--report", options.reportDir, "Write the files into DIR (made if missing)")
      ->type_name("DIR")
      ->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    options.command = Command::kExit;
    const int code = app.exit(error);
    options.exitStatus = code == 0 ? kExitOk : kExitUsage;
    return options;
  }
  auto fail = [&](const std::string& message) {
    options.command = Command::kExit;
    options.exitStatus = usage(message);
    return options;
  };

  if (render->parsed()) {
    options.command = Command::kRender;
    return options;
  }
  if (scenario == "list") {
    options.command = Command::kListScenarios;
    return options;
  }
  Roster roster;
  bool haveRoster = true;
  if (!rosterFile.empty()) {
    std::string error;
    if (!readRosterFile(rosterFile, &roster, &error)) {
      options.command = Command::kExit;
      fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
      options.exitStatus = kExitUsage;
      return options;
    }
    options.rosterName = rosterFile;
  } else if (!scenario.empty()) {
    const Scenario* found = findScenario(scenario);
    if (found == nullptr) {
      std::string known;
      for (const Scenario& each : scenarios()) known += (known.empty() ? "" : ", ") + each.name;
      return fail("no scenario '" + scenario + "'; the scenarios are: " + known);
    }
    roster = found->roster;
    options.rosterName = "scenario " + scenario;
  } else if (random) {
    if (!seed) {
      // A seed from the clock, told to the user so the roster can be had again.
      seed = static_cast<std::uint32_t>(
          std::chrono::system_clock::now().time_since_epoch().count() % 2147483647);
      fprintf(stderr, "barbershop-trace: --random %d --seed %u\n", *random, *seed);
    }
    roster = randomRoster(*random, *seed);
    options.rosterName = "random " + std::to_string(*random) + ", seed " + std::to_string(*seed);
  } else {
    haveRoster = false;
    if (seed) return fail("--seed goes with --random");
  }
  if (slow > 1) roster = slowed(roster, slow);

  if (schedule->parsed()) {
    if (!haveRoster) return fail("schedule needs a roster: --roster, --scenario or --random");
    options.command = Command::kSchedule;
    options.session.roster = roster;
    return options;
  }
  if ((once || runs > 0) && !haveRoster) {
    return fail("--run and --runs need a roster: --roster FILE, --scenario NAME or --random N");
  }
  if (once && runs > 0) return fail("--run and --runs go alone: --run is --runs 1");

  SessionOptions& session = options.session;
  session.program = findProgram(program);
  if (session.program.empty()) {
    options.command = Command::kExit;
    fprintf(stderr,
            "barbershop-trace: cannot find barbershop beside this program or on PATH; "
            "name it with --program PATH\n");
    options.exitStatus = kExitProgramFailed;
    return options;
  }
  session.roster = roster;
  session.typeRoster = haveRoster;
  session.runs = once ? 1 : runs;
  session.slow = slow;
  options.style.width =
      width > 0 ? static_cast<std::size_t>(width) : std::max<std::size_t>(40, terminalWidth());
  const char* noColour = getenv("NO_COLOR");
  options.style.colour = colour == "always" || (colour == "auto" && isatty(STDOUT_FILENO) &&
                                                (noColour == nullptr || noColour[0] == '\0'));
  setlocale(LC_CTYPE, "");
  options.style.unicode = std::string(nl_langinfo(CODESET)) == "UTF-8";
  return options;
}
