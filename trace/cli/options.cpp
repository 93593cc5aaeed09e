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
#include <optional>
#include <sstream>

#include "trace/cli/version.h"
#include "trace/relay/child.h"
#include "trace/relay/output.h"
#include "trace/showing/text.h"
#include "variants/variants.h"

namespace {

constexpr char kDescription[] =
    "barbershop-trace runs the barbershop program as its child, passes on everything it prints "
    "and every answer you type, and after each run prints a summary: times, a timeline and a "
    "verdict on whether the run kept the shop's rules.";

constexpr char kExamples[] = R"(Examples:
  barbershop-trace
      the program, with a summary after every run
  barbershop-trace --scenario list
      the built-in rosters, what each shows, and its customers
  barbershop-trace --scenario full-house --run
      type a roster, run it once, check it, end
  barbershop-trace --roster my.csv --slow 10
      type my.csv ten times slower, then your turn
  barbershop-trace --scenario close-call --runs 50 --quiet
      fifty runs, their verdicts and an aggregate
  printf '4\n6\n7\n' | barbershop-trace
      piped answers work as with the program
  barbershop-trace schedule --scenario trickle
      the exact schedule, without running anything
  barbershop-trace --scenario full-house --run --report out/
      also write out/run-1.html, .trace.json, .jsonl and out/index.html
  barbershop-trace render out/run-1.jsonl --report again/
      draw a saved event log's files again
  barbershop-trace render out/run-*.jsonl --report again/
      draw several, with their session page, again/index.html
  barbershop-trace --scenario lone --step
      be the scheduler: pick who goes at each choice (n next line, b back, q stop)
  barbershop-trace --variant list
      the shop broken on purpose: each classic fault, its change and the scenario that shows it
  barbershop-trace --variant lost-wakeup --runs 30 --quiet
      watch the lost wake-up happen, and the verdict catch it
  barbershop-trace --variant lost-wakeup --plan 'then=random;seed=4' --report out/
      one thread at a time on a virtual clock, as the plan picks: the same run every time
  barbershop-trace --replay out/run-1.jsonl
      that controlled run again, choice for choice, checked against its log
  barbershop-trace --scenario full-house --slow 10 --live
      serve the page live, following each run as it happens (prints its address)
  barbershop-trace --variant lost-wakeup --scenario close-call --step --live 0
      let the class be the scheduler from the page, with the variant's challenge
  barbershop-trace --variant lost-wakeup --explore
      search the interleavings for one that fails, then its shortest form, told step by step
  barbershop-trace --scenario full-house --explore 100000 --seeds 0:50000 --export-json a.json
      half of a big search; `barbershop-trace merge a.json b.json` adds the halves up

A roster file is CSV with the header id,delay_ms,cut_ms and 1 to 10 rows. Exit status: 0 every run kept the shop's rules; 1 a rule was broken, a run got stuck or a write failed; 2 bad usage, roster file or log, or a --live port in use; 3 the program failed; 129 hung up (SIGHUP); 130 interrupted (Ctrl-C), or --step stopped with q; 131 quit (Ctrl-\); 141 the output's reader went away; 143 terminated (SIGTERM); at the terminal, any other status the program ended with is passed on. What the summary's words mean (plan, late, namesakes, torn, released-after-finish and the other rules): the GLOSSARY in barbershop-trace(1), and at the foot of every report page. See barbershop-trace(1).)";

// What the command line said, before it is made sense of.
struct Given {
  std::string program, variant, rosterFile, scenario, colour = "auto", summary = "auto", plan;
  std::optional<int> random;
  std::optional<std::uint32_t> seed;
  int slow = 1, runs = 0, width = 0;
  bool once = false;
  std::string explore, seeds;  // --explore [N] (empty when given without N), --seeds A:B
  bool exploring = false;      // --explore was given
  CLI::Option* exploreOption = nullptr;
  std::string live, challenge;  // --live [[ADDRESS:]PORT] (empty when given without), --challenge
  CLI::Option* liveOption = nullptr;
  int jobs = 0;  // 0: one per core
};

// Schedules an exploration tries unless told: a full house's search ends in a few seconds.
constexpr std::int64_t kExploreBudget = 500;

struct Terminal {
  std::size_t columns = 80, rows = 0;
};

Terminal terminal(int descriptor = STDOUT_FILENO) {
  Terminal out;
  winsize size{};
  if (ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    out.columns = size.ws_col;
    out.rows = size.ws_row;
    return out;
  }
  if (const char* columns = getenv("COLUMNS")) {
    const int value = atoi(columns);
    if (value > 0) out.columns = static_cast<std::size_t>(value);
  }
  return out;
}

// Every option that takes a value refuses an empty one, as an unknown one: `--variant "$V"` with
// V unset must not run the correct shop as if no variant had been named. Put before any other
// check, so it is the one that speaks.
CLI::Option* valued(CLI::Option* option) {
  return option->check(CLI::Validator(
      [](const std::string& value) {
        return value.empty() ? std::string("an empty value; give one or leave the option out")
                             : std::string();
      },
      "", "NOT_EMPTY"));
}

void rosterOptions(CLI::App* where, Given* given) {
  auto* file =
      valued(where->add_option("--roster", given->rosterFile, "Type the customers of a CSV file"))
          ->type_name("FILE");
  auto* named =
      valued(where->add_option("--scenario", given->scenario, "Type a built-in roster; 'list'"))
          ->type_name("NAME");
  auto* drawn =
      valued(where->add_option("--random", given->random, "Type N random customers (1 to 10)"))
          ->type_name("N")
          ->check(CLI::Range(1, 10));
  valued(where->add_option("--seed", given->seed, "The seed of --random or --explore"))
      ->type_name("S");
  file->excludes(named)->excludes(drawn);
  named->excludes(drawn);
  valued(where->add_option("--slow", given->slow, "Every delay and cut times K (1-100)"))
      ->type_name("K")
      ->check(CLI::Range(1, kMaxSlow));
}

void sessionOptions(CLI::App* app, Given* given, TraceOptions* options) {
  auto* program = valued(app->add_option("--program", given->program, "The barbershop to run"))
                      ->type_name("PATH");
  valued(app->add_option("--variant", given->variant, "Run a broken variant of the shop; 'list'"))
      ->type_name("NAME")
      ->excludes(program);
  app->add_flag("--run", given->once, "Run the roster once, summarise, end");
  app->add_flag("--step", options->step, "Be the scheduler: pick who goes at each choice");
  valued(app->add_option("--plan", given->plan,
                         "Run one thread at a time on a virtual clock, as PLAN picks "
                         "(then=first, then=random;seed=S, ...)"))
      ->type_name("PLAN");
  valued(app->add_option("--replay", options->replayLog,
                         "Run a saved controlled run again, choice for choice, and compare"))
      ->type_name("LOG.jsonl");
  valued(app->add_option("--runs", given->runs, "Run the roster N times, then an aggregate"))
      ->type_name("N")
      ->check(CLI::Range(1, 100000));
  app->add_flag("-q,--quiet", options->session.quiet, "Only the summaries, not the program");
  valued(app->add_option("--summary", given->summary, "full, compact or auto (fit the terminal)"))
      ->type_name("FORM")
      ->check(CLI::IsMember({"auto", "full", "compact"}));
  valued(app->add_option("--color", given->colour, "auto (a terminal, no NO_COLOR), always, never"))
      ->type_name("WHEN")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  valued(app->add_option("--width", given->width, "Columns for the summary"))
      ->type_name("COLUMNS")
      ->check(CLI::Range(40, 1000));
  valued(app->add_option("--export-json", options->exportJson,
                         "Every run's data as JSON in FILE; '-' stdout"))
      ->type_name("FILE");
  valued(app->add_option("--report", options->reportDir, "Each run's page, trace and log in DIR"))
      ->type_name("DIR");
  given->liveOption =
      app->add_option("--live", given->live,
                      "Serve the session's page live (default 127.0.0.1, a free port)")
          ->type_name("[[ADDR:]PORT]")
          ->expected(0, 1);
  valued(app->add_option("--challenge", given->challenge,
                         "Set a variant's challenge on the live page of the correct shop"))
      ->type_name("NAME");
  given->exploreOption =
      app->add_option("--explore", given->explore,
                      "Search N schedules (default 500) for one that breaks a rule")
          ->type_name("[N]")
          ->expected(0, 1);
  valued(app->add_option("--jobs", given->jobs, "Explore in N processes (default: the cores)"))
      ->type_name("N")
      ->check(CLI::Range(1, 256));
  valued(app->add_option("--seeds", given->seeds, "Explore only schedules A..B-1 of the search"))
      ->type_name("A:B");
}

TraceOptions exitWith(int status) {
  TraceOptions options;
  options.command = Command::kExit;
  options.exitStatus = status;
  return options;
}

TraceOptions usage(const std::string& message) {
  fprintf(stderr, "barbershop-trace: %s\nTry 'barbershop-trace --help' for more.\n",
          message.c_str());
  return exitWith(kExitUsage);
}

// --explore's settings, or a usage error already printed.
std::optional<TraceOptions> exploreFrom(const Given& given, TraceOptions* options) {
  ExploreOptions& explore = options->explore;
  explore.budget = kExploreBudget;
  // Given alone, --explore reads as a flag would.
  const bool counted = !given.explore.empty() && given.explore != "true";
  if (counted) {
    char* end = nullptr;
    const long long n = strtoll(given.explore.c_str(), &end, 10);
    if (*end != '\0' || n < 1 || n > 100000000) {
      return usage("--explore takes a number of schedules from 1 to 100000000, not '" +
                   given.explore + "'");
    }
    explore.budget = n;
  }
  explore.seed = given.seed.value_or(1);
  explore.jobs =
      given.jobs > 0 ? given.jobs : static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
  if (!given.seeds.empty()) {
    long long from = 0, to = 0;
    char rest = 0;
    if (sscanf(given.seeds.c_str(), "%lld:%lld%c", &from, &to, &rest) != 2 || from < 0 ||
        to <= from) {
      return usage("--seeds takes A:B, the schedules numbered A to B-1 (0 <= A < B), not '" +
                   given.seeds + "'");
    }
    explore.from = from;
    explore.to = to;
    if (!counted) explore.budget = std::max<std::int64_t>(explore.budget, to);
    if (to > explore.budget) {
      return usage("--seeds " + given.seeds + " goes past the search's " +
                   std::to_string(explore.budget) + " schedules");
    }
  }
  return std::nullopt;
}

// Whether the runs are controlled (--plan, --step, --explore): a variant then runs as its build
// without the widened window, on the scenario that shows it under the scheduler.
bool controlledRuns(const Given& given, const TraceOptions& options) {
  return !given.plan.empty() || options.step || given.exploring;
}

// The roster the command line names, or an error already printed (`failed` set).
std::optional<Roster> chooseRoster(Given* given, TraceOptions* options,
                                   std::optional<TraceOptions>* failed) {
  Roster roster;
  if (!given->rosterFile.empty()) {
    std::string error;
    if (!readRosterFile(given->rosterFile, &roster, &error)) {
      fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
      *failed = exitWith(kExitUsage);
      return std::nullopt;
    }
    options->rosterName = given->rosterFile;
  } else if (!given->scenario.empty()) {
    const Scenario* found = findScenario(given->scenario);
    if (found == nullptr) {
      std::string known;
      for (const Scenario& each : scenarios()) known += (known.empty() ? "" : ", ") + each.name;
      *failed = usage("no scenario '" + given->scenario + "'; the scenarios are: " + known);
      return std::nullopt;
    }
    roster = found->roster;
    options->rosterName = "scenario " + given->scenario;
  } else if (given->random) {
    if (!given->seed) {
      // A seed from the clock, told to the user so the roster can be had again.
      given->seed = static_cast<std::uint32_t>(
          std::chrono::system_clock::now().time_since_epoch().count() % 2147483647);
      fprintf(stderr, "barbershop-trace: --random %d --seed %u\n", *given->random, *given->seed);
    }
    roster = randomRoster(*given->random, *given->seed);
    options->rosterName =
        "random " + std::to_string(*given->random) + ", seed " + std::to_string(*given->seed);
  } else if (!given->variant.empty() || !given->challenge.empty()) {
    // A variant without a roster runs the scenario that shows its fault; the correct shop set a
    // variant's challenge runs the scenario the challenge is met in.
    const VariantInfo* variant =
        findVariant(given->variant.empty() ? given->challenge : given->variant);
    if (variant == nullptr) return std::nullopt;
    const char* name =
        controlledRuns(*given, *options) ? variant->controlledScenario : variant->scenario;
    const Scenario* found = findScenario(name);
    if (found == nullptr) return std::nullopt;
    roster = found->roster;
    options->rosterName = std::string("scenario ") + name;
  } else {
    if (given->seed && !given->exploring) *failed = usage("--seed goes with --random");
    return std::nullopt;
  }
  return given->slow > 1 ? slowed(roster, given->slow) : roster;
}

// How the summaries look where they go: standard output, or standard error when the JSON has
// standard output to itself (--export-json -).
ViewStyle styleFor(const Given& given, int shownOn) {
  ViewStyle style;
  const Terminal screen = terminal(shownOn);
  style.width = given.width > 0 ? static_cast<std::size_t>(given.width)
                                : std::max<std::size_t>(40, screen.columns);
  style.height = screen.rows;
  const char* noColour = getenv("NO_COLOR");
  style.colour = given.colour == "always" || (given.colour == "auto" && isatty(shownOn) &&
                                              (noColour == nullptr || noColour[0] == '\0'));
  setlocale(LC_CTYPE, "");
  style.unicode = std::string(nl_langinfo(CODESET)) == "UTF-8";
  style.form = given.summary == "full"      ? SummaryForm::kFull
               : given.summary == "compact" ? SummaryForm::kCompact
                                            : SummaryForm::kAuto;
  return style;
}

// --live and --challenge: where the page listens, and the goal it sets.
std::optional<TraceOptions> liveFrom(const Given& given, TraceOptions* options) {
  if (given.liveOption->count() > 0) {
    ListenAddress address;
    std::string error;
    if (!parseListenAddress(given.live.empty() ? "0" : given.live, &address, &error)) {
      return usage(error);
    }
    if (given.exploring) return usage("--live shows one session as it happens: not --explore");
    options->live = address;
  }
  if (given.challenge.empty()) return std::nullopt;
  if (!options->live) return usage("--challenge sets the live page's goal: it goes with --live");
  if (!given.variant.empty()) {
    return usage("--challenge is for the correct shop: a variant has its own challenge");
  }
  if (findVariant(given.challenge) == nullptr) {
    return usage("no variant '" + given.challenge + "' to take a challenge from");
  }
  options->challenge = given.challenge;
  return std::nullopt;
}

// --step and --explore: what each needs and leaves out; an exploration's own options.
std::optional<TraceOptions> controlledFrom(const Given& given, bool roster, TraceOptions* out) {
  TraceOptions& options = *out;
  if (options.step && (!roster || given.once || given.runs > 0 || !options.exportJson.empty())) {
    return usage("--step needs a roster and runs it once, without --run, --runs or --export-json");
  }
  const bool exploring = given.exploring;
  if (exploring && options.step) {
    return usage("--step and --explore go alone: one run by hand, or many");
  }
  if (exploring && (given.once || given.runs > 0)) {
    return usage(
        "--explore runs the roster under many schedules itself: leave out --run and --runs");
  }
  if (exploring && !roster) {
    return usage("--explore needs a roster: --roster FILE, --scenario NAME or --random N");
  }
  if (!exploring && (given.jobs > 0 || !given.seeds.empty())) {
    return usage("--jobs and --seeds go with --explore");
  }
  if (exploring && !given.plan.empty()) {
    return usage("--explore makes a plan for each schedule itself: leave out --plan");
  }
  if (exploring) {
    if (std::optional<TraceOptions> failed = exploreFrom(given, &options)) return *failed;
    options.command = Command::kExplore;
  }
  return std::nullopt;
}

// The session the command line asks for, once its roster is known.
TraceOptions sessionFrom(const Given& given, std::optional<Roster> roster, TraceOptions options) {
  if ((given.once || given.runs > 0) && !roster) {
    return usage("--run and --runs need a roster: --roster FILE, --scenario NAME or --random N");
  }
  if (given.once && given.runs > 0) return usage("--run and --runs go alone: --run is --runs 1");
  if (std::optional<TraceOptions> refused = controlledFrom(given, roster.has_value(), &options)) {
    return *refused;
  }
  SessionOptions& session = options.session;
  session.program = findProgram(given.program);
  if (!given.variant.empty()) {
    const VariantInfo* variant = findVariant(given.variant);
    session.variant = variant->name;
    session.variantChange = variant->change;
    // A controlled run opens the race windows itself: the build without widened ones, if there.
    session.program =
        controlledRuns(given, options) ? findVariantProgram(variant->name, true) : std::string();
    if (session.program.empty()) session.program = findVariantProgram(variant->name);
    if (session.program.empty()) {
      fprintf(stderr,
              "barbershop-trace: the variant %s is not built beside this program (variants/%s) "
              "nor installed (../lib/barbershop/variants/%s)\n",
              variant->name, variant->name, variant->name);
      return exitWith(kExitProgramFailed);
    }
  }
  if (session.program.empty()) {
    fprintf(stderr,
            "barbershop-trace: cannot find barbershop beside this program or on PATH; "
            "name it with --program PATH\n");
    return exitWith(kExitProgramFailed);
  }
  session.typeRoster = roster.has_value();
  session.roster = roster.value_or(Roster{});
  session.runs = given.once || options.step ? 1 : given.runs;
  session.controlPlan = given.plan;
  // A controlled session runs its roster and ends: each run is a program of its own.
  if (!given.plan.empty()) {
    if (!roster)
      return usage("--plan needs a roster: --roster FILE, --scenario NAME or --random N");
    session.runs = std::max(session.runs, 1);
  }
  session.slow = given.slow;
  session.writtenBy = kTraceVersion;
  return options;
}

// Nullopt once the command line is read; else help, the version or a usage error, printed.
std::optional<TraceOptions> parse(CLI::App* app, int argc, char** argv) {
  try {
    app->parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and the version go through the one writer, so a failed write ends with status 1.
    std::ostringstream out;
    std::ostringstream errors;
    const int status = app->exit(error, out, errors);
    (void)writeOutput(out.str());
    writeErrors(errors.str());
    return exitWith(status == 0 ? kExitOk : kExitUsage);
  }
  return std::nullopt;
}

struct Subcommands {
  CLI::App* schedule;
  CLI::App* render;
  CLI::App* merge;
};

Subcommands subcommands(CLI::App* app, Given* given, TraceOptions* options) {
  CLI::App* schedule = app->add_subcommand("schedule", "Print a roster's exact schedule");
  rosterOptions(schedule, given);
  schedule->add_flag("--json", options->json, "As JSON");
  CLI::App* render = app->add_subcommand("render", "Draw a saved event log's files again");
  valued(render->add_option("log", options->renderLogs,
                            "Event logs, run-N.jsonl; several: index.html too"))
      ->type_name("LOG.jsonl")
      ->required();
  valued(render->add_option("--report", options->reportDir, "Write the files into DIR"))
      ->type_name("DIR")
      ->required();
  CLI::App* merge = app->add_subcommand("merge", "Add up the exports of a split --explore");
  valued(merge->add_option("export", options->mergeExports, "Exports of --explore --export-json"))
      ->type_name("FILE.json")
      ->required();
  return Subcommands{schedule, render, merge};
}

}  // namespace

TraceOptions parseOptions(int argc, char** argv) {
  TraceOptions options;
  Given given;
  const Terminal screen = terminal();
  CLI::App app{wrapped(kDescription, screen.columns, 0), "barbershop-trace"};
  app.footer(wrapped(kExamples, screen.columns, 0));
  app.set_version_flag("--version", kTraceVersion);
  app.get_formatter()->column_width(26);
  rosterOptions(&app, &given);
  sessionOptions(&app, &given, &options);
  const Subcommands tools = subcommands(&app, &given, &options);
  if (std::optional<TraceOptions> failed = parse(&app, argc, argv)) return *failed;
  given.exploring = given.exploreOption->count() > 0;
  if (std::optional<TraceOptions> failed = liveFrom(given, &options)) return *failed;
  options.style = styleFor(given, options.exportJson == "-" ? STDERR_FILENO : STDOUT_FILENO);
  if (tools.render->parsed()) {
    options.command = Command::kRender;
    return options;
  }
  if (tools.merge->parsed()) {
    options.command = Command::kMerge;
    return options;
  }
  if (given.scenario == "list" || given.variant == "list") {
    options.command = given.scenario == "list" ? Command::kListScenarios : Command::kListVariants;
    return options;
  }
  if (!given.variant.empty() && findVariant(given.variant) == nullptr) {
    std::string known;
    for (const VariantInfo* each = variantsBegin(); each != variantsEnd(); ++each) {
      known += (known.empty() ? "" : ", ") + std::string(each->name);
    }
    return usage("no variant '" + given.variant + "'; the variants are: " + known);
  }
  options.program = given.program;
  if (!options.replayLog.empty()) {
    const bool alone = given.rosterFile.empty() && given.scenario.empty() && !given.random &&
                       given.variant.empty() && given.plan.empty() && given.runs == 0;
    if (!alone) return usage("--replay runs the log's roster, program and picks: it goes alone");
    options.command = Command::kReplay;
    return options;
  }
  std::optional<TraceOptions> failed;
  std::optional<Roster> roster = chooseRoster(&given, &options, &failed);
  if (failed) return *failed;
  if (tools.schedule->parsed()) {
    if (!roster) return usage("schedule needs a roster: --roster, --scenario or --random");
    options.command = Command::kSchedule;
    options.session.roster = *roster;
    return options;
  }
  return sessionFrom(given, std::move(roster), std::move(options));
}
