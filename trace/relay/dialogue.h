#ifndef BARBERSHOP_TRACE_RELAY_DIALOGUE_H_
#define BARBERSHOP_TRACE_RELAY_DIALOGUE_H_
// The program's console as barbershop-trace answers it: which prompt it is waiting at, how many
// bytes of input make one answer to it (read exactly as the console reads them), what to hand
// over and when, the customer list read back from Show, and a roster typed as answers. Pure;
// single-threaded.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/reading/roster.h"

enum class Prompt { kNone, kChoice, kId, kDelay, kCuttingTime, kIndex };

// The prompt that `console` (the console's text since the last answer) ends with, if any.
Prompt promptAtEnd(std::string_view console);
// The first prompt in `console`, and in `end` where it ends; kNone when there is none.
Prompt firstPrompt(std::string_view console, std::size_t* end);

// `text` without the barber's lines, which may come at any moment between runs (a broken shop's
// barber may still be cutting when the menu is back); `removed` counts the bed lines among them.
std::string withoutBedLines(std::string_view text, int* removed);

struct Answer {
  std::size_t length = 0;     // bytes of the input the console will read for this prompt
  bool complete = false;      // false: it reads on past what has been typed so far
  std::optional<int> choice;  // at the menu prompt: the number chosen, when it is one
};

// The answer at the front of `input` for `prompt`. `ended`: no more input will come.
Answer answerFor(Prompt prompt, std::string_view input, bool ended);

// What to do at the program's input now.
struct Handover {
  std::string bytes;          // to hand to the program; empty: nothing
  std::string echo;           // an answer from the script, shown as a terminal shows typing
  bool listFirst = false;     // `bytes` asks for the customer list; the Run answer is held back
  bool closeInput = false;    // then end the program's input: everything has been handed over
  std::optional<int> choice;  // the menu choice in `bytes`, when it is one
  std::size_t sent = 0;       // bytes at the front of `bytes` already written ahead
};

// What to send to the program, and when, given what has arrived: the answers still to type (a
// script first, then the user's), the prompt the program waits at, and whether the user's input
// has ended. One answer per prompt, never before it; a Run answer waits behind the request for
// the customer list until releaseRun(); once the input has ended and all of it has been handed
// over, the program's input ends too, so it reads end of input where it would if piped directly.
// Script answers marked as going ahead may be written before their prompts, as a pipe would
// carry them, while nothing is held back before them: the program reads them without waiting,
// and each is still handed over, with its echo, at its own prompt.
class Dialogue {
 public:
  // `script`: answers typed first. `userTypes`: then the user's input; without it the input
  // counts as ended once the script is.
  Dialogue(std::string script, bool userTypes);

  // The program's text since the last answer now ends with `prompt` (kNone: with none).
  void prompted(Prompt prompt) { prompt_ = prompt; }
  // More answers to type, after the script's last; the first `ahead` bytes of them may be written
  // before their prompts when all of the script before them may be too.
  void addScript(std::string_view answers, std::size_t ahead = 0);
  void typed(std::string_view bytes) { input_.append(bytes); }
  void inputEnded() { ended_ = true; }

  // True when the user's input is wanted: the program asks, the script is done and what has
  // been typed is not yet a whole answer. Keys typed at other times wait where they are.
  bool wantsUser() const;
  // The next handover; call after every change. Hands over at most one answer.
  Handover next();
  // The Run answer held back by a list request, once the list has come.
  Handover releaseRun();
  // The script's bytes that may go ahead of their prompts now and have not gone yet.
  std::string takeAhead();
  // Some answers were written ahead and their prompts have not all come yet.
  bool answersAhead() const { return sent_ > 0; }

  bool scriptDone() const { return script_.empty(); }
  bool holdingRun() const { return !heldRun_.empty(); }

 private:
  bool allHandedOver() const;

  std::string script_;     // answers still to type
  std::size_t ahead_ = 0;  // bytes at the front of script_ that may go ahead of their prompts
  std::size_t sent_ = 0;   // bytes at the front of script_ already written ahead
  std::string input_;      // the user's input not yet handed over
  bool ended_;             // the user's input has ended (or is not read at all)
  Prompt prompt_ = Prompt::kNone;
  std::string heldRun_;  // the Run answer, while the list is asked for
  bool closed_ = false;  // the program's input has been ended
};

// The roster in the text that Show prints ("Customer list:\n" up to the next menu), or nullopt
// when the text is not such a list.
std::optional<Roster> parseCustomerList(std::string_view text);

// The answers that add `roster` through the menu, one per prompt.
std::vector<std::string> rosterAnswers(const Roster& roster);

#endif  // BARBERSHOP_TRACE_RELAY_DIALOGUE_H_
