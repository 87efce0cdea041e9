// The day's ranking, shares and texts as plain values.
#include <gtest/gtest.h>

#include <cmath>

#include "core/DayRanking.h"
#include "core/Texts.h"

using namespace corvane::app;

TEST(Ranking, OrdersByValueLargestFirstAndTotalsTheDay) {
  DayRanking r = rankDay({{"3", "120"}, {"7", "300"}, {"9", "60"}});
  EXPECT_EQ(r.entries, (std::vector<std::string>{"7:300", "3:120", "9:60"}));
  EXPECT_EQ(r.total, 480);
  TopShare top = topShare(r);
  EXPECT_TRUE(top.hasTop);
  EXPECT_EQ(top.number, "7");
  EXPECT_NEAR(top.angle, 3.927, 0.0005);
  EXPECT_EQ(top.angle, 0.625 * 6.283185307179586);
  EXPECT_EQ(top.percent, 62);  // 62.5 truncated
  EXPECT_EQ(sharePercent(300, r.total), 62.5);
}

TEST(Ranking, OrdersByTheIntegerPartButTotalsTheDecimals) {
  // 12.9 and 12.1 are equal for the order (both 12) and keep the file's
  // order; the total takes their full values.
  DayRanking r = rankDay({{"1", "12.1"}, {"2", "12.9"}, {"3", "13"}});
  EXPECT_EQ(r.entries, (std::vector<std::string>{"3:13", "1:12.1", "2:12.9"}));
  EXPECT_DOUBLE_EQ(r.total, 38.0);
  EXPECT_DOUBLE_EQ(rankDay({{"1", "12.9"}, {"2", "12.1"}}).total, 25.0);
}

TEST(Ranking, EntriesKeepTheStoredTextAndSplitAtTheFirstColon) {
  EXPECT_EQ(rankingEntry("12", "340"), "12:340");
  EntryParts p = splitEntry("12:340");
  EXPECT_EQ(p.number, "12");
  EXPECT_EQ(p.value, "340");
  EXPECT_EQ(splitEntry("5").value, "");
  // Text that is no number sorts as 0 and counts nothing.
  DayRanking r = rankDay({{"0", "abc"}, {"1", "  7"}});
  EXPECT_EQ(r.entries.front(), "1:  7");
  EXPECT_EQ(r.total, 7);
}

TEST(Ranking, DaysThatAddUpToNothingGiveNoNotANumber) {
  // Zeros, negatives and overflowing text from a damaged file: the card gets
  // an empty ring and the rows 0 %, never "nan" or a negative share.
  for (const DayValues& day :
       {DayValues{{"0", "0"}, {"1", "0"}}, DayValues{{"0", "-5"}}, DayValues{{"0", "1e999"}}}) {
    DayRanking r = rankDay(day);
    TopShare top = topShare(r);
    EXPECT_TRUE(top.hasTop);
    EXPECT_EQ(top.angle, 0);
    EXPECT_EQ(top.percent, 0);
    EXPECT_EQ(percentText(sharePercent(valueOf(splitEntry(r.entries[0]).value), r.total)), "0.0%");
  }
  // A negative neighbour cannot push the top song past the whole day.
  TopShare top = topShare(rankDay({{"0", "20"}, {"1", "-10"}}));
  EXPECT_EQ(top.percent, 100);
  EXPECT_EQ(top.angle, 6.283185307179586);
  EXPECT_FALSE(topShare(rankDay({})).hasTop);
}

TEST(Texts, ValueTextSwitchesToMinutesAboveSixtyOneSeconds) {
  EXPECT_EQ(valueText(60.5, false), "60.5s");
  EXPECT_EQ(valueText(61, false), "61.0s");
  EXPECT_EQ(valueText(61.04, false), "1.0min");
  EXPECT_EQ(valueText(61.5, false), "1.0min");
  EXPECT_EQ(valueText(90, false), "1.5min");
  EXPECT_EQ(valueText(120, false), "2.0min");
  EXPECT_EQ(valueText(150, false), "2.5min");
  // Plays are whole numbers, however many.
  EXPECT_EQ(valueText(7, true), "7");
  EXPECT_EQ(valueText(62, true), "62");
  EXPECT_EQ(percentText(12.34), "12.3%");
  EXPECT_EQ(percentText(62.5), "62.5%");
  EXPECT_EQ(countUpText(37), "37%");
}
