#ifndef BARBERSHOP_TESTS_SHOP_SESSION_H_
#define BARBERSHOP_TESTS_SHOP_SESSION_H_
// Drives the built barbershop program: feeds it a whole dialogue on standard input, collects
// what it writes, and kills it when it outlives a time limit.

#include <string>
#include <vector>

struct Session {
  std::string out;
  std::string err;
  int status = -1;  // exit status, when it exited
  int signal = 0;   // the signal that ended it, if one did
  bool timedOut = false;
};

// Runs the program with `input` on standard input (closed after it), for at most `seconds`.
Session runShop(const std::string& input, int seconds = 120);

// The answers that add one customer from the menu.
std::string addCustomer(const std::string& id, int delay, int cuttingTime);

// The lines of `text` in order.
std::vector<std::string> linesOf(const std::string& text);

// The state blocks of a run: each block's text from its "Curr: " line to its rule.
std::vector<std::string> stateBlocks(const std::string& text);

#endif  // BARBERSHOP_TESTS_SHOP_SESSION_H_
