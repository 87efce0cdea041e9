#include "Foundation/NSDate.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "Foundation/RunLoop.h"

namespace ns {

std::string formatDate(double time, const std::string& pattern) {
  tzset();
  std::time_t t = static_cast<std::time_t>(std::floor(time));
  std::tm tm{};
  localtime_r(&t, &tm);
  std::string out;
  char buf[16];
  // Runs of the same pattern letter, as date formatters read them.
  for (size_t i = 0; i < pattern.size();) {
    char c = pattern[i];
    size_t n = 1;
    while (i + n < pattern.size() && pattern[i + n] == c) ++n;
    int value = -1;
    switch (c) {
      case 'y':
        value = tm.tm_year + 1900;
        break;
      case 'M':
        value = tm.tm_mon + 1;
        break;
      case 'd':
        value = tm.tm_mday;
        break;
      case 'H':
        value = tm.tm_hour;
        break;
      case 'm':
        value = tm.tm_min;
        break;
      case 's':
        value = tm.tm_sec;
        break;
      default:
        break;
    }
    if (value < 0) {
      out.append(n, c);
    } else {
      std::snprintf(buf, sizeof buf, "%0*d", static_cast<int>(n), value);
      out += buf;
    }
    i += n;
  }
  return out;
}

std::string currentDayKey() {
  return formatDate(currentTime(), "yyyy-MM-dd");
}

}  // namespace ns
