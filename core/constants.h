#ifndef BARBERSHOP_CORE_CONSTANTS_H_
#define BARBERSHOP_CORE_CONSTANTS_H_
// The shop's numbers, apart from its state, so that code which only needs a number (the
// companion's readers and judges among them) need not see the shop's threads and locks. The
// roster's size, MAX_CUSTOMERS, is the console's (console/roster.h).

#include <cstddef>
#include <cstdint>

// A timeout of this many milliseconds means: wait without limit. Every lock the shop takes
// passes it, so the helpers' timed branch and the callers' time-out paths are never taken in a
// run; they stay because the helpers' contract has a timeout.
constexpr std::uint32_t TIMEOUT_INFINITE = 0xFFFFFFFFu;
// The waiting chairs; the introduction's "ten chairs" is only the shop's sign.
constexpr std::size_t WAIT_CHAIRS = 6;
// Room for an ID: 35 characters and the terminating NUL.
constexpr std::size_t ID_SIZE = 36;

#endif  // BARBERSHOP_CORE_CONSTANTS_H_
