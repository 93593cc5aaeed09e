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
  if (!ask(in, kCuttingTimePrompt, &cuttingTime, readInt)) return false;
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

bool deleteAll(FILE*) {
  deleteAllCustomers();
  fputs(kDeletedAll, stdout);
  return true;
}

bool createRandom(FILE*) {
  randomCustomers();
  return true;
}

bool showCustomers(FILE*) {
  fputs(kListTitle, stdout);
  for (std::size_t i = 0; i < gCustomers.size(); ++i) {
    fputs(kListRule, stdout);
    printf(kListNumber, static_cast<int>(i));
    gCustomers[i]->display();
  }
  return true;
}

bool runAll(FILE*) {
  run();
  return true;
}

// Exit comes only between runs, when no customer thread exists and the barber is in bed or on
// his way there; menu() then ends the process under him without joining anything or freeing
// the roster.
bool endDialogue(FILE*) { return false; }

// One line of the menu: its number, its text and what choosing it does. An action returns
// false when the dialogue is over.
struct MenuEntry {
  int number;
  const char* text;
  bool (*action)(FILE* in);
};

const MenuEntry kMenu[] = {
    {kChoiceAdd, "Add new customer", addCustomer},
    {kChoiceDelete, "Delete a customer", deleteCustomer},
    {kChoiceDeleteAll, "Delete all customers", deleteAll},
    {kChoiceRandom, "Create random customers", createRandom},
    {kChoiceShow, "Show customers", showCustomers},
    {kChoiceRun, "Run", runAll},
    {kChoiceExit, "Exit", endDialogue},
};

void printMenu() {
  fputs(kMenuTitle, stdout);
  for (const MenuEntry& entry : kMenu) printf(kMenuEntry, entry.number, entry.text);
  fputs(kChoicePrompt, stdout);
}

// The entry numbered `choice`; null for any other number.
const MenuEntry* entryFor(int choice) {
  for (const MenuEntry& entry : kMenu) {
    if (entry.number == choice) return &entry;
  }
  return nullptr;
}

}  // namespace

void menuLoop(FILE* in) {
  for (;;) {
    printMenu();
    // Nothing more would reach the user: end here, and the end reports the failed write.
    if (ferror(stdout)) return;
    int choice = 0;
    InputResult result = readInt(in, &choice);
    if (result == InputResult::kEnd) return;
    if (result == InputResult::kNotNumber) {
      discardLine(in);
      choice = 0;  // answered like any number out of range
    }
    const MenuEntry* entry = entryFor(choice);
    if (entry == nullptr) {
      fputs(kInvalidChoice, stdout);
    } else if (!entry->action(in)) {
      return;
    }
  }
}

void* menu(void*) {
  menuLoop(stdin);
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
