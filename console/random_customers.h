#ifndef BARBERSHOP_CONSOLE_RANDOM_CUSTOMERS_H_
#define BARBERSHOP_CONSOLE_RANDOM_CUSTOMERS_H_
// Filling the roster with random customers. Console thread only.

// Replaces the roster with 10 customers named "0" to "9", with delays drawn from [0, 10000]
// and cutting times from [500, 2000] milliseconds by an engine seeded from the clock.
void randomCustomers();

#endif  // BARBERSHOP_CONSOLE_RANDOM_CUSTOMERS_H_
