// --live: the server and its feed around one session.

#include "trace/cli/live.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "trace/common/json_text.h"
#include "trace/relay/output.h"
#include "variants/variants.h"

namespace {

// Every variant's challenge, as the page's start view lists it, with the two commands that take
// it up: on the variant, and on the correct shop.
Json challengeJson(const VariantInfo& variant) {
  const std::string tail =
      std::string(" --scenario ") + variant.controlledScenario + " --step --live 0";
  return {{"variant", variant.name},
          {"goal", variant.goal},
          {"hint", variant.hint},
          {"scenario", variant.controlledScenario},
          {"variantCommand", std::string("barbershop-trace --variant ") + variant.name + tail},
          {"correctCommand", std::string("barbershop-trace --challenge ") + variant.name + tail}};
}

// The page's greeting: the challenges, this session's one, and what runs.
std::string hello(const TraceOptions& options, const VariantInfo* challenge) {
  Json all = Json::array();
  for (const VariantInfo* each = variantsBegin(); each != variantsEnd(); ++each) {
    all.push_back(challengeJson(*each));
  }
  const SessionOptions& session = options.session;
  Json data = {{"drive", false},
               {"challenges", std::move(all)},
               {"challenge", challenge ? challengeJson(*challenge) : Json(nullptr)},
               {"correctShop", session.variant.empty()},
               {"stepped", options.step},
               {"variant", session.variant}};
  putText(data, "program", session.program);
  return oneLine(data);
}

// Waits for Enter, the end of input or a signal that ends a session (held back since the
// session began, so read here).
void waitForEnd() {
  sigset_t stops;
  (void)sigemptyset(&stops);
  for (int signo : kStopSignals) (void)sigaddset(&stops, signo);
  (void)sigprocmask(SIG_BLOCK, &stops, nullptr);
  for (;;) {
    const timespec now = {0, 0};
    if (sigtimedwait(&stops, nullptr, &now) > 0) return;
    pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (poll(&in, 1, 100) > 0) {
      char line[256];
      const ssize_t got = read(STDIN_FILENO, line, sizeof line);
      if (got <= 0 || memchr(line, '\n', static_cast<std::size_t>(got)) != nullptr) return;
    }
  }
}

}  // namespace

LiveShow::LiveShow(const char* challengeRule, LiveSettings settings)
    : feed_(challengeRule), server_(&feed_, std::move(settings)) {}

LiveShow::~LiveShow() { server_.stop(); }

std::unique_ptr<LiveShow> LiveShow::serve(const TraceOptions& options, int* status) {
  const std::string& name =
      options.session.variant.empty() ? options.challenge : options.session.variant;
  const VariantInfo* challenge = name.empty() ? nullptr : findVariant(name);
  LiveSettings settings;
  settings.host = options.live->host;
  settings.port = options.live->port;
  settings.watchKey = freshKey();
  settings.driveKey = freshKey();
  settings.hello = hello(options, challenge);
  if (settings.watchKey.empty() || settings.driveKey.empty()) {
    fprintf(stderr, "barbershop-trace: no randomness for the live page's keys\n");
    *status = kExitProgramFailed;
    return nullptr;
  }
  (void)signal(SIGPIPE, SIG_IGN);  // a page that goes away shows as a failed write
  std::unique_ptr<LiveShow> show(new LiveShow(challenge ? challenge->rule : nullptr, settings));
  std::string error;
  if (!show->server_.listenAndServe(&error)) {
    fprintf(stderr, "barbershop-trace: %s\n", error.c_str());
    *status = kExitUsage;
    return nullptr;
  }
  writeErrors("barbershop-trace: open " + show->server_.driveAddress() + "\n" +
              "barbershop-trace: watch only: " + show->server_.watchAddress() + "\n");
  return show;
}

void LiveShow::feedFrom(SessionOptions* session) {
  LiveFeed* feed = &feed_;
  session->onProgress = [feed](const RunRecord& soFar) { feed->progress(soFar); };
}

void LiveShow::windDown(int status) {
  feed_.sessionEnded();
  feed_.settle(std::chrono::milliseconds(2000));  // the last run's page, drawn
  const bool byHand = status < 128 && isatty(STDIN_FILENO) == 1;
  if (byHand) {
    writeErrors(
        "barbershop-trace: the session has ended; the page stays up until Enter or "
        "Ctrl-C\n");
    waitForEnd();
  }
  server_.stop();
  writeErrors("barbershop-trace: the live page has stopped\n");
}
