#ifndef BARBERSHOP_TRACE_RELAY_DIALOGUE_H_
#define BARBERSHOP_TRACE_RELAY_DIALOGUE_H_
// The program's console as barbershop-trace answers it: which prompt it is waiting at, how many
// bytes of input make one answer to it (read exactly as the console reads them), the customer
// list read back from Show, and a roster typed as answers. Pure; single-threaded.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "trace/reading/roster.h"

enum class Prompt { kNone, kChoice, kId, kDelay, kCuttingTime, kIndex };

// The prompt that `console` (the console's text since the last answer) ends with, if any.
Prompt promptAtEnd(std::string_view console);

// `text` without the barber's bed lines, which may come at any moment between runs; `removed`
// counts them.
std::string withoutBedLines(std::string_view text, int* removed);

struct Answer {
  std::size_t length = 0;     // bytes of the input the console will read for this prompt
  bool complete = false;      // false: it reads on past what has been typed so far
  std::optional<int> choice;  // at the menu prompt: the number chosen, when it is one
};

// The answer at the front of `input` for `prompt`. `ended`: no more input will come.
Answer answerFor(Prompt prompt, std::string_view input, bool ended);

// The roster in the text that Show prints ("Customer list:\n" up to the next menu), or nullopt
// when the text is not such a list.
std::optional<Roster> parseCustomerList(std::string_view text);

// The answers that add `roster` through the menu, one per prompt.
std::vector<std::string> rosterAnswers(const Roster& roster);

#endif  // BARBERSHOP_TRACE_RELAY_DIALOGUE_H_
