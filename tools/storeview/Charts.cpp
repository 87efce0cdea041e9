#include "Charts.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "Foundation/TextValue.h"
#include "StoreTool.h"
#include "Table.h"

namespace corvane::storetool {

namespace {

// "1 recorded day" on a first day, not "1 recorded days".
std::string counted(int64_t n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

struct Colour {
  double r, g, b;
};

constexpr Colour kInk{0.12, 0.14, 0.16};
constexpr Colour kMuted{0.34, 0.38, 0.42};
constexpr Colour kGrid{0.88, 0.90, 0.92};
constexpr Colour kBar{0.18, 0.44, 0.69};
// The calendar: recorded days without music, and the scale's two ends.
constexpr Colour kNoMusic{0.92, 0.93, 0.94};
constexpr Colour kNotRecordedEdge{0.70, 0.72, 0.75};
constexpr Colour kLight{0.78, 0.86, 0.94};
constexpr Colour kDark{0.03, 0.19, 0.42};

// Families tried in order; pango asks fontconfig for any face that has a
// character these lack.
constexpr const char* kFamily = "DejaVu Sans, Nimbus Sans, Noto Sans, Noto Sans CJK JP, sans-serif";

Colour mix(Colour a, Colour b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void setColour(cairo_t* cr, Colour c) {
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void fill(cairo_t* cr, double x, double y, double w, double h, Colour c) {
  setColour(cr, c);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

enum class Align { Left, Centre, Right };

struct Font {
  double size = 12;
  bool bold = false;
  Colour colour = kInk;
};

// Sets one line of text with its top at y; x is its left edge, centre or
// right edge by align. A positive width cuts it with an ellipsis. Returns
// the width the text takes.
double text(cairo_t* cr, const std::string& s, double x, double y, Font font,
            Align align = Align::Left, double width = 0, bool draw = true) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout);
  PangoFontDescription* description = pango_font_description_from_string(kFamily);
  pango_font_description_set_absolute_size(description, font.size * PANGO_SCALE);
  pango_font_description_set_weight(description,
                                    font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  const std::string valid = validUtf8(s);
  pango_layout_set_single_paragraph_mode(layout, true);
  pango_layout_set_text(layout, valid.c_str(), -1);
  if (width > 0) {
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  }
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  const double w = static_cast<double>(logical.width) / PANGO_SCALE;
  double left = x;
  if (align == Align::Centre) left = x - w / 2;
  if (align == Align::Right) left = x - w;
  if (width > 0) left -= static_cast<double>(logical.x) / PANGO_SCALE;
  if (draw) {
    setColour(cr, font.colour);
    cairo_move_to(cr, left, y);
    pango_cairo_show_layout(cr, layout);
  }
  g_object_unref(layout);
  return w;
}

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The picture's bytes: draw paints width x height points on white.
std::string render(ImageFormat format, double width, double height, double scale,
                   const std::function<void(cairo_t*)>& draw) {
  std::string bytes;
  cairo_surface_t* surface =
      format == ImageFormat::Svg
          ? cairo_svg_surface_create_for_stream(appendTo, &bytes, width, height)
          : cairo_image_surface_create(CAIRO_FORMAT_RGB24,
                                       static_cast<int>(std::ceil(width * scale)),
                                       static_cast<int>(std::ceil(height * scale)));
  if (format == ImageFormat::Svg) cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
  cairo_t* cr = cairo_create(surface);
  if (format == ImageFormat::Png) cairo_scale(cr, scale, scale);
  fill(cr, 0, 0, width, height, {1, 1, 1});
  draw(cr);
  cairo_destroy(cr);
  if (format == ImageFormat::Png) cairo_surface_write_to_png_stream(surface, appendTo, &bytes);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(std::string("cannot draw the chart: ") +
                             cairo_status_to_string(status));
  return bytes;
}

// A message across an empty chart's plot, on a white box.
void emptyNote(cairo_t* cr, const std::string& message, double centreX, double centreY) {
  const Font font{15, true, kMuted};
  const double w = text(cr, message, 0, 0, font, Align::Left, 0, false) + 32;
  fill(cr, centreX - w / 2, centreY - 18, w, 36, {1, 1, 1});
  text(cr, message, centreX, centreY - 10, font, Align::Centre);
}

int monthOf(int32_t day) {
  return std::stoi(dayText(day).substr(5, 2));
}

int dayOfMonth(int32_t day) {
  return std::stoi(dayText(day).substr(8, 2));
}

// Monday 0 to Sunday 6; 1970-01-01 was a Thursday.
int weekday(int32_t day) {
  return ((day + 3) % 7 + 7) % 7;
}

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string groupedNumber(double v) {
  std::string digits = ns::stringWithFormat("%.0f", v);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

}  // namespace

std::string durationText(double seconds) {
  if (seconds <= 61) return valueText(seconds, Measure::Time);
  if (seconds < 3600) return ns::stringWithFormat("%.0f min", seconds / 60);
  return ns::stringWithFormat("%.1f h", seconds / 3600);
}

std::string weekdayDayText(int32_t day) {
  static const char* names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  return std::string(names[weekday(day)]) + " " + dayText(day);
}

Period yearPeriod(int year) {
  const int32_t first = *parseDay(ns::stringWithFormat("%04d-01-01", year));
  return {first, *parseDay(ns::stringWithFormat("%04d-12-31", year))};
}

int yearOf(int32_t day) {
  return std::stoi(dayText(day).substr(0, 4));
}

namespace {

constexpr double kCalMargin = 20, kCell = 12, kPitch = 15, kCalLabelWidth = 34, kGridTop = 84;
constexpr double kGridLeft = kCalMargin + kCalLabelWidth;

}  // namespace

Rect calendarDayRect(int year, int32_t day) {
  const Period days = yearPeriod(year);
  const int32_t firstMonday = days.from - weekday(days.from);
  return {kGridLeft + (day - firstMonday) / 7 * kPitch, kGridTop + weekday(day) * kPitch, kCell,
          kCell};
}

std::string drawCalendar(const PeriodStats& stats, int year, ImageFormat format, double scale) {
  const Period days = yearPeriod(year);
  const int32_t firstMonday = days.from - weekday(days.from);
  const int columns = (days.to - firstMonday) / 7 + 1;
  constexpr double margin = kCalMargin, cell = kCell, pitch = kPitch, gridTop = kGridTop;
  const double gridLeft = kGridLeft;
  const double width = gridLeft + columns * pitch - (pitch - cell) + margin;
  const double gridBottom = gridTop + 7 * pitch - (pitch - cell);
  const double height = gridBottom + 22 + cell + margin;

  double total = 0, busiest = 0;
  int32_t busiestDay = 0, musicDays = 0;
  for (auto& [day, seconds] : stats.daySeconds) {
    total += seconds;
    if (seconds > 0) ++musicDays;
    if (seconds > busiest) busiest = seconds, busiestDay = day;
  }
  // Log scale of minutes: t = log(1 + m) / log(1 + busiest m).
  const double top = std::log1p(busiest / 60);
  auto shade = [&](double seconds) {
    return mix(kLight, kDark, top > 0 ? std::clamp(std::log1p(seconds / 60) / top, 0.0, 1.0) : 1);
  };

  return render(format, width, height, scale, [&](cairo_t* cr) {
    text(cr, std::to_string(year), margin, 14, {18, true});
    std::string summary =
        busiest > 0 ? durationText(total) + " listened on " + std::to_string(musicDays) + " of " +
                          counted(stats.recordedDays, "recorded day") + " \u00b7 busiest day " +
                          weekdayDayText(busiestDay) + ": " + durationText(busiest)
                    : counted(stats.recordedDays, "recorded day");
    text(cr, summary, margin + 60, 19, {12, false, kMuted}, Align::Left, width - margin * 2 - 60);

    for (int m = 1; m <= 12; ++m) {
      const int32_t first = *parseDay(ns::stringWithFormat("%04d-%02d-01", year, m));
      text(cr, kMonths[m - 1], gridLeft + (first - firstMonday) / 7 * pitch, gridTop - 18,
           {10, false, kMuted});
    }
    for (int w : {0, 2, 4})
      text(cr, std::string(weekdayDayText(firstMonday + w), 0, 3), margin, gridTop + w * pitch - 1,
           {10, false, kMuted});

    cairo_set_line_width(cr, 1);
    for (int32_t d = days.from; d <= days.to; ++d) {
      const Rect r = calendarDayRect(year, d);
      const double x = r.x, y = r.y;
      auto it = stats.daySeconds.find(d);
      if (it == stats.daySeconds.end()) {
        // Not recorded: an outline only.
        setColour(cr, kNotRecordedEdge);
        cairo_rectangle(cr, x + 0.5, y + 0.5, cell - 1, cell - 1);
        cairo_stroke(cr);
      } else {
        fill(cr, x, y, cell, cell, it->second > 0 ? shade(it->second) : kNoMusic);
      }
    }

    // The legend: the scale's steps, then the two kinds of day without music.
    double x = gridLeft;
    const double y = gridBottom + 22;
    x += text(cr, "Time a day (log scale):", x, y - 1, {10, false, kMuted}) + 12;
    const int steps = busiest > 0 ? 5 : 0;
    for (int k = 0; k < steps; ++k) {
      const double minutes = std::expm1(top * (k + 1) / steps);
      fill(cr, x, y, cell, cell, shade(minutes * 60));
      x += cell + 4;
      x += text(cr, durationText(minutes * 60), x, y - 1, {10, false, kMuted}) + 12;
    }
    fill(cr, x, y, cell, cell, kNoMusic);
    x += cell + 4;
    x += text(cr, "no music", x, y - 1, {10, false, kMuted}) + 12;
    setColour(cr, kNotRecordedEdge);
    cairo_rectangle(cr, x + 0.5, y + 0.5, cell - 1, cell - 1);
    cairo_stroke(cr);
    text(cr, "not recorded", x + cell + 4, y - 1, {10, false, kMuted});

    if (stats.recordedDays == 0)
      emptyNote(cr, "Nothing was recorded in " + std::to_string(year), width / 2,
                (gridTop + gridBottom) / 2);
    else if (busiest <= 0)
      emptyNote(cr, "No music in " + std::to_string(year), width / 2, (gridTop + gridBottom) / 2);
  });
}

namespace {

constexpr double kTopWidth = 760, kTopMargin = 20, kRowTop = 74, kRowHeight = 26;
constexpr double kBarLeft = 312, kBarWidth = 280;

}  // namespace

Rect topBarRect(const TopChart& chart, size_t row) {
  const double best = chart.rows.empty() ? 0 : chart.rows.front().value(chart.by);
  const double value = row < chart.rows.size() ? chart.rows[row].value(chart.by) : 0;
  return {kBarLeft, kRowTop + static_cast<double>(row) * kRowHeight + 1,
          best > 0 ? value / best * kBarWidth : 0, kRowHeight - 10};
}

std::string drawTop(const TopChart& chart, ImageFormat format, double scale) {
  constexpr double width = kTopWidth, margin = kTopMargin, rowTop = kRowTop, rowHeight = kRowHeight;
  constexpr double labelLeft = 52, labelWidth = 250;
  constexpr double valueRight = 688, shareRight = width - margin;
  const size_t rows = std::max<size_t>(chart.rows.size(), 3);
  const double height = rowTop + rows * rowHeight + margin;
  const bool songs = chart.group == Group::Song;

  return render(format, width, height, scale, [&](cairo_t* cr) {
    text(cr,
         std::string("Top ") + (songs ? "songs" : "records") + " by " +
             (chart.by == Measure::Time ? "time" : "plays"),
         margin, 14, {16, true});
    text(cr,
         dayText(chart.period.from) + " to " + dayText(chart.period.to) + " \u00b7 " +
             counted(chart.recordedDays, "recorded day") + " \u00b7 " +
             groupedNumber(static_cast<double>(chart.heard)) +
             (chart.heard == 1 ? (songs ? " song" : " record") : (songs ? " songs" : " records")) +
             " heard",
         margin, 40, {12, false, kMuted}, Align::Left, width - 2 * margin);
    if (chart.rows.empty()) {
      emptyNote(cr, "Nothing was played in this period", width / 2, rowTop + 1.5 * rowHeight);
      return;
    }
    for (size_t i = 0; i < chart.rows.size(); ++i) {
      const Tally& t = chart.rows[i];
      const double y = rowTop + static_cast<double>(i) * rowHeight;
      if (i % 2 == 0)
        fill(cr, margin - 6, y - 4, width - 2 * margin + 12, rowHeight, {0.97, 0.975, 0.98});
      text(cr, std::to_string(i + 1), labelLeft - 10, y, {12, false, kMuted}, Align::Right);
      text(cr, oneLine(t.label), labelLeft, y, {12}, Align::Left, labelWidth);
      const Rect bar = topBarRect(chart, i);
      fill(cr, bar.x, bar.y, bar.width, bar.height, kBar);
      text(cr, valueText(t.value(chart.by), chart.by), valueRight, y, {12, true}, Align::Right);
      text(cr, shareText(t.value(chart.by), chart.total), shareRight, y, {12, false, kMuted},
           Align::Right);
    }
  });
}

namespace {

enum class Step { Day, Week, Month, Year };

constexpr double kDailyWidth = 800, kDailyHeight = 312, kPlotLeft = 64, kPlotRight = 780,
                 kPlotTop = 86, kPlotBottom = 280;

// The buckets of the daily chart and its axis: about five round ticks.
struct DailyLayout {
  Step step = Step::Day;
  std::vector<std::pair<int32_t, double>> buckets;  // first day, seconds; in order
  double total = 0, unit = 60, tick = 1, axisTop = 1;
  bool hours = false;
  bool firstPartial = false, lastPartial = false;
};

DailyLayout dailyLayout(const PeriodStats& stats) {
  DailyLayout l;
  const Period p = stats.period;
  const int64_t length = static_cast<int64_t>(p.to) - p.from + 1;
  l.step = length <= 92         ? Step::Day
           : length <= 3 * 366  ? Step::Week
           : length <= 30 * 366 ? Step::Month
                                : Step::Year;
  auto bucketStart = [&](int32_t d) -> int32_t {
    switch (l.step) {
      case Step::Day:
        return d;
      case Step::Week:
        return d - weekday(d);
      case Step::Month:
        return d - dayOfMonth(d) + 1;
      case Step::Year:
        return yearPeriod(yearOf(d)).from;
    }
    return d;
  };
  // Months and years step by the calendar (never through a year past 9999's
  // text, which no day key can name).
  int32_t d = bucketStart(p.from);
  l.firstPartial = d < p.from;
  while (d <= p.to) {
    l.buckets.emplace_back(d, 0);
    switch (l.step) {
      case Step::Day:
        d += 1;
        break;
      case Step::Week:
        d += 7;
        break;
      case Step::Month:
        d = monthsBefore(d, -1);
        break;
      case Step::Year:
        d = monthsBefore(d, -12);
        break;
    }
  }
  l.lastPartial = d - 1 > p.to;
  for (auto& [day, seconds] : stats.daySeconds) {
    const int32_t start = bucketStart(day);
    auto it = std::upper_bound(l.buckets.begin(), l.buckets.end(), start,
                               [](int32_t s, const auto& b) { return s < b.first; });
    if (it != l.buckets.begin()) std::prev(it)->second += seconds;
    l.total += seconds;
  }
  double most = 0;
  for (auto& b : l.buckets) most = std::max(most, b.second);
  l.hours = most > 3 * 3600;
  l.unit = l.hours ? 3600 : 60;
  // A round step of 1, 2 or 5 times a power of ten.
  if (most > 0) {
    const double raw = most / l.unit / 5;
    const double power = std::pow(10, std::floor(std::log10(raw)));
    const double r = raw / power;
    l.tick = r <= 1 ? power : r <= 2 ? 2 * power : r <= 5 ? 5 * power : 10 * power;
  }
  l.axisTop = std::max(l.tick, std::ceil(most / l.unit / l.tick) * l.tick);
  return l;
}

std::vector<DailyBar> barsOf(const DailyLayout& l) {
  std::vector<DailyBar> bars;
  const double pitch =
      (kPlotRight - kPlotLeft) / static_cast<double>(std::max<size_t>(l.buckets.size(), 1));
  for (size_t i = 0; i < l.buckets.size(); ++i) {
    const auto& [day, seconds] = l.buckets[i];
    const double x = kPlotLeft + static_cast<double>(i) * pitch;
    const double h = seconds / l.unit / l.axisTop * (kPlotBottom - kPlotTop);
    // A few days' bars stay bars, not walls.
    const double w = std::clamp(pitch * 0.8, 0.5, 36.0);
    const bool partial = (i == 0 && l.firstPartial) || (i + 1 == l.buckets.size() && l.lastPartial);
    bars.push_back({day, seconds, {x + (pitch - w) / 2, kPlotBottom - h, w, h}, partial});
  }
  return bars;
}

}  // namespace

std::vector<DailyBar> dailyBars(const PeriodStats& stats) {
  return barsOf(dailyLayout(stats));
}

std::string drawDaily(const PeriodStats& stats, ImageFormat format, double scale) {
  const Period p = stats.period;
  const DailyLayout layout = dailyLayout(stats);
  const std::vector<DailyBar> bars = barsOf(layout);
  const Step step = layout.step;
  const double total = layout.total, tick = layout.tick, axisTop = layout.axisTop;
  const bool hours = layout.hours;
  constexpr double width = kDailyWidth, height = kDailyHeight, left = kPlotLeft, right = kPlotRight,
                   top = kPlotTop, bottom = kPlotBottom;
  const char* per = step == Step::Day     ? "day"
                    : step == Step::Week  ? "week"
                    : step == Step::Month ? "month"
                                          : "year";
  return render(format, width, height, scale, [&](cairo_t* cr) {
    text(cr, std::string("Listening per ") + per, 20, 14, {16, true});
    text(cr,
         dayText(p.from) + " to " + dayText(p.to) + " \u00b7 " + durationText(total) + " on " +
             counted(stats.recordedDays, "recorded day"),
         20, 40, {12, false, kMuted}, Align::Left, width - 40);
    text(cr, hours ? "hours" : "minutes", left - 8, top - 20, {10, false, kMuted}, Align::Right);
    // A first or last week that is only partly in the period is not a low week.
    if (total > 0 && (layout.firstPartial || layout.lastPartial))
      text(cr, std::string("paler: only part of the ") + per + " is in the period", right, top - 20,
           {10, false, kMuted}, Align::Right);
    cairo_set_line_width(cr, 1);
    for (double v = 0; v <= axisTop + tick / 2; v += tick) {
      const double y = std::round(bottom - v / axisTop * (bottom - top)) + 0.5;
      setColour(cr, v == 0 ? kMuted : kGrid);
      cairo_move_to(cr, left, y);
      cairo_line_to(cr, right, y);
      cairo_stroke(cr);
      text(cr, ns::stringWithFormat(tick < 1 ? "%.1f" : "%.0f", v), left - 8, y - 7,
           {10, false, kMuted}, Align::Right);
    }
    double lastLabelEnd = -1e9;
    int lastMonth = -1;
    const double pitch = (right - left) / static_cast<double>(std::max<size_t>(bars.size(), 1));
    // Weeks and months are labelled every `every` months, as often as the
    // labels have room; January carries the year, or alone is the year.
    int every = 1;
    if (step == Step::Week || step == Step::Month)
      for (int months : {1, 2, 3, 6, 12})
        if ((every = months) * pitch * (step == Step::Week ? 30.44 / 7 : 1) >= 36) break;
    for (const DailyBar& b : bars) {
      const int32_t day = b.first;
      const double x = b.bar.x;
      if (b.bar.height > 0)
        fill(cr, b.bar.x, b.bar.y, b.bar.width, b.bar.height,
             b.partial ? mix(kBar, {1, 1, 1}, 0.45) : kBar);
      // Labels where they fit: days by date, weeks by month, months and
      // years by name.
      std::string label;
      if (step == Step::Day)
        label = std::string(kMonths[monthOf(day) - 1]) + " " + std::to_string(dayOfMonth(day));
      else if (step == Step::Week || step == Step::Month) {
        const int32_t shown = std::max(day, p.from);
        const int month = monthOf(shown);
        const std::string year = std::to_string(yearOf(shown));
        if (month != lastMonth && (lastMonth < 0 || (month - 1) % every == 0))
          label = every == 12                   ? year
                  : month == 1 || lastMonth < 0 ? std::string(kMonths[month - 1]) + " " + year
                                                : kMonths[month - 1];
        lastMonth = month;
      } else {
        label = std::to_string(yearOf(day));
      }
      if (label.empty()) continue;
      // A day's or year's label sits under its bar when there is room; a
      // month's marks where the month starts.
      const Font font{10, false, kMuted};
      const double w = text(cr, label, 0, 0, font, Align::Left, 0, false);
      const bool under = (step == Step::Day || step == Step::Year) && w + 8 <= pitch;
      const double mark = under ? b.bar.x + b.bar.width / 2 : x;
      const double start = under ? mark - w / 2 : x;
      if (start < lastLabelEnd + 8) continue;
      text(cr, label, start, bottom + 6, font);
      lastLabelEnd = start + w;
      setColour(cr, kMuted);
      cairo_move_to(cr, std::round(mark) + 0.5, bottom);
      cairo_line_to(cr, std::round(mark) + 0.5, bottom + 4);
      cairo_stroke(cr);
    }
    if (total <= 0)
      emptyNote(
          cr,
          stats.recordedDays ? "No music in this period" : "Nothing was recorded in this period",
          (left + right) / 2, (top + bottom) / 2);
  });
}

}  // namespace corvane::storetool
