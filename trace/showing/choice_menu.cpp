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

}  // namespace

const char* choiceAsks(ChoiceWhy why) {
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

Micros choiceMoment(const RunRecord& soFar) {
  const std::vector<SyncStep>& steps = soFar.control.steps;
  return steps.empty() ? Micros{} : steps.back().at;
}

std::vector<ChoiceLine> choiceLines(const RunRecord& soFar, const Choice& choice) {
  std::vector<ChoiceLine> lines;
  for (const PendingStep& step : choice.threads) {
    const bool takes = step.op == SyncOp::kLock || step.op == SyncOp::kTimedLock ||
                       step.op == SyncOp::kWait || step.op == SyncOp::kTimedWait;
    const int holder = takes && !step.canGo ? holderOf(soFar, step.oid) : -1;
    lines.push_back({step.tid, stepLine(soFar, step), step.canGo,
                     holder < 0 ? std::string() : actorWords(soFar, holder),
                     step.tid == choice.plainPick});
  }
  return lines;
}

namespace {

std::string painted(const std::string& text, const char* sgr, const ViewStyle& style) {
  if (!style.colour) return text;
  return std::string("\x1b[") + sgr + "m" + text + "\x1b[0m";
}

std::string threadLine(const ChoiceLine& line, const ViewStyle& style) {
  const std::string number = padLeft(std::to_string(line.tid), 3) + "  ";
  // Whom a thread that cannot take a lock waits for: ", Ann has it".
  const std::string held =
      line.holder.empty()
          ? ""
          : ", " + ellipsize(shown(line.holder, style), kHolderColumns, style) + " has it";
  const std::string state = std::string(glyphs(style).dot) + (line.canGo ? kCanGo : kBlocked) +
                            held + (line.plain ? kDefault : "");
  const std::string said = shown(line.words, style);
  // One column spare, so that a terminal never wraps the line on its own.
  const std::size_t room = style.width - 1 - columns(number) - columns(state);
  const std::string text = number + ellipsize(said, room, style);
  return line.canGo ? text + painted(state, line.plain ? kBold : kGreen, style)
                    : painted(text + state, kDim, style);
}

}  // namespace

std::string choiceMenu(const RunRecord& soFar, const Choice& choice, const ViewStyle& style) {
  std::string menu = painted("choice " + std::to_string(choice.k) + " at " +
                                 msText(choiceMoment(soFar)) + ": " + choiceAsks(choice.why),
                             kCyan, style) +
                     "\n";
  for (const ChoiceLine& line : choiceLines(soFar, choice)) menu += threadLine(line, style) + "\n";
  return menu;
}

std::string choiceQuestion(const Choice& choice) {
  return "who goes? a number, Enter for " + std::to_string(choice.plainPick) +
         ", n next line, b back, q stop: ";
}
