#ifndef BARBERSHOP_SIM_STATE_DISPLAY_H_
#define BARBERSHOP_SIM_STATE_DISPLAY_H_
// The state block: the whole shop at one moment (chair, waiting chairs, finished, gone away),
// printed by customer threads as one write under the console lock.

#include <cstddef>
#include <string>

// The room a block starts with; a block that needs more (a full shop of long IDs) grows.
constexpr std::size_t STATE_BUFFER_SIZE = 425;

// The text of the block for the shop as it is now. Takes WaitQueue::fgLock,
// Barber::fgFinishedLock and gGoAwayLock one after the other, never two at once.
std::string assembleState();

// Prints the block while holding gHCout, so it never mixes with narration lines.
void concurrentDisplayState();

#endif  // BARBERSHOP_SIM_STATE_DISPLAY_H_
