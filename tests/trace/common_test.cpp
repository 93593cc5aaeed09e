// The vocabulary every view and file shares: program bytes shown, measured and kept in JSON.

#include <gtest/gtest.h>

#include <string>

#include "trace/common/json_text.h"
#include "trace/common/utf8.h"

namespace {

TEST(Utf8, ShowsWhatWouldBeObeyedAndMeasuresColumns) {
  struct Case {
    std::string bytes, shown;
    std::size_t columns;  // of the shown text
  } const kCases[] = {
      {"Ann", "Ann", 3},
      {"a\x1b[31mb", "a\\x1b[31mb", 10},   // an escape sequence
      {"a\tb\x7f", "a\\x09b\\x7f", 10},    // C0 and DEL
      {"a\xc2\x85z", "a\\u0085z", 8},      // a C1 control, NEL
      {"a\xe2\x80\xa8z", "a\\u2028z", 8},  // the line separator
      {"a\xe2\x80\xaez", "a\\u202ez", 8},  // right-to-left override
      {"a\xe2\x80\x8bz", "a\\u200bz", 8},  // zero-width space
      {"\xef\xbb\xbf"
       "A",
       "\\ufeffA", 7},                            // a byte order mark
      {"A\xe2\x81\xa0", "A\\u2060", 7},           // a word joiner
      {"a\xc2\xadz", "a\\u00adz", 8},             // soft hyphen
      {"a\xf3\xa0\x80\x81", "a\\U000e0001", 11},  // a tag, past U+FFFF
      {"B\xff", "B\\xff", 5},                     // not UTF-8
      {"\xc0\xaf", "\\xc0\\xaf", 8},              // an overlong form
      {"表示", "表示", 4},                        // wide
      {"e\xcc\x81", "e\xcc\x81", 1},              // a combining accent
      {"Zoë", "Zoë", 3},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(visible(c.bytes), c.shown) << c.bytes;
    EXPECT_EQ(columns(visible(c.bytes)), c.columns) << c.bytes;
    EXPECT_TRUE(isUtf8(visible(c.bytes)));
  }
  EXPECT_EQ(visible("Zoë表", true), "Zo??");
  EXPECT_EQ(headColumns("表示", 3), "表");  // never half a wide character
}

TEST(JsonText, KeepsEveryByteAndRefusesAMismatch) {
  for (const std::string& bytes :
       {std::string("Ann"), std::string("B\xff\x00z", 4), std::string()}) {
    Json object = Json::object();
    putText(object, "id", bytes);
    putTexts(object, "ids", {bytes, "x"});
    const Json back = Json::parse(oneLine(object));
    EXPECT_EQ(textOf(back, "id"), bytes);
    EXPECT_EQ(textsOf(back, "ids"), (std::vector<std::string>{bytes, "x"}));
    EXPECT_EQ(back.contains("id_hex"), !isUtf8(bytes));
  }
  const Json forged = Json::parse(R"({"id": "Ann", "id_hex": "426f62"})");
  EXPECT_THROW((void)textOf(forged, "id"), JsonTextError);
}

}  // namespace
