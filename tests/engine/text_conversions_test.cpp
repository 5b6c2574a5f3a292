#include "engine/text_conversions.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct ConversionCase {
  std::string text;
  std::optional<int> value;  // none: invalid
};

TEST(StrToInt, AcceptsExactlyTheNumberBoxSyntax) {
  const ConversionCase cases[] = {
      {"50", 50},
      {"0050", 50},
      {"  7", 7},
      {"+12", 12},
      {"-12", -12},
      {"  -0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$1F", 31},
      {"x1f", 31},
      {"X10", 16},
      {"0x10", 16},
      {"0X10", 16},
      {"-$10", -16},
      {"+0x7fffffff", 2147483647},
      {"$FFFFFFFF", -1},
      {"$80000000", -2147483647 - 1},
      {"-$FFFFFFFF", 1},
      {"$000000001", 1},  // leading zeros are not significant
      {"0", 0},
      // Invalid texts.
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {"+-1", std::nullopt},
      {"- 1", std::nullopt},
      {"1 ", std::nullopt},  // a trailing blank is not allowed
      {"\t1", std::nullopt},  // only code 32 counts as a leading blank
      {"1a", std::nullopt},
      {"abc", std::nullopt},
      {"1.5", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"-x", std::nullopt},
      {"$100000000", std::nullopt},  // nine significant digits
      {"$1G", std::nullopt},
      {"0x$1", std::nullopt},
      {"１２", std::nullopt},  // full-width digits are not digits
  };
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(TryStrToInt(c.text), c.value) << "text: '" << c.text << "'";
  }
}

TEST(StrToInt, ErrorNamesTheUntrimmedText) {
  for (const std::string text : {"", " 12 ", "abc", "请输入"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const ConvertError& error) {
      EXPECT_EQ(std::string(error.what()), "'" + text + "' is not a valid integer value");
    }
  }
  EXPECT_EQ(StrToInt(" -$a"), -10);
}

TEST(Trim, RemovesControlCodesAndBlanksButNoMultiByteCharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {" \t\r\n", ""},
      {"  tb  ", "tb"},
      {"\x01" "a b\x1f", "a b"},
      {"\u3000tb\u3000", "\u3000tb\u3000"},  // the ideographic blank stays
      {" 图片 ", "图片"},
      {"\x7f", "\x7f"},
  };
  for (const auto& [text, trimmed] : cases) EXPECT_EQ(Trim(text), trimmed) << text;
}

}  // namespace
