#include "CarouselPaging.h"

#include <cmath>

namespace corvane::app {

int wrapPage(int page, int pageCount) {
  if (page == -1) return pageCount - 1;
  if (page == pageCount) return 0;
  return page;
}

CarouselPosition initialPosition(size_t dayCount) {
  CarouselPosition p;
  p.index = dayCount > 0 ? static_cast<int>(dayCount) - 1 : 0;
  return p;
}

std::optional<CarouselLabels> labelsAt(const std::vector<std::string>& days,
                                       const CarouselPosition& position) {
  long n = static_cast<long>(days.size());
  long i = position.index;
  if (i < 0 || i >= n) return std::nullopt;
  CarouselLabels labels;
  labels.current = days[i];
  labels.previous = i - 1 >= 0 ? days[i - 1] : days[i];
  labels.next = i + 1 < n ? days[i + 1] : days[i];
  return labels;
}

Flips flipsAtOffset(double offsetX, double pageWidth) {
  Flips flips;
  if (!std::isfinite(offsetX) || !std::isfinite(pageWidth)) return flips;
  // Truncation toward zero as an integer conversion does; offsets beyond
  // the integer range cannot happen on a three-page strip.
  long x = static_cast<long>(offsetX);
  flips.forward = static_cast<double>(x) >= 2 * pageWidth - 2;
  flips.backward = x <= 0;
  return flips;
}

bool flipForward(CarouselPosition& position, size_t dayCount) {
  position.currentPage = wrapPage(position.currentPage + 1);
  if (static_cast<size_t>(position.index) + 1 < dayCount) {
    ++position.index;
    return true;
  }
  return false;
}

bool flipBackward(CarouselPosition& position, size_t) {
  position.currentPage = wrapPage(position.currentPage - 1);
  if (position.index - 1 >= 0) {
    --position.index;
    return true;
  }
  return false;
}

}  // namespace corvane::app
