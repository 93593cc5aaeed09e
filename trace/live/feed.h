#ifndef BARBERSHOP_TRACE_LIVE_FEED_H_
#define BARBERSHOP_TRACE_LIVE_FEED_H_
// What the live page is fed: the session as it happens, handed over by the relay's thread and
// read by the server's. The relay's side only copies under the lock and never waits for a
// reader; a thread of the feed's own draws the newest run's page, so drawing costs the relay
// nothing, and a page that falls behind is given the newest drawing, never a queue. Commands
// from the page (who goes next, back, again) wait here for the relay, which hears of them on
// wakeFd().
//
// Guard: one mutex over everything below; owner: the session (cli), which outlives the server.
// The feed's and the server's threads run at a lower priority than the program (pageThread).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "trace/judging/finish.h"
#include "trace/showing/choice_menu.h"

// A command from the page that drives a stepped run.
struct DriveCommand {
  enum class Act { kPick, kPlain, kNext, kBack, kAgain };
  Act act = Act::kPlain;
  int choice = 0;  // the choice it answers (kPick, kPlain, kNext)
  int tid = -1;    // the thread to let go (kPick)
};

// What a drive request got: taken, or why not.
enum class Offer { kTaken, kStale, kCannotGo, kNothingToDrive };

// Starts a thread of the live page's: it takes no signal (the session's loop reads the ones that
// end it) and runs below the program's priority, so a thread of the shop never waits for it.
std::thread pageThread(std::function<void()> body);

// One server-sent event, ready to write.
using Message = std::shared_ptr<const std::string>;

// Everything a page is sent, as it stands: each part the same object until it changes.
struct FeedView {
  std::uint64_t version = 0;
  Message runs, page, choice;
};

class LiveFeed {
 public:
  // `challenge`: what meets the session's challenge (a variant's rule), or null for none.
  explicit LiveFeed(const char* challengeRule);
  ~LiveFeed();
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  // The relay's side.
  void progress(const RunRecord& soFar);   // a run started or printed more
  void runJudged(const FinishedRun& run);  // judged; its page is kept for `runPage`
  void asked(const RunRecord& soFar, const Choice& choice);  // a stepped run's question
  void answered(bool runOver);  // the question is gone; `runOver`: back and again may follow
  void triedAgain();            // a new try of a challenge begins
  void sessionEnded();          // the session is over
  int wakeFd() const { return wake_[0]; }  // readable while a command waits
  std::optional<DriveCommand> nextCommand();

  // The server's side.
  FeedView view();
  // Waits until the view is newer than `version`, the feed stops, or `wait` passes.
  FeedView waitNewer(std::uint64_t version, std::chrono::milliseconds wait);
  std::optional<std::string> runPage(int number);
  Offer offer(const DriveCommand& command);
  // Waits until every run handed over is drawn, or `wait` passes.
  void settle(std::chrono::milliseconds wait);
  void closeStreams();  // wakes every waiting reader, to end its stream once it has had everything
  void stop();          // wakes every waiting reader for good

 private:
  void draw();  // the drawing thread's loop
  void settleBurst(std::unique_lock<std::mutex>& lock);
  void changed();
  void setRuns();
  bool met(const FinishedRun& run) const;

  struct RunRow {
    int number = 0;  // the page's: 1, 2, ... in the order the runs began
    bool done = false;
    std::string headline;
    std::optional<bool> met;
  };

  std::mutex mutex_;
  std::condition_variable cv_;
  const char* challengeRule_;
  RunRecord newest_;  // the newest run so far, as the relay last saw it (rows_.back())
  std::uint64_t newestVersion_ = 0, drawnVersion_ = 0;
  std::deque<std::pair<int, FinishedRun>> toDraw_;  // finished runs, by row, yet to be drawn
  std::map<int, std::string> pages_;                // finished runs' pages, the newest kKeptPages
  std::vector<RunRow> rows_;
  int tries_ = 0;
  std::optional<Choice> choice_;  // the question asked now
  bool over_ = false;
  bool ended_ = false;  // the session is over (the runs event says so)
  std::deque<DriveCommand> commands_;
  FeedView view_;
  bool stopping_ = false, closing_ = false;
  int wake_[2] = {-1, -1};
  std::thread drawer_;
};

#endif  // BARBERSHOP_TRACE_LIVE_FEED_H_
