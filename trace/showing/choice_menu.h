#ifndef BARBERSHOP_TRACE_SHOWING_CHOICE_MENU_H_
#define BARBERSHOP_TRACE_SHOWING_CHOICE_MENU_H_
// What --step shows at a choice of a controlled run: one line per live thread in the shop's
// words, what it would do next and whether it can, the plain order's pick marked as the one Enter
// takes; then the question. Every line fits the terminal's width. Text only; pure.

#include <string>
#include <vector>

#include "trace/reading/control.h"
#include "trace/reading/run_record.h"
#include "trace/showing/view.h"

// A thread at a choice, in words: the terminal's menu and the live page both show these.
struct ChoiceLine {
  int tid = 0;
  std::string words;  // "Bob: takes the queue lock"
  bool canGo = false;
  std::string holder;  // who has what it waits for ("Ann"), when it cannot go; else empty
  bool plain = false;  // the plain order's pick, which Enter takes
};
std::vector<ChoiceLine> choiceLines(const RunRecord& soFar, const Choice& choice);
// What the choice asks: "who goes next?", "two or more want one object: who gets it?".
const char* choiceAsks(ChoiceWhy why);
// The moment of the choice: its run's latest step.
Micros choiceMoment(const RunRecord& soFar);

// The heading and a line per thread, each ending with a newline.
std::string choiceMenu(const RunRecord& soFar, const Choice& choice, const ViewStyle& style);
// The question, without a newline: "who goes? a number, Enter for 3, b back, q stop: ".
std::string choiceQuestion(const Choice& choice);

#endif  // BARBERSHOP_TRACE_SHOWING_CHOICE_MENU_H_
