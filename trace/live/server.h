#ifndef BARBERSHOP_TRACE_LIVE_SERVER_H_
#define BARBERSHOP_TRACE_LIVE_SERVER_H_
// The live page's HTTP server (cpp-httplib), on threads of its own that take no signal: the page,
// the session's events as server-sent events, each finished run's own page, and the page's
// drive requests. Every request must carry one of the session's two keys (the watch key may
// look, the drive key may also drive) and come from the page's own origin; a bad one gets a 4xx
// and a line of text, nothing else. Open event streams are capped; a reader that stops reading is
// dropped after kWriteTimeoutMs, and only ever holds up its own thread, never the relay.
//
// Owner: the session (cli); it stops the server before the feed goes.

#include <memory>
#include <string>

#include "trace/live/feed.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// Most event streams open at once; one more is answered 503.
constexpr int kMaxStreams = 16;
// A stream whose reader takes longer than this to take what is written is closed.
constexpr int kWriteTimeoutMs = 2000;

struct LiveSettings {
  std::string host = "127.0.0.1";
  int port = 0;          // 0: any free port
  std::string watchKey;  // may look
  std::string driveKey;  // may look and drive
  std::string hello;     // the hello event's JSON, without its "drive"
};

class LiveServer {
 public:
  LiveServer(LiveFeed* feed, LiveSettings settings);
  ~LiveServer();  // stops it
  LiveServer(const LiveServer&) = delete;
  LiveServer& operator=(const LiveServer&) = delete;

  // Binds and starts serving; false with `*error` ("address in use") when it cannot.
  bool listenAndServe(std::string* error);
  // The two addresses to hand out, with their keys.
  std::string driveAddress() const { return address(settings_.driveKey); }
  std::string watchAddress() const { return address(settings_.watchKey); }
  void stop();

 private:
  bool listen(std::string* error);
  std::string address(const std::string& key) const;
  void serveEvents(const httplib::Request& req, httplib::Response& res);

  struct Impl;
  std::unique_ptr<Impl> impl_;
  LiveFeed* feed_;
  LiveSettings settings_;
  int port_ = 0;
};

#endif  // BARBERSHOP_TRACE_LIVE_SERVER_H_
