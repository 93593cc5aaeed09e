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
                    // Blank lines are skipped by the number's read: it needs the next line.
                    AnswerCase{Prompt::kChoice, "\n  \n", false, 0, false, std::nullopt},
                    AnswerCase{Prompt::kChoice, "\n6\n", false, 3, true, 6},
                    // A line that is no number is dropped whole.
                    AnswerCase{Prompt::kChoice, "abc def\n5\n", false, 8, true, std::nullopt},
                    AnswerCase{Prompt::kChoice, "6 7\n", false, 2, true, 6},
                    AnswerCase{Prompt::kChoice, "6", false, 0, false, std::nullopt},
                    AnswerCase{Prompt::kChoice, "6", true, 1, true, 6},
                    AnswerCase{Prompt::kDelay, "-12\n", false, 4, true, std::nullopt},
                    AnswerCase{Prompt::kId, "\n1\n", false, 1, true, std::nullopt},
                    AnswerCase{Prompt::kId, "Ann", false, 0, false, std::nullopt},
                    // An ID line of 35 characters or more is read 35 at a time, the rest dropped.
                    AnswerCase{Prompt::kId, std::string(40, 'x') + "\n9\n", false, 41, true,
                               std::nullopt},
                    AnswerCase{Prompt::kIndex, "", true, 0, true, std::nullopt}));

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
  EXPECT_EQ(promptAtEnd("Your choice: Input customer's ID: "), Prompt::kId);
  EXPECT_EQ(promptAtEnd("ID: Your choice: \n"), Prompt::kNone);
}

}  // namespace
