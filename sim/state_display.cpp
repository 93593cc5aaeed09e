// The state block, assembled under each list's own lock and written in one piece.

#include "sim/state_display.h"

#include <cstdio>

#include "core/customer.h"
#include "core/narration.h"
#include "core/shop.h"
#include "core/sync.h"

namespace {

void appendEntry(std::string& block, char open, const char* id, char close) {
  block += open;
  block += id;
  block += close;
}

}  // namespace

std::string assembleState() {
  std::string block;
  block.reserve(STATE_BUFFER_SIZE);

  block += kCurrLabel;
  if (Customer* current = Barber::fgCustomerToCut.load()) {
    appendEntry(block, '{', current->GetId(), '}');
  }
  block += '\n';

  {
    MutexGuard guard(&WaitQueue::fgLock);
    block += kWaitLabel;
    for (Customer* waiting : WaitQueue::fgHairQueue) appendEntry(block, '[', waiting->GetId(), ']');
    block += '\n';
  }
  {
    MutexGuard guard(&Barber::fgFinishedLock);
    if (!Barber::fgFinished.empty()) {
      block += kFinishedLabel;
      for (const std::string& id : Barber::fgFinished) appendEntry(block, '[', id.c_str(), ']');
      block += '\n';
    }
  }
  {
    MutexGuard guard(&gGoAwayLock);
    if (!gGoAway.empty()) {
      block += kGoneLabel;
      for (Customer* gone : gGoAway) appendEntry(block, '[', gone->GetId(), ']');
      block += '\n';
    }
  }

  block += kBlockRule;
  return block;
}

void concurrentDisplayState() {
  SemaphoreGuard console(&gHCout);
  const std::string block = assembleState();
  // Written as it stands, not as a format: a '%' in an ID prints as itself.
  (void)fwrite(block.data(), 1, block.size(), stdout);
}
