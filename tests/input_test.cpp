// Reading the console's numbers and ID lines from a stream.

#include "console/input.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NumberCase {
  std::string text;
  InputResult result;
  long long value;   // what readInt gives, when it reads a number
  unsigned uvalue;   // what readUnsigned gives
  std::string rest;  // what is left to read afterwards
};

class NumberInput : public testing::TestWithParam<NumberCase> {};

std::string rest(FILE* in) {
  std::string text;
  for (int c; (c = getc(in)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST_P(NumberInput, ReadsLikeScanfThenOneCharacter) {
  const NumberCase& c = GetParam();
  std::string text = c.text;
  FILE* in = fmemopen(text.data(), text.size(), "r");
  int value = -7;
  EXPECT_EQ(readInt(in, &value), c.result);
  if (c.result == InputResult::kValue) {
    EXPECT_EQ(value, c.value);
  }
  EXPECT_EQ(rest(in), c.rest);
  rewind(in);
  unsigned uvalue = 7;
  EXPECT_EQ(readUnsigned(in, &uvalue), c.result);
  if (c.result == InputResult::kValue) {
    EXPECT_EQ(uvalue, c.uvalue);
  }
  fclose(in);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberInput,
    testing::Values(
        NumberCase{"42\nnext", InputResult::kValue, 42, 42u, "next"},
        NumberCase{" \n +7 x", InputResult::kValue, 7, 7u, "x"},
        NumberCase{"-1\n", InputResult::kValue, -1, 4294967295u, ""},
        NumberCase{"99999999999999999999\n", InputResult::kValue, 2147483647, 4294967295u, ""},
        NumberCase{"-99999999999\n", InputResult::kValue, -2147483648LL, 4294967295u, ""},
        NumberCase{"4294967296\n", InputResult::kValue, 2147483647, 4294967295u, ""},
        NumberCase{"abc\n", InputResult::kNotNumber, 0, 0, "abc\n"},
        NumberCase{"-x\n", InputResult::kNotNumber, 0, 0, "x\n"},
        NumberCase{"  \n", InputResult::kEnd, 0, 0, ""},
        NumberCase{"", InputResult::kEnd, 0, 0, ""}));

struct LineCase {
  std::string text;
  bool read;
  std::string id;
  std::string rest;
};

class IdLine : public testing::TestWithParam<LineCase> {};

TEST_P(IdLine, DropsTheLastCharacterReadAndTheRestOfALongLine) {
  std::string text = GetParam().text;
  FILE* in = fmemopen(text.data(), text.size(), "r");
  char id[36];
  EXPECT_EQ(readIdLine(in, id, sizeof id), GetParam().read);
  EXPECT_EQ(std::string(id), GetParam().id);
  EXPECT_EQ(rest(in), GetParam().rest);
  fclose(in);
}

const std::string k35(35, 'x');

INSTANTIATE_TEST_SUITE_P(
    Lines, IdLine,
    testing::Values(LineCase{"Ann\n5\n", true, "Ann", "5\n"}, LineCase{"\n5\n", true, "", "5\n"},
                    LineCase{k35.substr(1) + "\n5\n", true, k35.substr(1), "5\n"},
                    LineCase{k35 + "\n5\n", true, k35.substr(1), "5\n"},
                    LineCase{k35 + "more\n5\n", true, k35.substr(1), "5\n"},
                    LineCase{"Ann", true, "An", ""}, LineCase{"", false, "", ""}));

}  // namespace
