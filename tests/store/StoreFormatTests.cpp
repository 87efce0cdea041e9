// The store's format read by its one set of rules: a leaf's text, a
// counter's count and amount, song numbers and day keys.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"

using namespace corvane;

namespace {
ns::PlistValue leaf(const char* element, const char* text) {
  return ns::PlistValue(ns::PlistOther{element, text});
}
}  // namespace

TEST(StoreFormat, EveryLeafAnotherToolWritesHasOneText) {
  struct Case {
    ns::PlistValue value;
    std::optional<std::string> text;
  } cases[] = {
      {ns::PlistValue("  7"), "  7"},  // a <string> is used as written
      {leaf("integer", " 28 "), "28"},
      {leaf("integer", "0x1C"), "28"},
      {leaf("integer", "-0X1c"), "-28"},
      {leaf("integer", "+3"), "3"},
      {leaf("real", "30.0"), "30"},
      {leaf("real", "12.9"), "12.9"},
      {leaf("real", "-0.0"), "0"},
      {leaf("real", "1e20"), "100000000000000000000"},
      {leaf("real", "1e-5"), "0.00001"},
      {leaf("integer", "x1"), std::nullopt},
      {leaf("integer", "12abc"), std::nullopt},
      {leaf("integer", ""), std::nullopt},
      {leaf("integer", "99999999999999999999"), std::nullopt},
      {leaf("real", "inf"), std::nullopt},
      {leaf("real", "nan"), std::nullopt},
      {leaf("true", ""), std::nullopt},
      {ns::PlistValue(ns::PlistArray{}), std::nullopt},
  };
  for (auto& c : cases) {
    const auto* other = c.value.other();
    EXPECT_EQ(leafText(c.value), c.text) << (other ? other->element + " " + other->text : "");
  }
}

TEST(StoreFormat, ACounterHasACountAndAnAmount) {
  struct Case {
    const char* text;
    int32_t count;
    double amount;
    const char* next;
  } cases[] = {
      {"41", 41, 41, "42"},
      {"  7", 7, 7, "8"},
      {"+5", 5, 5, "6"},
      {"12.9", 12, 12.9, "13"},
      {"-3", -3, 0, "-2"},
      {"abc", 0, 0, "1"},
      {"", 0, 0, "1"},
      {"7abc", 7, 7, "8"},
      {"1e3", 1, 1000, "2"},
      {"1e400", 1, 0, "2"},
      {"99999999999", INT32_MAX, 99999999999, "2147483647"},
  };
  for (auto& c : cases) {
    const std::string text = c.text;
    EXPECT_EQ(counterCount(text), c.count) << c.text;
    EXPECT_EQ(counterAmount(text), c.amount) << c.text;
    EXPECT_EQ(incrementedCounter(&text), c.next) << c.text;
  }
  EXPECT_EQ(incrementedCounter(nullptr), "1");
  EXPECT_EQ(leafAmount(leaf("integer", "0x1C")), 28);
  EXPECT_EQ(leafAmount(leaf("true", "")), 0);
}

TEST(StoreFormat, NumbersAsTextLeavesWhatHasNoTextAsItWas) {
  ns::PlistDictionary d{{"0", leaf("integer", "0x1C")},
                        {"1", leaf("real", "2.5")},
                        {"2", leaf("true", "")},
                        {"3", "x"}};
  numbersAsText(d);
  EXPECT_EQ(d,
            (ns::PlistDictionary{{"0", "28"}, {"1", "2.5"}, {"2", leaf("true", "")}, {"3", "x"}}));
}

TEST(StoreFormat, SongNumbersAndDayKeysAreExactlyWhatTheRecorderWrites) {
  EXPECT_EQ(songNumber("0"), 0);
  EXPECT_EQ(songNumber("2147483647"), INT32_MAX);
  for (const char* bad : {"", "007", "-1", "+1", " 3", "3 ", "2147483648", "1.0", "x"})
    EXPECT_EQ(songNumber(bad), std::nullopt) << bad;
  EXPECT_EQ(numberText(-2), "-2");

  EXPECT_TRUE(isDayKey("2015-03-05"));
  for (const char* bad : {"", "2015-3-05", "2015/03/05", " 2015-03-05", "2015-03-05 ", "Error",
                          "../EverydayData", "2015-03-0x"})
    EXPECT_FALSE(isDayKey(bad)) << bad;

  const std::string artist = "A", album = "B";
  EXPECT_EQ(albumEntry(&artist, &album), "A-B");
  EXPECT_EQ(albumEntry(&artist, nullptr), "A-(null)");
  EXPECT_EQ(dayFilePaths("2015-03-05")[1],
            "/var/mobile/Documents/Corvane/EverydayData/2015-03-05/MusicNumber.plist");
}
