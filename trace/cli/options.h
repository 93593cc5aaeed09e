#ifndef BARBERSHOP_TRACE_CLI_OPTIONS_H_
#define BARBERSHOP_TRACE_CLI_OPTIONS_H_
// barbershop-trace's command line, read with CLI11: the command, the roster it names (read here,
// so a bad roster file stops the companion before anything runs), the session's settings and how
// the summaries look.

#include <optional>
#include <string>
#include <vector>

#include "trace/explore/search.h"
#include "trace/live/access.h"
#include "trace/reading/roster.h"
#include "trace/relay/session.h"
#include "trace/showing/view.h"

enum class Command {
  kSession,
  kListScenarios,
  kListVariants,
  kSchedule,
  kRender,
  kReplay,
  kExplore,
  kMerge,
  kExit
};

struct TraceOptions {
  Command command = Command::kSession;
  int exitStatus = 0;  // for kExit: --help, --version or a usage error already printed
  SessionOptions session;
  ViewStyle style;
  std::string rosterName;  // how the roster was given, for titles ("scenario full-house")
  std::string exportJson;  // --export-json FILE
  std::string reportDir;   // --report DIR
  std::vector<std::string> renderLogs;    // render LOG.jsonl...
  ExploreOptions explore;                 // --explore [N], --seed, --seeds A:B, --jobs
  std::vector<std::string> mergeExports;  // merge A.json B.json...
  bool json = false;                      // schedule --json
  bool step = false;                      // --step: the person picks at each choice of the run
  std::string replayLog;                  // --replay LOG.jsonl
  std::string program;                    // --program as given, which --replay's log gives way to
  std::optional<ListenAddress> live;      // --live: serve the page as the session happens
  std::string challenge;  // --challenge NAME: that variant's goal, on the correct shop
};

// Reads the command line, printing help, the version or a usage error itself (kExit).
TraceOptions parseOptions(int argc, char** argv);

#endif  // BARBERSHOP_TRACE_CLI_OPTIONS_H_
