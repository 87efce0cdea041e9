// Civil-calendar arithmetic on day numbers (the proleptic Gregorian calendar,
// as day keys name days).
#include <algorithm>
#include <cstdio>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"
#include "StoreTool.h"

namespace corvane::storetool {

namespace {

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Civil {
  int64_t y;
  unsigned m, d;
};

Civil civilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

unsigned monthLength(int64_t y, unsigned m) {
  static const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : lengths[m - 1];
}

}  // namespace

std::optional<int32_t> parseDay(const std::string& text) {
  if (!isDayKey(text)) return std::nullopt;
  const int y = std::stoi(text.substr(0, 4));
  const unsigned m = static_cast<unsigned>(std::stoi(text.substr(5, 2)));
  const unsigned d = static_cast<unsigned>(std::stoi(text.substr(8, 2)));
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > monthLength(y, m)) return std::nullopt;
  return static_cast<int32_t>(daysFromCivil(y, m, d));
}

std::string dayText(int32_t day) {
  const Civil c = civilFromDays(day);
  return ns::stringWithFormat("%04lld-%02u-%02u", static_cast<long long>(c.y), c.m, c.d);
}

int32_t monthsBefore(int32_t day, int months) {
  const Civil c = civilFromDays(day);
  int64_t index = c.y * 12 + (c.m - 1) - months;
  const int64_t y = index / 12;
  const unsigned m = static_cast<unsigned>(index % 12) + 1;
  const unsigned d = std::min(c.d, monthLength(y, m));
  return static_cast<int32_t>(daysFromCivil(y, m, d));
}

}  // namespace corvane::storetool
