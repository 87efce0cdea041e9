// The date carousel's paging as integer logic over the day list: three cards
// in rotation, a position (day index, current page), the labels each card
// gets and the page flips an offset of the scroll view means.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane::app {

constexpr int kCarouselPageCount = 3;

// -1 gives the last page, pageCount gives 0, any other page is unchanged
// (callers pass the current page plus or minus one).
int wrapPage(int page, int pageCount = kCarouselPageCount);

struct CarouselPosition {
  int index = 0;        // the day in the list the carousel stands on
  int currentPage = 0;  // the card (0..2) on the middle page
  int previousPage() const { return wrapPage(currentPage - 1); }
  int nextPage() const { return wrapPage(currentPage + 1); }
};

// Where a new carousel stands: on the newest day, page 0.
CarouselPosition initialPosition(size_t dayCount);

// What the cards show at a position: the current card's day (used only when
// its text is empty) and the days beside it, the day itself at either end.
// Nothing for an empty day list.
struct CarouselLabels {
  std::string current;
  std::string previous;
  std::string next;
};
std::optional<CarouselLabels> labelsAt(const std::vector<std::string>& days,
                                       const CarouselPosition& position);

// The flips an offset means: forward within 2 points of the right page,
// backward at the left page. x is the offset truncated toward zero.
struct Flips {
  bool forward = false;
  bool backward = false;
};
Flips flipsAtOffset(double offsetX, double pageWidth);

// A flip always rotates the page; the day moves only while there is one in
// that direction. Each returns whether the day moved.
bool flipForward(CarouselPosition& position, size_t dayCount);
bool flipBackward(CarouselPosition& position, size_t dayCount);

}  // namespace corvane::app
