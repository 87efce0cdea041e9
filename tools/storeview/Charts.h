// Pictures of a period drawn with cairo and pango, as PNG or SVG: the year's
// calendar, a top list as bars and the time listened day by day (or week by
// week). Each is laid out in points; a PNG has `scale` pixels a point.
#pragma once

#include <string>

#include "Stats.h"

namespace corvane::storetool {

enum class ImageFormat { Png, Svg };

// The year's days in a week-by-weekday grid, shaded on a log scale of the
// minutes listened (so one long day does not wash out the rest).
std::string drawCalendar(const PeriodStats& stats, int year, ImageFormat format, double scale);

struct TopChart {
  Period period;
  Measure by = Measure::Time;
  Group group = Group::Song;
  int32_t recordedDays = 0;
  size_t heard = 0;
  double total = 0;
  std::vector<Tally> rows;
};
std::string drawTop(const TopChart& chart, ImageFormat format, double scale);

// Minutes a day, or per week, month or year as the period grows longer.
std::string drawDaily(const PeriodStats& stats, ImageFormat format, double scale);

// Where the charts put things, in points from the picture's top left, so a
// reader (or a test) can find a day's square or a bar.
struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
};
Rect calendarDayRect(int year, int32_t day);
// The bar of row `row` (best first); its width is proportional to the value.
Rect topBarRect(const TopChart& chart, size_t row);
// The bars of the daily chart: each bucket's first day, seconds and bar.
struct DailyBar {
  int32_t first = 0;
  double seconds = 0;
  Rect bar;
  bool partial = false;  // its week, month or year runs past the period (drawn paler)
};
std::vector<DailyBar> dailyBars(const PeriodStats& stats);

// Time as a person reads a total: "42.0s", "12 min", "3.5 h".
std::string durationText(double seconds);
// "Thu 2015-03-05".
std::string weekdayDayText(int32_t day);

// Days from 1970-01-01 of a year's first and last day.
Period yearPeriod(int year);
int yearOf(int32_t day);

}  // namespace corvane::storetool
