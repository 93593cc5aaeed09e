// The menu at a choice: the threads in the shop's words, the default marked.

#include "trace/showing/choice_menu.h"

#include "trace/common/utf8.h"
#include "trace/judging/sync_words.h"
#include "trace/showing/text.h"

namespace {

// What the menu says of a thread that can go and of one that cannot.
constexpr char kCanGo[] = "can go";
constexpr char kBlocked[] = "blocked";
constexpr char kDefault[] = " (Enter)";
constexpr std::size_t kHolderColumns = 12;  // of a holder's name, so the step's words keep room

// What each kind of choice asks.
const char* question(ChoiceWhy why) {
  switch (why) {
    case ChoiceWhy::kWake:
      return "two or more want one object: who gets it?";
    case ChoiceWhy::kTie:
      return "their deadlines came together: who goes first?";
    case ChoiceWhy::kGo:
      break;
  }
  return "who goes next?";
}

// The moment of the choice: its run's latest step.
Micros now(const RunRecord& soFar) {
  const std::vector<SyncStep>& steps = soFar.control.steps;
  return steps.empty() ? Micros{} : steps.back().at;
}

std::string painted(const std::string& text, const char* sgr, const ViewStyle& style) {
  if (!style.colour) return text;
  return std::string("\x1b[") + sgr + "m" + text + "\x1b[0m";
}

// Whom a thread that cannot take a lock waits for: ", Ann has it".
std::string heldBy(const RunRecord& soFar, const PendingStep& step, const ViewStyle& style) {
  const bool takes = step.op == SyncOp::kLock || step.op == SyncOp::kTimedLock ||
                     step.op == SyncOp::kWait || step.op == SyncOp::kTimedWait;
  const int holder = takes && !step.canGo ? holderOf(soFar, step.oid) : -1;
  if (holder < 0) return "";
  return ", " + ellipsize(shown(actorWords(soFar, holder), style), kHolderColumns, style) +
         " has it";
}

std::string threadLine(const RunRecord& soFar, const PendingStep& step, bool isDefault,
                       const ViewStyle& style) {
  const std::string number = padLeft(std::to_string(step.tid), 3) + "  ";
  const std::string state = std::string(glyphs(style).dot) + (step.canGo ? kCanGo : kBlocked) +
                            heldBy(soFar, step, style) + (isDefault ? kDefault : "");
  const std::string said = shown(stepLine(soFar, step), style);
  // One column spare, so that a terminal never wraps the line on its own.
  const std::size_t room = style.width - 1 - columns(number) - columns(state);
  const std::string line = number + ellipsize(said, room, style);
  return step.canGo ? line + painted(state, isDefault ? kBold : kGreen, style)
                    : painted(line + state, kDim, style);
}

}  // namespace

std::string choiceMenu(const RunRecord& soFar, const Choice& choice, const ViewStyle& style) {
  std::string menu = painted("choice " + std::to_string(choice.k) + " at " + msText(now(soFar)) +
                                 ": " + question(choice.why),
                             kCyan, style) +
                     "\n";
  for (const PendingStep& step : choice.threads) {
    menu += threadLine(soFar, step, step.tid == choice.plainPick, style) + "\n";
  }
  return menu;
}

std::string choiceQuestion(const Choice& choice) {
  return "who goes? a number, Enter for " + std::to_string(choice.plainPick) + ", b back, q stop: ";
}
