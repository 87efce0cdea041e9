#include "Report.h"

#include <algorithm>
#include <cmath>

#include "Charts.h"
#include "Commands.h"
#include "Foundation/TextValue.h"
#include "Stats.h"
#include "StoreTool.h"
#include "Table.h"

namespace corvane::storetool {

namespace {

// Small, print-friendly, and only the reader's own fonts. The markup is also
// well-formed XML, so it can be checked with an XML parser.
constexpr const char* kStyle = R"(
:root { color: #1f2429; background: #fff; }
body { margin: 0; font: 15px/1.45 "DejaVu Sans", "Nimbus Sans", Helvetica, Arial, sans-serif; }
main { max-width: 1160px; margin: 0 auto; padding: 24px 28px 40px; }
h1 { font-size: 30px; margin: 0 0 2px; }
h2 { font-size: 19px; margin: 28px 0 10px; padding-bottom: 4px; border-bottom: 1px solid #dde1e5; }
h3 { font-size: 15px; margin: 0 0 6px; color: #4a535c; }
.period, .note { color: #56606a; }
.totals { display: flex; flex-wrap: wrap; gap: 12px; margin: 18px 0 0; padding: 0; }
.totals div { flex: 1 1 150px; border: 1px solid #dde1e5; border-radius: 6px; padding: 10px 14px; }
.totals dt { font-size: 13px; color: #56606a; }
.totals dd { margin: 2px 0 0; font-size: 24px; font-weight: bold; }
figure { margin: 0; }
figure svg { display: block; max-width: 100%; height: auto; }
.highlights p { margin: 6px 0; }
.pair { display: flex; flex-wrap: wrap; gap: 28px; }
.pair > div { flex: 1 1 480px; min-width: 0; }
table { width: 100%; border-collapse: collapse; font-size: 14px; }
th { text-align: left; font-size: 12px; color: #56606a; font-weight: normal; border-bottom: 1px solid #dde1e5; }
td, th { padding: 3px 6px; vertical-align: top; }
tr + tr td { border-top: 1px solid #f0f2f4; }
td.n, th.n { text-align: right; white-space: nowrap; font-variant-numeric: tabular-nums; }
td.name { overflow-wrap: anywhere; }
td.bar { width: 22%; vertical-align: middle; }
td.bar span { display: block; height: 10px; min-width: 2px; background: #d9822b; border-radius: 2px; }
@media print {
  body { font-size: 10pt; }
  main { max-width: none; padding: 0; }
  h2 { break-after: avoid; }
  section, tr { break-inside: avoid; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

constexpr size_t kTopRows = 10;

// The longest run of consecutive days with music; the earliest of equal runs.
struct Streak {
  int32_t from = 0, to = -1;
  int32_t length() const { return to - from + 1; }
};

Streak longestStreak(const std::map<int32_t, double>& daySeconds) {
  Streak best, run;
  for (auto& [day, seconds] : daySeconds) {
    if (!(seconds > 0)) continue;
    if (run.length() > 0 && day == run.to + 1)
      run.to = day;
    else
      run = {day, day};
    if (run.length() > best.length()) best = run;
  }
  return best;
}

std::string figure(const std::string& label, const std::string& value) {
  return "<div><dt>" + htmlText(label) + "</dt><dd>" + htmlText(value) + "</dd></div>\n";
}

std::string number(double v) {
  return ns::stringWithFormat("%.0f", v);
}

// One ranking as a table: rank, name, a bar for the share, value, share, days.
std::string topTable(const char* heading, const char* nameHeading, const std::vector<Tally>& all,
                     Measure by) {
  double total = 0;
  std::vector<Tally> rows = ranked(all, by, kTopRows, &total);
  std::string html = "<div>\n<h3>" + htmlText(heading) + "</h3>\n";
  if (rows.empty()) return html + "<p class=\"note\">Nothing to rank.</p>\n</div>\n";
  const char* measure = by == Measure::Time ? "time" : "plays";
  html += std::string("<table>\n<thead><tr><th class=\"n\">#</th><th>") + nameHeading +
          "</th><th></th><th class=\"n\">" + measure +
          "</th><th class=\"n\">share</th><th class=\"n\">days</th></tr></thead>\n<tbody>\n";
  const double best = rows.front().value(by);
  for (size_t i = 0; i < rows.size(); ++i) {
    const Tally& t = rows[i];
    const double v = t.value(by);
    html += "<tr><td class=\"n\">" + std::to_string(i + 1) + "</td><td class=\"name\">" +
            htmlText(t.label) + "</td><td class=\"bar\"><span style=\"width:" +
            ns::stringWithFormat("%.1f", 100 * v / best) + "%\"></span></td><td class=\"n\">" +
            htmlText(valueText(v, by)) + "</td><td class=\"n\">" + htmlText(shareText(v, total)) +
            "</td><td class=\"n\">" + std::to_string(t.days) + "</td></tr>\n";
  }
  return html + "</tbody>\n</table>\n</div>\n";
}

// The calendar's SVG for inlining: without its XML prolog, and named for
// screen readers.
std::string inlineCalendar(const PeriodStats& stats, int year) {
  std::string svg = drawCalendar(stats, year, ImageFormat::Svg, 1);
  if (svg.rfind("<?xml", 0) == 0) svg.erase(0, svg.find("?>") + 2);
  svg.erase(0, svg.find_first_not_of("\r\n"));
  if (svg.rfind("<svg", 0) == 0)
    svg.insert(4, " role=\"img\" aria-label=\"Minutes listened each day of " +
                      std::to_string(year) + "\"");
  return svg;
}

}  // namespace

std::string htmlText(const std::string& text) {
  const std::string clean = oneLine(validUtf8(text));
  std::string out;
  out.reserve(clean.size() + 16);
  for (size_t i = 0; i < clean.size(); ++i) {
    const char c = clean[i];
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        // U+FFFE and U+FFFF are no XML characters.
        if (c == '\xEF' && clean.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < clean.size() &&
            (clean[i + 2] == '\xBE' || clean[i + 2] == '\xBF')) {
          out += "\uFFFD";
          i += 2;
        } else {
          out += c;
        }
    }
  }
  return out;
}

int writeReport(int year, const std::vector<RecordedDay>& days, std::FILE* out,
                Reporter& reporter) {
  const Period period = yearPeriod(year);
  PeriodStats stats = gatherStats(period, days, {true, true, true}, reporter);
  const std::string yearText = std::to_string(year);

  double seconds = 0, plays = 0;
  int32_t musicDays = 0;
  for (auto& [day, s] : stats.daySeconds)
    if (s > 0) seconds += s, ++musicDays;
  size_t heard = 0;
  for (const Tally& t : stats.songs) {
    if (t.plays > 0) plays += t.plays;
    if (t.seconds > 0 || t.plays > 0) ++heard;
  }

  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n"
      "<title>" +
      yearText + " in review</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<main>\n";
  html += "<header>\n<h1>" + yearText + " in review</h1>\n<p class=\"period\">" +
          weekdayDayText(period.from) + " to " + weekdayDayText(period.to) + "</p>\n</header>\n";

  if (days.empty()) {
    html += "<p class=\"note\">The store holds no recorded day yet.</p>\n";
  } else if (stats.recordedDays == 0) {
    html += "<p class=\"note\">No day of " + yearText + " was recorded.</p>\n";
  } else if (!(seconds > 0) && !(plays > 0)) {
    html += "<p class=\"note\">No music was played in " + yearText + " (" +
            std::to_string(stats.recordedDays) +
            (stats.recordedDays == 1 ? " recorded day).</p>\n" : " recorded days).</p>\n");
  } else {
    html += "<dl class=\"totals\">\n" + figure("Time listened", durationText(seconds)) +
            figure("Plays", number(plays)) + figure("Songs heard", std::to_string(heard)) +
            figure("Days with music, of days recorded",
                   std::to_string(musicDays) + " of " + std::to_string(stats.recordedDays)) +
            "</dl>\n";

    html += "<section>\n<h2>Day by day</h2>\n<figure>\n" + inlineCalendar(stats, year) +
            "\n</figure>\n</section>\n";

    html += "<section class=\"highlights\">\n<h2>Highlights</h2>\n";
    const Streak streak = longestStreak(stats.daySeconds);
    if (streak.length() > 0)
      html += "<p>Longest streak: <strong>" + std::to_string(streak.length()) +
              (streak.length() == 1 ? " day" : " days") + "</strong> with music, " +
              weekdayDayText(streak.from) + " to " + weekdayDayText(streak.to) + ".</p>\n";
    const PeriodStats::Repeat& repeat = stats.mostRepeated;
    if (repeat.number >= 0)
      html += "<p>Most repeated in one day: <strong>" + htmlText(repeat.title) + "</strong>, " +
              number(repeat.plays) + (repeat.plays == 1 ? " play" : " plays") + " on " +
              weekdayDayText(repeat.day) + ".</p>\n";
    html += "</section>\n";

    html += "<section>\n<h2>Top songs</h2>\n<div class=\"pair\">\n" +
            topTable("By time", "title", stats.songs, Measure::Time) +
            topTable("By plays", "title", stats.songs, Measure::Plays) + "</div>\n</section>\n";
    html += "<section>\n<h2>Top records</h2>\n<div class=\"pair\">\n" +
            topTable("By time", "artist-album", stats.records, Measure::Time) +
            topTable("By plays", "artist-album", stats.records, Measure::Plays) +
            "</div>\n</section>\n";
  }
  html += "</main>\n</body>\n</html>\n";
  std::fwrite(html.data(), 1, html.size(), out);
  return 0;
}

}  // namespace corvane::storetool
