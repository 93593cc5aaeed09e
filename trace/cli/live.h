#ifndef BARBERSHOP_TRACE_CLI_LIVE_H_
#define BARBERSHOP_TRACE_CLI_LIVE_H_
// --live: the page served while the session runs. Opened before the session starts, it prints
// its two addresses once; the session feeds it; closed after the session, it tells the page the
// session is over, keeps serving until Enter or Ctrl-C when a person is at the terminal, then
// frees its port. Owner: the command that runs the session, on its thread.

#include <memory>

#include "trace/cli/options.h"
#include "trace/live/feed.h"
#include "trace/live/server.h"

class LiveShow {
 public:
  // Null, with the status to end with, when the server cannot listen where it was asked.
  static std::unique_ptr<LiveShow> serve(const TraceOptions& options, int* status);
  ~LiveShow();

  LiveFeed* feed() { return &feed_; }
  // Feeds `session`'s runs to the page as they happen.
  void feedFrom(SessionOptions* session);
  // The session ended with `status`: the page is told, and kept up while someone may look.
  void windDown(int status);

 private:
  LiveShow(const char* challengeRule, LiveSettings settings);

  LiveFeed feed_;
  LiveServer server_;
};

#endif  // BARBERSHOP_TRACE_CLI_LIVE_H_
