#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "Foundation/TextValue.h"

using namespace ns;

namespace {

TEST(IntValue, LeadingDigitsWithBlanksAndSign) {
  const std::pair<const char*, int32_t> cases[] = {
      {"42", 42},  {"  \t\n\v\f\r7", 7}, {"+5", 5},  {"-12", -12}, {"12abc", 12}, {"abc", 0},
      {"", 0},     {"   ", 0},           {"- 3", 0}, {"+-3", 0},   {"3.9", 3},    {"007", 7},
      {"0x1F", 0}, {"\xC2\xA0\x35", 0},  {"1e3", 1}, {"-0", 0},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(intValue(text), value) << '"' << text << '"';
}

TEST(IntValue, SaturatesAtTheThirtyTwoBitLimits) {
  EXPECT_EQ(intValue("2147483647"), INT32_MAX);
  EXPECT_EQ(intValue("2147483648"), INT32_MAX);
  EXPECT_EQ(intValue("-2147483648"), INT32_MIN);
  EXPECT_EQ(intValue("-2147483649"), INT32_MIN);
  EXPECT_EQ(intValue(std::string(5000, '9')), INT32_MAX);
  EXPECT_EQ(intValue("-" + std::string(5000, '9') + "x"), INT32_MIN);
}

TEST(DoubleValue, DecimalPointAndExponent) {
  const std::pair<const char*, double> cases[] = {
      {"2.5", 2.5},   {" -0.25x", -0.25}, {"+.5", 0.5}, {"5.", 5.0},     {"1e3", 1000.0},
      {"1E-2", 0.01}, {"1e", 1.0},        {".", 0.0},   {"abc", 0.0},    {"inf", 0.0},
      {"nan", 0.0},   {"-", 0.0},         {"1,5", 1.0}, {"1e-400", 0.0},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(doubleValue(text), value) << text;
  EXPECT_EQ(doubleValue("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(doubleValue("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(doubleValue("0.0000001e320"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(doubleValue("100000e-330"), 0.0);
}

TEST(DoubleValue, IgnoresACommaDecimalLocale) {
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8") &&
      !std::setlocale(LC_ALL, "de_DE"))
    GTEST_SKIP() << "no comma-decimal locale installed";
  const double cParsed = std::strtod("2,5", nullptr);  // proves the locale is in force
  const double parsed = doubleValue("2.5"), comma = doubleValue("2,5");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(cParsed, 2.5);
  EXPECT_EQ(parsed, 2.5);
  EXPECT_EQ(comma, 2.0);
}

TEST(Utf16, LengthAndPrefixCountSurrogatePairs) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
  EXPECT_EQ(utf16Length(""), 0u);
  EXPECT_EQ(utf16Length("http:"), 5u);
  EXPECT_EQ(utf16Length("\xC3\xA9\xE2\x82\xAC"), 2u);  // é€
  EXPECT_EQ(utf16Length("a" + emoji), 3u);
  EXPECT_EQ(utf16Length("\xFF\xE2\x82"), 2u);  // two invalid subparts
  EXPECT_EQ(utf16Prefix("http://radio", 5), "http:");
  EXPECT_EQ(utf16Prefix("http", 5), "http");
  EXPECT_EQ(utf16Prefix("abcd" + emoji + "x", 5), "abcd");  // would cut the pair
  EXPECT_EQ(utf16Prefix("abc" + emoji + "x", 5), "abc" + emoji);
  EXPECT_EQ(utf16Prefix("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
}

}  // namespace
