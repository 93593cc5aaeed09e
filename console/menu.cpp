// The console: the menu loop and the roster commands. Everything here runs on the console
// thread, which also carries out runs, so menu input never overlaps a run.

#include "console/menu.h"

#include <memory>

#include "console/input.h"
#include "console/random_customers.h"
#include "console/texts.h"
#include "core/customer.h"
#include "core/shop.h"
#include "core/sync.h"
#include "sim/simulation.h"

namespace {

const char* const kEntries[] = {
    "Add new customer",
    "Delete a customer",
    "Delete all customers",
    "Create random customers",
    "Show customers",
    "Run",
    "Exit",
};
constexpr unsigned kChoices = sizeof kEntries / sizeof kEntries[0];
constexpr unsigned kExit = 7;

void printMenu() {
  fputs(kMenuTitle, stdout);
  for (unsigned i = 0; i < kChoices; ++i) printf(kMenuEntry, static_cast<int>(i + 1), kEntries[i]);
  fputs(kChoicePrompt, stdout);
}

// Asks `prompt` until a number is typed; the rest of a line that is not one is discarded.
// False when the input ends first.
template <typename Number>
bool ask(FILE* in, const char* prompt, Number* value, InputResult (*read)(FILE*, Number*)) {
  for (;;) {
    fputs(prompt, stdout);
    InputResult result = read(in, value);
    if (result != InputResult::kNotNumber) return result == InputResult::kValue;
    discardLine(in);
  }
}

// False when the input ended, so that nothing is made of an answer never given.
bool addCustomer(FILE* in) {
  if (gCustomers.size() >= MAX_CUSTOMERS) {
    fputs(kRosterFull, stdout);
    return true;
  }
  char id[ID_SIZE];
  fputs(kIdPrompt, stdout);
  if (!readIdLine(in, id, sizeof id)) return false;
  auto customer = std::make_unique<Customer>(id);
  int delay = 0;
  if (!ask(in, kDelayPrompt, &delay, readInt)) return false;
  customer->setDelay(delay);
  int cuttingTime = 0;
  if (!ask(in, kCuttingTimePrompt, &cuttingTime, readInt))
    return false;
  customer->setCuttingTime(cuttingTime);
  gCustomers.push_back(customer.release());
  return true;
}

bool deleteCustomer(FILE* in) {
  if (gCustomers.empty()) {
    fputs(kRosterEmpty, stdout);
    return true;
  }
  unsigned index = 0;
  if (!ask(in, kIndexPrompt, &index, readUnsigned)) return false;
  mDelete(index);
  return true;
}

void deleteAll() {
  for (Customer* customer : gCustomers) delete customer;
  gCustomers.clear();
  fputs(kDeletedAll, stdout);
}

void showCustomers() {
  fputs(kListTitle, stdout);
  for (std::size_t i = 0; i < gCustomers.size(); ++i) {
    fputs(kListRule, stdout);
    printf(kListNumber, static_cast<int>(i));
    gCustomers[i]->display();
  }
}

// Carries out one choice; false when the dialogue is over.
bool carryOut(unsigned choice, FILE* in) {
  switch (choice) {
    case 1:
      return addCustomer(in);
    case 2:
      return deleteCustomer(in);
    case 3:
      deleteAll();
      return true;
    case 4:
      randomCustomers();
      return true;
    case 5:
      showCustomers();
      return true;
    case 6:
      run();
      return true;
    default:
      fputs(kInvalidChoice, stdout);
      return true;
  }
}

}  // namespace

void menuLoop(FILE* in) {
  for (;;) {
    printMenu();
    int choice = 0;
    InputResult result = readInt(in, &choice);
    if (result == InputResult::kEnd) return;
    if (result == InputResult::kNotNumber) {
      discardLine(in);
      choice = 0;  // answered like any choice out of range
    }
    if (static_cast<unsigned>(choice) == kExit) return;
    if (!carryOut(static_cast<unsigned>(choice), in)) return;
  }
}

void* menu(void*) {
  menuLoop(stdin);
  // Exit comes only between runs, when no customer thread exists and the barber is in bed or
  // on his way there; the process can end under him without joining anything or freeing the
  // roster.
  endProcess(0);
}

void mDelete(unsigned index) {
  if (index < gCustomers.size()) {
    Customer* customer = gCustomers[index];
    gCustomers.erase(gCustomers.begin() + index);
    delete customer;
    fputs(kDeleted, stdout);
  } else {
    printf(kInvalidIndex, static_cast<int>(index));
  }
}
