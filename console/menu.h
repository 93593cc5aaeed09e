#ifndef BARBERSHOP_CONSOLE_MENU_H_
#define BARBERSHOP_CONSOLE_MENU_H_
// The numbered menu through which the user builds the roster (gCustomers) and starts runs.
// Runs on the console thread, the only thread that touches the roster; writes directly to
// standard output.

#include <cstdio>

#include "console/roster.h"  // the bound of Add, for the menu's users

// Body of the console thread: the dialogue on standard input. Ends the process with status 0
// on Exit or when the input ends; never returns.
void* menu(void* unused);

// The dialogue on `in`, one menu after another, until the user chooses Exit or `in` ends.
void menuLoop(FILE* in);

// Deletes the roster entry at `index`, or says that the index is invalid.
void mDelete(unsigned index);

#endif  // BARBERSHOP_CONSOLE_MENU_H_
