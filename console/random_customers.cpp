// Random customers from a minimal-standard engine, seeded anew from the clock on every call.

#include "console/random_customers.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "console/roster.h"
#include "console/texts.h"
#include "core/customer.h"
#include "core/shop.h"

namespace {

std::uint32_t clockSeed() {
  auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
  std::uint32_t seed = static_cast<std::uint32_t>(ticks) % 2147483647u;
  return seed == 0 ? 1 : seed;
}

}  // namespace

void randomCustomers() {
  std::minstd_rand0 engine(clockSeed());
  std::uniform_int_distribution<int> delays(0, 10000);
  std::uniform_int_distribution<int> cuttingTimes(500, 2000);

  deleteAllCustomers();
  for (int i = 0; i < static_cast<int>(MAX_CUSTOMERS); ++i) {
    char id[ID_SIZE];
    snprintf(id, sizeof id, "%d", i);
    Customer* customer = new Customer(id);
    // Delay, then cutting time, customer after customer, from the one engine.
    customer->setDelay(delays(engine));
    customer->setCuttingTime(cuttingTimes(engine));
    gCustomers.push_back(customer);
  }
  printf(kCreatedRandom, static_cast<int>(MAX_CUSTOMERS));
}
