// The program's time and the evidence that it is stuck.

#include "trace/relay/watch.h"

#include <time.h>

#include <algorithm>

std::int64_t monotonicUs() {
  timespec now{};
  (void)clock_gettime(CLOCK_MONOTONIC, &now);  // cannot fail for this clock
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

ThreadSample classify(const std::vector<ThreadState>& threads) {
  ThreadSample sample;
  sample.read = !threads.empty();
  int blocked = 0, movable = 0;
  for (const ThreadState& thread : threads) {
    const bool named = !thread.wchan.empty() && thread.wchan != "0";
    switch (thread.state) {
      case 'T':
      case 't':
        sample.stopped = true;
        break;
      case 'Z':
      case 'X':
        break;  // ended: it moves nobody, and nobody waits for it to move
      case 'S':
      case 'D':
        if (named) sample.waitNamed = true;
        // A timed wait reads as futex_do_wait too; the program's own waits are untimed, and
        // the margin covers a program that would wake by itself.
        if (named && thread.wchan.find("futex") != std::string::npos) {
          ++blocked;
        } else {
          ++movable;
        }
        break;
      default:
        ++movable;  // running, or a state this does not know: not evidence of anything
    }
  }
  sample.allBlocked = blocked > 0 && movable == 0 && !sample.stopped;
  return sample;
}

void ProgramClock::advance(std::int64_t wallUs, bool stopped) {
  const std::int64_t step = std::clamp<std::int64_t>(wallUs - lastWallUs_, 0, kCapUs);
  lastWallUs_ = wallUs;
  if (!stopped) nowUs_ += step;
}

std::int64_t stuckMarginUs(std::int64_t closingMs) {
  return (closingMs + std::max<std::int64_t>(2000, closingMs / 2)) * 1000;
}

bool StuckWatch::look(std::int64_t programUs, const ThreadSample& sample) {
  if (sample.waitNamed) waitsNamed_ = true;
  if (!sample.allBlocked) {
    blockedLooks_ = 0;
  } else {
    blockedLooks_ = outputSinceLook_ ? 1 : blockedLooks_ + 1;
  }
  outputSinceLook_ = false;
  if (programUs - startUs_ < marginUs_) return false;
  return waitsNamed_ ? blockedLooks_ >= 2 : !sample.stopped;
}
