// libFuzzer target for the console: each input is a whole dialogue, read by menuLoop from
// memory. Runs are replaced by a stand-in that only counts them, so only the console thread's
// code runs. After every input the roster must hold at most 10 customers, none of them null,
// each with an ID of at most 35 characters; then it is emptied for the next input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "console/menu.h"
#include "console/roster.h"
#include "core/customer.h"
#include "core/shop.h"
#include "sim/simulation.h"

namespace {

long gRuns = 0;  // runs asked for, over all inputs

void require(bool holds, const char* what) {
  if (holds) return;
  fprintf(stderr, "roster broken: %s\n", what);
  abort();
}

void checkRoster() {
  require(gCustomers.size() <= MAX_CUSTOMERS, "more than 10 customers");
  for (Customer* customer : gCustomers) {
    require(customer != nullptr, "a null entry");
    require(strnlen(customer->GetId(), ID_SIZE) < ID_SIZE, "an ID longer than 35 characters");
  }
}

void reportRuns() { fprintf(stderr, "runs asked for: %ld\n", gRuns); }

}  // namespace

// Stands in for the simulation: records the call and checks the roster it would run.
void run() {
  ++gRuns;
  checkRoster();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The console writes to standard output; the fuzzer reports on standard error.
  require(freopen("/dev/null", "w", stdout) != nullptr, "no /dev/null for standard output");
  atexit(reportRuns);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> bytes(data, data + size);
  bytes.push_back('\0');  // fmemopen needs a buffer even for an empty input
  FILE* in = fmemopen(bytes.data(), size, "r");
  require(in != nullptr, "fmemopen failed");
  menuLoop(in);
  fclose(in);
  checkRoster();
  deleteAllCustomers();
  return 0;
}
