// The carousel's paging over the day list, as integers.
#include <gtest/gtest.h>

#include <cmath>

#include "core/CarouselPaging.h"

using namespace corvane::app;

namespace {
// "index page | previous current next" after labelling.
std::string describe(const std::vector<std::string>& days, const CarouselPosition& p) {
  auto labels = labelsAt(days, p);
  std::string s = std::to_string(p.index) + " " + std::to_string(p.currentPage) + " |";
  if (labels) s += " " + labels->previous + " " + labels->current + " " + labels->next;
  return s;
}
const std::vector<std::string> kFive = {"d0", "d1", "d2", "d3", "d4"};
}  // namespace

TEST(CarouselPaging, PagesWrapAroundThree) {
  EXPECT_EQ(wrapPage(-1), 2);
  EXPECT_EQ(wrapPage(3), 0);
  for (int p : {0, 1, 2}) EXPECT_EQ(wrapPage(p), p);
  CarouselPosition p{0, 0};
  EXPECT_EQ(p.previousPage(), 2);
  EXPECT_EQ(p.nextPage(), 1);
}

TEST(CarouselPaging, StartsOnTheNewestDayAndMovesBothWays) {
  CarouselPosition p = initialPosition(kFive.size());
  EXPECT_EQ(describe(kFive, p), "4 0 | d3 d4 d4");
  EXPECT_TRUE(flipBackward(p, kFive.size()));
  EXPECT_EQ(describe(kFive, p), "3 2 | d2 d3 d4");
  EXPECT_TRUE(flipForward(p, kFive.size()));
  EXPECT_EQ(describe(kFive, p), "4 0 | d3 d4 d4");
  // At the newest day a forward flip only turns the page.
  EXPECT_FALSE(flipForward(p, kFive.size()));
  EXPECT_EQ(describe(kFive, p), "4 1 | d3 d4 d4");
  // Down to the oldest day, where a backward flip only turns the page.
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(flipBackward(p, kFive.size()));
  EXPECT_EQ(describe(kFive, p), "0 0 | d0 d0 d1");
  EXPECT_FALSE(flipBackward(p, kFive.size()));
  EXPECT_EQ(describe(kFive, p), "0 2 | d0 d0 d1");
}

TEST(CarouselPaging, ASingleDayAndNoDayAtAll) {
  std::vector<std::string> one = {"d0"};
  CarouselPosition p = initialPosition(1);
  EXPECT_FALSE(flipForward(p, 1));
  EXPECT_FALSE(flipBackward(p, 1));
  EXPECT_FALSE(flipBackward(p, 1));
  EXPECT_EQ(describe(one, p), "0 2 | d0 d0 d0");
  CarouselPosition none = initialPosition(0);
  EXPECT_EQ(describe({}, none), "0 0 |");
  EXPECT_FALSE(flipForward(none, 0));
  EXPECT_EQ(none.index, 0);
}

TEST(CarouselPaging, FlipsAtTheOuterPagesOnly) {
  EXPECT_FALSE(flipsAtOffset(637.9, 320).forward);
  EXPECT_TRUE(flipsAtOffset(638.0, 320).forward);
  EXPECT_TRUE(flipsAtOffset(700, 320).forward);   // a bounce past the last page
  EXPECT_TRUE(flipsAtOffset(0.9, 320).backward);  // its integer part is 0
  EXPECT_FALSE(flipsAtOffset(1.0, 320).backward);
  EXPECT_TRUE(flipsAtOffset(-30, 320).backward);
  Flips middle = flipsAtOffset(320, 320);
  EXPECT_FALSE(middle.forward || middle.backward);
  Flips nan = flipsAtOffset(std::nan(""), 320);
  EXPECT_FALSE(nan.forward || nan.backward);
}
