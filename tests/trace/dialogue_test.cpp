// Answering the console: prompts, how much input one answer is, the customer list read back.

#include "trace/relay/dialogue.h"

#include <gtest/gtest.h>

namespace {

struct AnswerCase {
  Prompt prompt;
  std::string input;
  bool ended;
  std::size_t length;
  bool complete;
  std::optional<int> choice;
};

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, TakeWhatTheConsoleReads) {
  const AnswerCase& c = GetParam();
  Answer answer = answerFor(c.prompt, c.input, c.ended);
  EXPECT_EQ(answer.complete, c.complete) << c.input;
  if (c.complete) {
    EXPECT_EQ(answer.length, c.length) << c.input;
  }
  EXPECT_EQ(answer.choice, c.choice) << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, Answers,
    testing::Values(AnswerCase{Prompt::kChoice, "6\n7\n", false, 2, true, 6},
                    AnswerCase{Prompt::kChoice, "\n6\n", false, 3, true, 6},
                    // A line that is no number is dropped whole.
                    AnswerCase{Prompt::kChoice, "abc def\n5\n", false, 8, true, std::nullopt},
                    AnswerCase{Prompt::kChoice, "6 7\n", false, 2, true, 6},
                    AnswerCase{Prompt::kDelay, "-12\n", false, 4, true, std::nullopt},
                    AnswerCase{Prompt::kId, "\n1\n", false, 1, true, std::nullopt},
                    // An ID line of 35 characters or more is read 35 at a time, the rest dropped.
                    AnswerCase{Prompt::kId, std::string(40, 'x') + "\n9\n", false, 41, true,
                               std::nullopt},
                    AnswerCase{Prompt::kIndex, "", true, 0, true, std::nullopt}));

// A dialogue as a list of steps: what arrives ("?choice", "?id" ... a prompt; "?" none;
// "+text" typed; "." end of input; "!" the list has come, release the Run answer), and what is
// handed over after it: the bytes, "list " before a list request, " close" when the input ends.
struct DialogueCase {
  const char* name;
  std::string script;
  bool userTypes;
  std::vector<std::pair<std::string, std::string>> steps;
};

std::string shown(const Handover& h) {
  return (h.listFirst ? "list " : "") + h.bytes + (h.closeInput ? " close" : "");
}

class Dialogues : public testing::TestWithParam<DialogueCase> {};

TEST_P(Dialogues, HandOverWhatTheProgramAsksFor) {
  const DialogueCase& c = GetParam();
  Dialogue dialogue(c.script, c.userTypes);
  const std::pair<const char*, Prompt> prompts[] = {
      {"?", Prompt::kNone}, {"?choice", Prompt::kChoice}, {"?id", Prompt::kId}};
  for (const auto& [event, expected] : c.steps) {
    Handover handover;
    if (event == "!") {
      handover = dialogue.releaseRun();
    } else {
      if (event[0] == '+') dialogue.typed(event.substr(1));
      if (event == ".") dialogue.inputEnded();
      for (const auto& [name, prompt] : prompts) {
        if (event == name) dialogue.prompted(prompt);
      }
      handover = dialogue.next();
    }
    EXPECT_EQ(shown(handover), expected) << c.name << " after " << event;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Dialogues,
    testing::Values(
        DialogueCase{"AnswersOnlyAtAPrompt",
                     "",
                     true,
                     {{"+4\n7\n", ""}, {"?choice", "4\n"}, {"?", ""}, {"?choice", "7\n"}}},
        DialogueCase{"RunAsksForTheListFirst",
                     "",
                     true,
                     {{"?choice", ""}, {"+6\n", "list 5\n"}, {"?choice", ""}, {"!", "6\n"}}},
        // Piped answers whose last line has no newline: the program's input ends after them.
        DialogueCase{"EndAfterTheLastAnswer",
                     "",
                     true,
                     {{"?choice", ""},
                      {"+4\n6", "4\n"},
                      {"?choice", ""},
                      {".", "list 5\n"},
                      {"!", "6 close"},
                      {"?choice", ""}}},
        DialogueCase{"EndWithNothingLeft", "", true, {{"?id", ""}, {".", " close"}}},
        DialogueCase{"EndMidIdLine", "", true, {{"?id", ""}, {"+Ann", ""}, {".", "Ann close"}}},
        DialogueCase{"EndWhileRunning", "", true, {{"?", ""}, {".", " close"}}},
        // Blank lines are skipped by the number's read: it needs the next line.
        DialogueCase{"BlankLinesWaitForTheNumber",
                     "",
                     true,
                     {{"?choice", ""}, {"+\n  \n", ""}, {"+3\n", "\n  \n3\n"}}},
        // The script goes first; what the user typed waits behind it.
        DialogueCase{"ScriptThenUser",
                     "1\nA\n",
                     true,
                     {{"+7\n", ""}, {"?choice", "1\n"}, {"?id", "A\n"}, {"?choice", "7\n"}}},
        DialogueCase{"ScriptAloneEndsWithIt",
                     "6\n7\n",
                     false,
                     {{"?choice", "list 5\n"}, {"!", "6\n"}, {"?choice", "7\n close"}}}),
    [](const testing::TestParamInfo<DialogueCase>& each) { return std::string(each.param.name); });

TEST(Dialogue, WantsTheUserOnlyWhenTheProgramAsksAndTheScriptIsDone) {
  Dialogue dialogue("7\n", true);
  EXPECT_FALSE(dialogue.wantsUser());
  dialogue.prompted(Prompt::kChoice);
  EXPECT_FALSE(dialogue.wantsUser());
  EXPECT_EQ(dialogue.next().echo, "7\n");
  EXPECT_FALSE(dialogue.wantsUser());
  dialogue.prompted(Prompt::kChoice);
  EXPECT_TRUE(dialogue.wantsUser());
  dialogue.typed("1");  // not an answer until its line ends
  EXPECT_TRUE(dialogue.wantsUser());
  dialogue.typed("\n");
  EXPECT_FALSE(dialogue.wantsUser());
}

// As through a pipe, the roster is written before its prompts; each answer is still handed over,
// with its echo, at its own prompt, and nothing goes ahead of the Run held back for the list.
TEST(Dialogue, WritesTheRosterAheadButTheRunAtItsPrompt) {
  Dialogue dialogue("", false);
  dialogue.addScript("1\nA\n6\n", 4);
  EXPECT_EQ(dialogue.takeAhead(), "1\nA\n");
  EXPECT_EQ(dialogue.takeAhead(), "");
  for (Prompt prompt : {Prompt::kChoice, Prompt::kId}) {
    EXPECT_TRUE(dialogue.answersAhead());
    dialogue.prompted(prompt);
    const Handover answer = dialogue.next();
    EXPECT_EQ(answer.sent, answer.bytes.size());
    EXPECT_EQ(answer.echo, answer.bytes);
  }
  EXPECT_FALSE(dialogue.answersAhead());
  dialogue.prompted(Prompt::kChoice);
  EXPECT_EQ(shown(dialogue.next()), "list 5\n");
  dialogue.addScript("1\nB\n6\n", 4);  // the next round, added before the Run goes
  EXPECT_EQ(dialogue.takeAhead(), "");
  EXPECT_EQ(dialogue.releaseRun().bytes, "6\n");
  EXPECT_EQ(dialogue.takeAhead(), "1\nB\n");
}

TEST(CustomerList, IsReadBackFromShow) {
  std::optional<Roster> roster = parseCustomerList(
      "Customer list:\n------------------------------------\nCustomer 0:\nID: Ann\n"
      "delay: 100 miniseconds\ncuttingTime: 800 miniSeconds\n"
      "------------------------------------\nCustomer 1:\nID: \ndelay: -5 miniseconds\n"
      "cuttingTime: 2147483647 miniSeconds\nMenu:\n1: Add new customer\n");
  ASSERT_TRUE(roster);
  ASSERT_EQ(roster->size(), 2u);
  EXPECT_EQ((*roster)[0].id, "Ann");
  EXPECT_EQ((*roster)[0].cuttingMs, 800);
  EXPECT_EQ((*roster)[1].id, "");
  EXPECT_EQ((*roster)[1].delayMs, -5);
  EXPECT_FALSE(parseCustomerList("Customer list:\nMenu:\n").value().size());
  EXPECT_FALSE(parseCustomerList("Invalid choice\nMenu:\n"));
}

TEST(Prompts, AreSeenOnlyAtTheEndWithBedLinesAside) {
  int beds = 0;
  std::string text = withoutBedLines(
      "7: Exit\n\n[[Barber going to bed]]\nYour choice: \n[[Barber going to bed]]\n", &beds);
  EXPECT_EQ(beds, 2);
  EXPECT_EQ(promptAtEnd(text), Prompt::kChoice);
  // A broken shop's barber may still finish a cut once the menu is back.
  beds = 0;
  text = withoutBedLines(
      "Your choice: \n[[finish cutting: customer [[x]]]]\n\n[[Barber going to bed]]\n", &beds);
  EXPECT_EQ(beds, 1);
  EXPECT_EQ(text, "Your choice: ");
  EXPECT_EQ(promptAtEnd("Your choice: Input customer's ID: "), Prompt::kId);
  EXPECT_EQ(promptAtEnd("ID: Your choice: \n"), Prompt::kNone);
  std::size_t end = 0;
  EXPECT_EQ(firstPrompt("7: Exit\nYour choice: Input customer's ID: ", &end), Prompt::kChoice);
  EXPECT_EQ(end, 21u);
}

}  // namespace
