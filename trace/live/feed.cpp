// The live feed: the relay's copies in, the newest drawings and the page's commands out.

#include "trace/live/feed.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "trace/common/json_text.h"
#include "trace/common/micros.h"
#include "trace/files/page.h"

namespace {

// Finished runs whose pages are kept for the page's list; older ones are only named.
constexpr std::size_t kKeptPages = 50;
// How much lower than the program the companion's page threads run.
constexpr int kNice = 10;
// A burst of lines is over after this long without one; a drawing waits no longer than the other.
constexpr std::chrono::milliseconds kBurstQuiet{2}, kBurstLongest{30};
// Failed tries of a challenge before its hint is shown.
constexpr int kHintAfter = 3;

Message eventMessage(const char* event, const Json& data) {
  return std::make_shared<const std::string>(std::string("event: ") + event +
                                             "\ndata: " + oneLine(data) + "\n\n");
}

// The page of a run still going: its lines so far, and no verdict on what has not happened yet.
std::string pageSoFar(RunRecord record) {
  record.going = true;
  record.end = RunEnd::kInterrupted;
  for (const Event& event : record.events) record.endUs = std::max(record.endUs, event.us);
  if (!record.control.steps.empty()) {
    record.endUs = std::max(record.endUs, record.control.steps.back().at.count);
  }
  return htmlPage(finish(std::move(record)));
}

Json pageJson(int number, bool done, std::uint64_t seq, std::string html) {
  return {{"n", number}, {"done", done}, {"seq", seq}, {"html", std::move(html)}};
}

}  // namespace

std::thread pageThread(std::function<void()> body) {
  sigset_t all, before;
  (void)sigfillset(&all);
  (void)pthread_sigmask(SIG_BLOCK, &all, &before);
  std::thread started([body = std::move(body)] {
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNice);
    body();
  });
  (void)pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return started;
}

LiveFeed::LiveFeed(const char* challengeRule) : challengeRule_(challengeRule) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  setRuns();
  drawer_ = pageThread([this] { draw(); });
}

LiveFeed::~LiveFeed() {
  stop();
  drawer_.join();
  for (int fd : wake_) {
    if (fd >= 0) (void)close(fd);
  }
}

void LiveFeed::changed() {
  ++view_.version;
  cv_.notify_all();
}

void LiveFeed::progress(const RunRecord& soFar) {
  std::lock_guard<std::mutex> lock(mutex_);
  // The runs are the page's own numbers: a stepped session starts a program afresh for each try
  // and after each step back, and each of those numbers its run 1.
  const bool newRow = rows_.empty() || rows_.back().done || soFar.number != newest_.number;
  const bool restarted = soFar.events.size() < newest_.events.size() ||
                         soFar.control.steps.size() < newest_.control.steps.size();
  if (newRow || restarted) {
    newest_ = soFar;
    if (newRow) {
      rows_.push_back({static_cast<int>(rows_.size()) + 1, false, "running", std::nullopt});
      setRuns();
    }
  } else {
    const std::size_t have = newest_.events.size();
    newest_.events.insert(newest_.events.end(),
                          soFar.events.begin() + static_cast<std::ptrdiff_t>(have),
                          soFar.events.end());
    if (soFar.control.controlled) newest_.control = soFar.control;
  }
  ++newestVersion_;
  cv_.notify_all();
}

bool LiveFeed::met(const FinishedRun& run) const {
  const std::string rule = challengeRule_;
  if (rule == "stuck") return run.verdict.stuck;
  return std::any_of(run.verdict.broken.begin(), run.verdict.broken.end(),
                     [&](const Finding& finding) { return finding.rule == rule; });
}

void LiveFeed::runJudged(const FinishedRun& run) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (rows_.empty() || rows_.back().done) {
    rows_.push_back({static_cast<int>(rows_.size()) + 1, false, "", std::nullopt});
  }
  RunRow& row = rows_.back();
  row.done = true;
  row.headline = verdictHeadline(run.verdict);
  if (challengeRule_ != nullptr) row.met = met(run);
  toDraw_.emplace_back(row.number, run);
  setRuns();
  cv_.notify_all();
}

void LiveFeed::asked(const RunRecord& soFar, const Choice& choice) {
  Json threads = Json::array();
  for (const ChoiceLine& line : choiceLines(soFar, choice)) {
    threads.push_back(
        {{"tid", line.tid}, {"canGo", line.canGo}, {"why", line.holder}, {"plain", line.plain}});
    putText(threads.back(), "words", line.words);
  }
  progress(soFar);
  std::lock_guard<std::mutex> lock(mutex_);
  const Json data = {{"n", rows_.back().number},          {"k", choice.k},
                     {"at", msText(choiceMoment(soFar))}, {"question", choiceAsks(choice.why)},
                     {"threads", std::move(threads)},     {"over", false}};
  choice_ = choice;
  over_ = false;
  view_.choice = eventMessage("choice", data);
  changed();
}

void LiveFeed::answered(bool runOver) {
  std::lock_guard<std::mutex> lock(mutex_);
  choice_.reset();
  over_ = runOver;
  view_.choice = eventMessage("choice", {{"n", rows_.empty() ? 0 : rows_.back().number},
                                         {"k", nullptr},
                                         {"over", runOver},
                                         {"threads", Json::array()}});
  changed();
}

void LiveFeed::triedAgain() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++tries_;
  setRuns();
}

void LiveFeed::sessionEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  choice_.reset();
  over_ = false;
  setRuns();
}

void LiveFeed::setRuns() {
  Json runs = Json::array();
  for (const RunRow& row : rows_) {
    runs.push_back({{"n", row.number},
                    {"done", row.done},
                    {"headline", row.headline},
                    {"met", row.met ? Json(*row.met) : Json(nullptr)}});
  }
  view_.runs = eventMessage(
      "runs",
      {{"runs", std::move(runs)}, {"tries", tries_}, {"hintAfter", kHintAfter}, {"ended", ended_}});
  changed();
}

std::optional<DriveCommand> LiveFeed::nextCommand() {
  std::lock_guard<std::mutex> lock(mutex_);
  char drained[64];
  while (wake_[0] >= 0 && read(wake_[0], drained, sizeof drained) > 0) {
  }
  if (commands_.empty()) return std::nullopt;
  DriveCommand command = commands_.front();
  commands_.pop_front();
  return command;
}

Offer LiveFeed::offer(const DriveCommand& command) {
  std::lock_guard<std::mutex> lock(mutex_);
  using Act = DriveCommand::Act;
  if (command.act == Act::kPick || command.act == Act::kPlain || command.act == Act::kNext) {
    if (!choice_) return Offer::kNothingToDrive;
    if (choice_->k != command.choice) return Offer::kStale;
    const auto thread = std::find_if(choice_->threads.begin(), choice_->threads.end(),
                                     [&](const PendingStep& s) { return s.tid == command.tid; });
    if (command.act == Act::kPick && (thread == choice_->threads.end() || !thread->canGo)) {
      return Offer::kCannotGo;
    }
  } else if (!choice_ && !(over_ && !ended_)) {
    return Offer::kNothingToDrive;
  } else if (command.act == Act::kAgain && !over_) {
    return Offer::kNothingToDrive;
  }
  // One answer per question: whoever comes second is told it was answered.
  choice_.reset();
  over_ = false;
  commands_.push_back(command);
  if (wake_[1] >= 0) (void)!write(wake_[1], "!", 1);
  return Offer::kTaken;
}

FeedView LiveFeed::view() {
  std::lock_guard<std::mutex> lock(mutex_);
  return view_;
}

FeedView LiveFeed::waitNewer(std::uint64_t version, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, wait, [&] { return view_.version != version || stopping_ || closing_; });
  return view_;
}

void LiveFeed::settle(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, wait, [&] { return toDraw_.empty() && drawnVersion_ == newestVersion_; });
}

void LiveFeed::closeStreams() {
  std::lock_guard<std::mutex> lock(mutex_);
  closing_ = true;
  cv_.notify_all();
}

std::optional<std::string> LiveFeed::runPage(int number) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = pages_.find(number);
  if (found == pages_.end()) return std::nullopt;
  return found->second;
}

void LiveFeed::stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  cv_.notify_all();
}

// The program prints in bursts (a customer's arrival is several lines within a millisecond):
// the newest run is drawn once its burst is over, not once per line, and between the program's
// steps rather than during them, so a page never competes with the shop's threads for a processor
// when they wake.
void LiveFeed::settleBurst(std::unique_lock<std::mutex>& lock) {
  const auto began = std::chrono::steady_clock::now();
  for (;;) {
    const std::uint64_t seen = newestVersion_;
    const bool more = cv_.wait_for(
        lock, kBurstQuiet, [&] { return stopping_ || !toDraw_.empty() || newestVersion_ != seen; });
    if (!more || stopping_ || !toDraw_.empty()) return;
    if (std::chrono::steady_clock::now() - began >= kBurstLongest) return;
  }
}

// Draws, outside the lock, the newest run so far or a finished run's page, whichever is due;
// what changed while it drew is drawn next, in one go.
void LiveFeed::draw() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t seq = 0;
  for (;;) {
    cv_.wait(lock,
             [&] { return stopping_ || !toDraw_.empty() || newestVersion_ != drawnVersion_; });
    if (stopping_) return;
    if (toDraw_.empty()) settleBurst(lock);
    if (stopping_) return;
    if (!toDraw_.empty()) {
      auto [number, run] = std::move(toDraw_.front());
      toDraw_.pop_front();
      lock.unlock();
      std::string html = htmlPage(run);
      Message shown = eventMessage("page", pageJson(number, true, ++seq, html));
      lock.lock();
      pages_[number] = std::move(html);
      while (pages_.size() > kKeptPages) pages_.erase(pages_.begin());
      if (number == rows_.back().number) {
        view_.page = std::move(shown);
        drawnVersion_ = newestVersion_;
        changed();
      }
      continue;
    }
    RunRecord soFar = newest_;
    const std::uint64_t version = newestVersion_;
    const bool done = rows_.empty() || rows_.back().done;
    const int number = done ? 0 : rows_.back().number;
    lock.unlock();
    Message shown =
        done ? nullptr
             : eventMessage("page", pageJson(number, false, ++seq, pageSoFar(std::move(soFar))));
    lock.lock();
    drawnVersion_ = version;
    if (shown) view_.page = std::move(shown);
    changed();
  }
}
