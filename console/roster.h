#ifndef BARBERSHOP_CONSOLE_ROSTER_H_
#define BARBERSHOP_CONSOLE_ROSTER_H_
// The size of the roster (gCustomers) that the console builds: Add stops at it and random
// creation fills it.

#include <cstddef>

constexpr std::size_t MAX_CUSTOMERS = 10;

#endif  // BARBERSHOP_CONSOLE_ROSTER_H_
