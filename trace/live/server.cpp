// The live server: keys, origins and routes in front of the feed.

#include "trace/live/server.h"

#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "trace/common/json_text.h"
#include "trace/files/live_page.h"
#include "trace/live/access.h"

namespace {

// Threads for the event streams, and as many again for the page's other requests.
constexpr int kThreads = 2 * kMaxStreams;
// How often an idle stream says it is still there, so a dead reader is noticed.
constexpr std::chrono::milliseconds kKeepAlive{10000};
// How long a closing server gives its pages to take what they have not had yet.
constexpr int kClosingMs = 1000;

// What a refused request is told: its status and a line, nothing of the session.
void refuse(httplib::Response& res, int status, const char* why) {
  res.status = status;
  res.set_content(std::string(why) + "\n", "text/plain; charset=utf-8");
}

bool isDigits(const std::string& text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

// A same-origin request: the Host names this server's port, and an Origin, when sent, is the
// Host's own. A page of another site, or a name rebound to this machine, is refused.
bool sameOrigin(const httplib::Request& req, int port) {
  const std::string host = req.get_header_value("Host");
  const std::string suffix = ":" + std::to_string(port);
  if (host.size() <= suffix.size() ||
      host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  return !req.has_header("Origin") || req.get_header_value("Origin") == "http://" + host;
}

// Which known path a request is for, and whether the method is the one it takes.
enum class Route { kPage, kEvents, kRun, kDrive, kUnknown };

Route routeOf(const std::string& path) {
  if (path == "/") return Route::kPage;
  if (path == "/events") return Route::kEvents;
  if (path == "/drive") return Route::kDrive;
  if (path.rfind("/run/", 0) == 0 && isDigits(path.substr(5))) return Route::kRun;
  return Route::kUnknown;
}

std::optional<DriveCommand> driveCommand(const httplib::Request& req) {
  const std::string act = req.get_param_value("act");
  DriveCommand command;
  if (act == "back") {
    command.act = DriveCommand::Act::kBack;
    return command;
  }
  if (act == "again") {
    command.act = DriveCommand::Act::kAgain;
    return command;
  }
  // The choice it answers: `choice`, or a second `k` in the body (the first is the key).
  const std::string choice = req.has_param("choice")               ? req.get_param_value("choice")
                             : req.get_param_value_count("k") == 2 ? req.get_param_value("k", 1)
                                                                   : "";
  const std::string tid = req.get_param_value("tid");
  if (!isDigits(choice)) return std::nullopt;
  command.choice = std::stoi(choice);
  if (act == "plain") return command;
  if (act == "next") {
    command.act = DriveCommand::Act::kNext;
    return command;
  }
  if (act != "pick" || !isDigits(tid)) return std::nullopt;
  command.act = DriveCommand::Act::kPick;
  command.tid = std::stoi(tid);
  return command;
}

}  // namespace

struct LiveServer::Impl {
  httplib::Server http;
  std::thread listener;
  std::atomic<int> streams{0};
  std::atomic<bool> closing{false}, stopping{false};
};

LiveServer::LiveServer(LiveFeed* feed, LiveSettings settings)
    : impl_(std::make_unique<Impl>()), feed_(feed), settings_(std::move(settings)) {}

LiveServer::~LiveServer() { stop(); }

namespace {

// The address to hand out: a server on every address of the machine is reached by its name.
std::string shownHost(const std::string& host) {
  if (host != "0.0.0.0") return host;
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 && name[0] != '\0' ? name : host;
}

}  // namespace

std::string LiveServer::address(const std::string& key) const {
  return "http://" + shownHost(settings_.host) + ":" + std::to_string(port_) + "/?k=" + key;
}

namespace {

// What an open stream has sent so far: each part as the object it last sent.
struct Sent {
  bool greeted = false;
  std::uint64_t version = 0;
  Message runs, page, choice;
  bool ended = false;
};

// Writes each part of `view` that this reader has not had; false when the reader is gone.
bool sendNewer(const FeedView& view, Sent* sent, httplib::DataSink& sink) {
  for (auto [now, had] : {std::pair{view.runs, &sent->runs}, std::pair{view.page, &sent->page},
                          std::pair{view.choice, &sent->choice}}) {
    if (!now || now == *had) continue;
    if (!sink.write(now->data(), now->size())) return false;
    *had = now;
  }
  sent->version = view.version;
  return true;
}

}  // namespace

void LiveServer::stop() {
  if (impl_->stopping) return;
  // Each page is given what it has not had yet and its stream ended, for a moment at most.
  impl_->closing = true;
  feed_->closeStreams();
  for (int waited = 0; impl_->streams > 0 && waited < kClosingMs; waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  impl_->stopping = true;
  feed_->stop();  // wakes every stream left, which then ends
  impl_->http.stop();
  if (impl_->listener.joinable()) impl_->listener.join();
}

namespace {

// Why a request is refused before any route: its status and a line; nullopt to let it through.
std::optional<std::pair<int, const char*>> refusal(const httplib::Request& req,
                                                   const LiveSettings& settings, int port) {
  const std::string key = req.get_param_value("k");
  const bool drives = sameKey(key, settings.driveKey);
  if (!drives && !sameKey(key, settings.watchKey)) {
    return std::pair{403, "forbidden: this address needs the key it was given with"};
  }
  if (!sameOrigin(req, port)) return std::pair{403, "forbidden: a request from another origin"};
  const Route route = routeOf(req.path);
  if (route == Route::kUnknown) return std::pair{404, "not found"};
  if ((route == Route::kDrive) != (req.method == "POST") ||
      (req.method != "GET" && req.method != "POST")) {
    return std::pair{405, "method not allowed"};
  }
  if (route == Route::kDrive && !drives) {
    return std::pair{403, "forbidden: this address may watch, not drive"};
  }
  return std::nullopt;
}

void serveDrive(LiveFeed* feed, const httplib::Request& req, httplib::Response& res) {
  const std::optional<DriveCommand> command = driveCommand(req);
  if (!command) {
    return refuse(
        res, 400,
        "bad request: act=pick&choice=N&tid=T, act=plain&choice=N, act=next&choice=N, act=back or "
        "act=again");
  }
  switch (feed->offer(*command)) {
    case Offer::kTaken:
      res.status = 204;
      return;
    case Offer::kStale:
      return refuse(res, 409, "conflict: that choice has been answered already");
    case Offer::kCannotGo:
      return refuse(res, 409, "conflict: that thread cannot go now");
    case Offer::kNothingToDrive:
      return refuse(res, 409, "conflict: nothing to drive now");
  }
}

}  // namespace

// One page's event stream: the greeting and the catch-up, then each change as it comes.
void LiveServer::serveEvents(const httplib::Request& req, httplib::Response& res) {
  Impl* impl = impl_.get();
  LiveFeed* feed = feed_;
  if (impl->streams.fetch_add(1) >= kMaxStreams) {
    impl->streams.fetch_sub(1);
    return refuse(res, 503, "busy: too many pages are open on this session");
  }
  Json hello = Json::parse(settings_.hello);
  hello["drive"] = sameKey(req.get_param_value("k"), settings_.driveKey);
  const auto greeting =
      std::make_shared<const std::string>("event: hello\ndata: " + oneLine(hello) + "\n\n");
  auto sent = std::make_shared<Sent>();
  res.set_chunked_content_provider(
      "text/event-stream",
      [impl, feed, greeting, sent](std::size_t, httplib::DataSink& sink) {
        if (impl->stopping) return false;
        FeedView view;
        if (!sent->greeted) {
          sent->greeted = true;
          if (!sink.write(greeting->data(), greeting->size())) return false;
          view = feed->view();
        } else {
          view = feed->waitNewer(sent->version, kKeepAlive);
          if (impl->stopping) return false;
          if (view.version == sent->version && !impl->closing) {
            static constexpr char kAlive[] = ": keep-alive\n\n";
            return sink.write(kAlive, sizeof kAlive - 1);
          }
        }
        if (!sendNewer(view, sent.get(), sink)) return false;
        // The server is closing: a page that has had everything is let go in order.
        if (impl->closing && view.version == feed->view().version) sink.done();
        return true;
      },
      [impl](bool) { impl->streams.fetch_sub(1); });
}

bool LiveServer::listenAndServe(std::string* error) {
  httplib::Server& http = impl_->http;
  LiveFeed* feed = feed_;
  http.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  http.set_read_timeout(5, 0);
  http.set_write_timeout(kWriteTimeoutMs / 1000, (kWriteTimeoutMs % 1000) * 1000);
  http.set_keep_alive_timeout(2);
  http.set_payload_max_length(4096);  // a drive request is a few words
  http.set_default_headers({{"Cache-Control", "no-store"},
                            {"X-Content-Type-Options", "nosniff"},
                            {"Referrer-Policy", "no-referrer"}});
  // Keys, origin and method before any route: a refused request is told why and nothing else.
  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    const auto refused = refusal(req, settings_, port_);
    if (!refused) return httplib::Server::HandlerResponse::Unhandled;
    refuse(res, refused->first, refused->second);
    return httplib::Server::HandlerResponse::Handled;
  });
  http.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(livePage(), "text/html; charset=utf-8");
  });
  http.Get(R"(/run/(\d+))", [feed](const httplib::Request& req, httplib::Response& res) {
    const std::optional<std::string> page = feed->runPage(std::stoi(req.matches[1].str()));
    if (!page) return refuse(res, 404, "not found: no finished run of that number is kept");
    res.set_content(*page, "text/html; charset=utf-8");
  });
  http.Get("/events",
           [this](const httplib::Request& req, httplib::Response& res) { serveEvents(req, res); });
  http.Post("/drive", [feed](const httplib::Request& req, httplib::Response& res) {
    serveDrive(feed, req, res);
  });
  http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) res.set_content("bad request\n", "text/plain; charset=utf-8");
  });
  return listen(error);
}

// Binds, then serves on a page thread (pageThread).
bool LiveServer::listen(std::string* error) {
  httplib::Server& http = impl_->http;
  errno = 0;
  if (settings_.port == 0) {
    port_ = http.bind_to_any_port(settings_.host);
    if (port_ < 0) port_ = 0;
  } else if (http.bind_to_port(settings_.host, settings_.port)) {
    port_ = settings_.port;
  }
  if (port_ == 0) {
    const int why = errno;
    *error = "cannot listen on " + settings_.host + ":" + std::to_string(settings_.port) + ": " +
             (why == EADDRINUSE ? "the port is in use"
              : why == EACCES   ? "not allowed to use that port"
              : why != 0        ? strerror(why)
                                : "not an address of this machine");
    return false;
  }
  // The workers the server starts are started by this thread, and take after it.
  impl_->listener = pageThread([this] { (void)impl_->http.listen_after_bind(); });
  return true;
}
