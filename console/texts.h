#ifndef BARBERSHOP_CONSOLE_TEXTS_H_
#define BARBERSHOP_CONSOLE_TEXTS_H_
// What the console prints: the menu, its prompts and its messages, written once, here, for the
// console that prints them and for barbershop-trace, which answers the prompts and reads the
// customer list back. A prompt is the last thing the console prints before it reads.

constexpr char kMenuTitle[] = "Menu:\n";
constexpr char kMenuEntry[] = "%d: %s\n";
constexpr char kChoicePrompt[] = "Your choice: ";
constexpr char kIdPrompt[] = "Input customer's ID: ";
constexpr char kDelayPrompt[] = "Input customer's delay (in miniseconds): ";
constexpr char kCuttingTimePrompt[] = "Input customer's cutting time (in miniseconds): ";
constexpr char kIndexPrompt[] = "Input customer's index: ";

constexpr char kInvalidChoice[] = "Invalid choice\n";
constexpr char kRosterFull[] = "Full of customers. Cannot add anymore!\n";
constexpr char kRosterEmpty[] = "The customer list is empty!\n";
constexpr char kDeleted[] = "Deleted\n";
constexpr char kInvalidIndex[] = "Invalid index: %d\n";
constexpr char kDeletedAll[] = "Deleted all customers\n";
constexpr char kCreatedRandom[] = "Created %d customers\n";

// The customer list (Show): the title, then per customer a rule, its number and its display().
constexpr char kListTitle[] = "Customer list:\n";
constexpr char kListRule[] = "------------------------------------\n";
constexpr char kListNumber[] = "Customer %d:\n";

// The menu's choices, by number.
constexpr int kChoiceAdd = 1;
constexpr int kChoiceDelete = 2;
constexpr int kChoiceDeleteAll = 3;
constexpr int kChoiceRandom = 4;
constexpr int kChoiceShow = 5;
constexpr int kChoiceRun = 6;
constexpr int kChoiceExit = 7;

#endif  // BARBERSHOP_CONSOLE_TEXTS_H_
