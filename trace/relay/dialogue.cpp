// Answering the program's console: its prompts and its reads, with its own texts and readers.

#include "trace/relay/dialogue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "console/input.h"
#include "console/texts.h"
#include "core/constants.h"
#include "core/narration.h"
#include "trace/reading/formats.h"

namespace {

// What a line of the list (without its newline) holds in place of its format's conversion.
std::optional<std::string> field(std::string_view line, const char* format) {
  return formatFill(std::string(line) + "\n", format);
}

std::optional<int> number(const std::optional<std::string>& digits) {
  if (!digits || digits->empty()) return std::nullopt;
  char* end = nullptr;
  long value = strtol(digits->c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return static_cast<int>(value);
}

// The console's prompts, each with the text it prints.
constexpr std::pair<const char*, Prompt> kPrompts[] = {
    {kChoicePrompt, Prompt::kChoice}, {kIdPrompt, Prompt::kId},
    {kDelayPrompt, Prompt::kDelay},   {kCuttingTimePrompt, Prompt::kCuttingTime},
    {kIndexPrompt, Prompt::kIndex},
};

}  // namespace

Prompt promptAtEnd(std::string_view console) {
  for (const auto& [text, prompt] : kPrompts) {
    if (endsWith(console, text)) return prompt;
  }
  return Prompt::kNone;
}

Prompt firstPrompt(std::string_view console, std::size_t* end) {
  Prompt first = Prompt::kNone;
  std::size_t at = std::string_view::npos;
  for (const auto& [text, prompt] : kPrompts) {
    const std::size_t found = console.find(text);
    if (found < at) {
      at = found;
      first = prompt;
      *end = found + std::string_view(text).size();
    }
  }
  return first;
}

namespace {

// Where the barber's next line starts in `text` from `at`, and its length; npos when none is
// whole there. A cut's line ends at the first "]]\n" after its opening: an ID holds no newline.
std::size_t nextBarberLine(std::string_view text, std::size_t at, std::size_t* length) {
  std::size_t first = std::string_view::npos;
  for (const char* line : {kBarberToBed, kBarberWokenUp, kStartCutting, kFinishCutting}) {
    const std::string_view format(line);
    const std::size_t hole = format.find("%s");
    const std::size_t found = text.find(format.substr(0, hole), at);
    if (found == std::string_view::npos || found >= first) continue;
    std::size_t size = format.size();
    if (hole != std::string_view::npos) {
      const std::size_t close = text.find("]]\n", found + hole);
      if (close == std::string_view::npos || text.find('\n', found + 1) < close) continue;
      size = close + 3 - found;
    }
    first = found;
    *length = size;
  }
  return first;
}

}  // namespace

std::string withoutBedLines(std::string_view text, int* removed) {
  std::string rest;
  const std::string_view bed(kBarberToBed);
  for (std::size_t at = 0;;) {
    std::size_t length = 0;
    const std::size_t found = nextBarberLine(text, at, &length);
    rest.append(text.substr(at, found - at));
    if (found == std::string_view::npos) break;
    if (text.substr(found, length) == bed) ++*removed;
    at = found + length;
  }
  return rest;
}

Answer answerFor(Prompt prompt, std::string_view input, bool ended) {
  Answer answer;
  if (prompt == Prompt::kNone) return answer;
  if (input.empty()) {
    answer.complete = ended;
    return answer;
  }
  // The console's own readers, run over what has been typed: they consume exactly what the
  // program will, and reading past its end means the answer is not all there yet.
  std::string copy(input);
  FILE* in = fmemopen(copy.data(), copy.size(), "r");
  if (in == nullptr) return answer;
  if (prompt == Prompt::kId) {
    char id[ID_SIZE];
    (void)readIdLine(in, id, sizeof id);
  } else {
    int value = 0;
    InputResult result = readInt(in, &value);
    if (result == InputResult::kNotNumber) discardLine(in);
    if (result == InputResult::kValue && prompt == Prompt::kChoice) answer.choice = value;
  }
  answer.complete = ended || !feof(in);
  if (!answer.complete) answer.choice.reset();
  long consumed = ftell(in);
  answer.length = consumed < 0 ? copy.size() : static_cast<std::size_t>(consumed);
  fclose(in);
  return answer;
}

Dialogue::Dialogue(std::string script, bool userTypes)
    : script_(std::move(script)), ended_(!userTypes) {}

bool Dialogue::wantsUser() const {
  return !ended_ && prompt_ != Prompt::kNone && script_.empty() && heldRun_.empty() &&
         !answerFor(prompt_, input_, false).complete;
}

bool Dialogue::allHandedOver() const {
  return script_.empty() && ended_ && input_.empty() && heldRun_.empty();
}

void Dialogue::addScript(std::string_view answers, std::size_t ahead) {
  if (ahead_ == script_.size()) ahead_ += std::min(ahead, answers.size());
  script_.append(answers);
}

std::string Dialogue::takeAhead() {
  if (closed_ || !heldRun_.empty() || sent_ >= ahead_) return std::string();
  std::string bytes = script_.substr(sent_, ahead_ - sent_);
  sent_ = ahead_;
  return bytes;
}

Handover Dialogue::next() {
  Handover handover;
  if (closed_ || !heldRun_.empty()) return handover;
  if (prompt_ != Prompt::kNone) {
    const bool scripted = !script_.empty();
    std::string& source = scripted ? script_ : input_;
    const Answer answer = answerFor(prompt_, source, scripted ? false : ended_);
    if (!answer.complete) return handover;
    handover.bytes = source.substr(0, answer.length);
    source.erase(0, answer.length);
    if (scripted) {
      handover.echo = handover.bytes;
      handover.sent = std::min(sent_, answer.length);
      sent_ -= handover.sent;
      ahead_ -= std::min(ahead_, answer.length);
    }
    handover.choice = answer.choice;
    if (!handover.bytes.empty()) prompt_ = Prompt::kNone;
    // A Run the program has already been given cannot wait for the list.
    if (answer.choice == kChoiceRun && handover.sent == 0) {
      // The list first, off the screen, so that the run's roster is known exactly.
      heldRun_ = std::move(handover.bytes);
      handover.bytes = std::to_string(kChoiceShow) + "\n";
      handover.listFirst = true;
    }
  }
  if (allHandedOver()) handover.closeInput = closed_ = true;
  return handover;
}

Handover Dialogue::releaseRun() {
  Handover handover;
  handover.bytes = std::move(heldRun_);
  heldRun_.clear();
  handover.choice = kChoiceRun;
  if (!closed_ && allHandedOver()) handover.closeInput = closed_ = true;
  return handover;
}

std::optional<Roster> parseCustomerList(std::string_view text) {
  if (!startsWith(text, kListTitle)) return std::nullopt;
  text.remove_prefix(std::string_view(kListTitle).size());
  Roster roster;
  std::string_view rule(kListRule);
  while (startsWith(text, rule)) {
    text.remove_prefix(rule.size());
    std::string_view lines[4];
    for (std::string_view& line : lines) {
      std::size_t end = text.find('\n');
      if (end == std::string_view::npos) return std::nullopt;
      line = text.substr(0, end);
      text.remove_prefix(end + 1);
    }
    std::optional<std::string> id = field(lines[1], kDisplayId);
    std::optional<int> delay = number(field(lines[2], kDisplayDelay));
    std::optional<int> cutting = number(field(lines[3], kDisplayCuttingTime));
    if (!number(field(lines[0], kListNumber)) || !id || !delay || !cutting) return std::nullopt;
    roster.push_back(RosterEntry{*id, *delay, *cutting});
  }
  if (!startsWith(text, kMenuTitle)) return std::nullopt;
  return roster;
}

std::vector<std::string> rosterAnswers(const Roster& roster) {
  std::vector<std::string> answers;
  for (const RosterEntry& entry : roster) {
    answers.push_back(std::to_string(kChoiceAdd) + "\n");
    answers.push_back(entry.id + "\n");
    answers.push_back(std::to_string(entry.delayMs) + "\n");
    answers.push_back(std::to_string(entry.cuttingMs) + "\n");
  }
  return answers;
}
