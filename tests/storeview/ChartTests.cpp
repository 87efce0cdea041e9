// `chart`: the pictures read back pixel by pixel where a value decides a
// pixel, at the places the charts' own geometry names.
#include <cairo.h>
#include <expat.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "Charts.h"
#include "StoreTool.h"
#include "StoreToolFixture.h"

namespace {

using corvane::storetool::calendarDayRect;
using corvane::storetool::dayText;
using corvane::storetool::parseDay;
using corvane::storetool::Rect;

int32_t dayNumber(const char* key) {
  return *parseDay(key);
}

struct Pixel {
  int r = 0, g = 0, b = 0;
  int lum() const { return (r * 3 + g * 6 + b) / 10; }
  bool blue() const { return b - r > 25; }  // the bars and the calendar's shades
  bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Pixel& p) {
  return os << "rgb(" << p.r << "," << p.g << "," << p.b << ")";
}

// A PNG read back; at() takes points, as the geometry gives them.
class Image {
 public:
  Image(const std::string& path, double scale)
      : surface_(cairo_image_surface_create_from_png(path.c_str())), scale_(scale) {}
  ~Image() { cairo_surface_destroy(surface_); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface_); }
  int height() const { return cairo_image_surface_get_height(surface_); }
  Pixel px(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return {-1, -1, -1};
    uint32_t v;
    std::memcpy(&v,
                cairo_image_surface_get_data(surface_) +
                    static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(surface_) + x * 4,
                4);
    return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
            static_cast<int>(v & 0xFF)};
  }
  Pixel at(double x, double y) const { return px(pixel(x), pixel(y)); }
  Pixel centre(const Rect& r) const { return at(r.x + r.width / 2, r.y + r.height / 2); }
  int pixel(double points) const { return static_cast<int>(std::floor(points * scale_)); }

  // Text of an empty chart's note: dark pixels in the middle of the picture
  // other than bars, where a chart with music draws none.
  int darkInTheMiddle() const {
    int n = 0;
    for (int y = height() * 35 / 100; y < height() * 7 / 10; ++y)
      for (int x = width() * 3 / 10; x < width() * 7 / 10; ++x)
        n += px(x, y).lum() < 140 && !px(x, y).blue();
    return n;
  }

 private:
  cairo_surface_t* surface_;
  double scale_;
};

class ChartTest : public StoreToolTest {
 protected:
  // 2015-03: 900 s, the busiest day's 9000 s, 60 s, a recorded day without
  // music, a listed day whose day files are gone, and a day not listed.
  // False when python3 is missing.
  bool writeMarch() {
    int status = 0;
    std::string out = writeWithPlistlib(
        "put('DateArray.plist', ['2015-03-01', '2015-03-02', '2015-03-03', '2015-03-04',\n"
        "                        '2015-03-05'])\n"
        "put('IntMusicData.plist', {'0': 'Tom & \"Jerry\" <Live>', '1': 'Beta', '2': 'Gamma'})\n"
        "days = {'2015-03-01': {'0': (600, 2), '1': (300, 1)},\n"
        "        '2015-03-02': {'0': (7200, 5), '2': (1800, 3)},\n"
        "        '2015-03-03': {'1': (60, 1)},\n"
        "        '2015-03-04': {}}\n"
        "for key, songs in days.items():\n"
        "    d = 'EverydayData/' + key + '/'\n"
        "    put(d + 'MusicTime.plist', {n: str(s) for n, (s, p) in songs.items()})\n"
        "    put(d + 'MusicNumber.plist', {n: str(p) for n, (s, p) in songs.items()})\n"
        "    put(d + 'MusicAlbum.plist', {n: 'A-X' for n in songs})\n"
        "os.makedirs(root + 'EverydayData/2015-03-05')\n",
        &status);
    if (status == 127) return false;
    EXPECT_EQ(status, 0) << out;
    return true;
  }

  std::string file(const std::string& name) { return root.path() + "/" + name; }

  // Runs the chart command; the picture is `name` in the test's root.
  ToolRun chart(const std::string& args, const std::string& name) {
    return tool("chart " + args + " --out '" + file(name) + "'");
  }

  // "" when the file is well-formed XML, else expat's complaint.
  static std::string xmlError(const std::string& text) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    std::string error;
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_ERROR)
      error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
    return error;
  }
};

TEST_F(ChartTest, CalendarShadesByTimeAndTellsADayWithoutMusicFromOneNotRecorded) {
  if (!writeMarch()) GTEST_SKIP() << "python3 missing";
  ToolRun r = chart("calendar --year 2015 --scale 2", "cal.png");
  ASSERT_EQ(r.status, 0) << r.err;
  // The listed day whose files are gone is said, and drawn as not recorded.
  EXPECT_EQ(r.err, "corvane-store: skipped " + root.host(corvane::musicTimePath("2015-03-05")) +
                       ": missing\n");
  Image image(file("cal.png"), 2);
  ASSERT_TRUE(image.ok());
  auto square = [&](const char* key) {
    return image.centre(calendarDayRect(2015, dayNumber(key)));
  };

  // The busiest day is the darkest square of the year.
  int32_t darkest = 0;
  int darkestLum = 256;
  for (int32_t d = dayNumber("2015-01-01"); d <= dayNumber("2015-12-31"); ++d) {
    const int lum = image.centre(calendarDayRect(2015, d)).lum();
    if (lum < darkestLum) darkestLum = lum, darkest = d;
  }
  EXPECT_EQ(darkest, dayNumber("2015-03-02"));
  // More time, darker; every day with music is a shade of blue.
  EXPECT_LT(square("2015-03-02").lum(), square("2015-03-01").lum());
  EXPECT_LT(square("2015-03-01").lum(), square("2015-03-03").lum());
  for (const char* key : {"2015-03-01", "2015-03-02", "2015-03-03"})
    EXPECT_TRUE(square(key).blue()) << key << " " << square(key);

  // A recorded day without music is filled grey; a day not recorded is an
  // outline on white, and so is a listed day with no files.
  auto edge = [&](const char* key) {
    const Rect r = calendarDayRect(2015, dayNumber(key));
    return image.at(r.x + 0.25, r.y + r.height / 2);
  };
  const Pixel empty = square("2015-03-04"), notRecorded = square("2015-03-06");
  EXPECT_FALSE(empty.blue()) << empty;
  EXPECT_LT(square("2015-03-03").lum(), empty.lum());
  EXPECT_LT(empty.lum(), 250) << empty;
  EXPECT_EQ(edge("2015-03-04"), empty);
  EXPECT_EQ(notRecorded, (Pixel{255, 255, 255}));
  EXPECT_LT(edge("2015-03-06").lum(), 220) << edge("2015-03-06");
  EXPECT_NE(edge("2015-03-06"), empty);
  EXPECT_EQ(square("2015-03-05"), notRecorded);
  EXPECT_EQ(edge("2015-03-05"), edge("2015-03-06"));

  // The scale is pixels a point.
  ASSERT_EQ(chart("calendar --year 2015 --scale 1", "cal1.png").status, 0);
  Image one(file("cal1.png"), 1);
  EXPECT_NEAR(image.width(), 2 * one.width(), 1);
  EXPECT_NEAR(image.height(), 2 * one.height(), 1);
}

TEST_F(ChartTest, TopBarsAreAsLongAsTheirValuesWithinAPixel) {
  if (!writeMarch()) GTEST_SKIP() << "python3 missing";
  using corvane::storetool::Measure;
  using corvane::storetool::Tally;
  using corvane::storetool::TopChart;
  // Seconds 7800, 1800, 360 by time; plays 7, 3, 2.
  for (auto [by, values] : {std::pair{Measure::Time, std::vector<double>{7800, 1800, 360}},
                            std::pair{Measure::Plays, std::vector<double>{7, 3, 2}}}) {
    const bool time = by == Measure::Time;
    ToolRun r = chart(std::string("top --scale 2 --by ") + (time ? "time" : "plays"), "top.png");
    ASSERT_EQ(r.status, 0) << r.err;
    Image image(file("top.png"), 2);
    ASSERT_TRUE(image.ok());
    TopChart layout;
    layout.by = by;
    for (double v : values) layout.rows.push_back(Tally{0, "", v, v});
    const double full = image.pixel(topBarRect(layout, 0).width);
    for (size_t row = 0; row < values.size(); ++row) {
      const Rect bar = topBarRect(layout, row);
      int length = 0;
      for (int x = image.pixel(bar.x); image.px(x, image.pixel(bar.y + bar.height / 2)).blue(); ++x)
        ++length;
      EXPECT_NEAR(length, full * values[row] / values[0], 1.0) << "row " << row;
    }
  }
}

TEST_F(ChartTest, DailyBarsAreAsHighAsTheirSecondsWithinAPixel) {
  if (!writeMarch()) GTEST_SKIP() << "python3 missing";
  ToolRun r = chart("daily --from 2015-03-01 --to 2015-03-06 --scale 2", "daily.png");
  ASSERT_EQ(r.status, 0) << r.err;
  Image image(file("daily.png"), 2);
  ASSERT_TRUE(image.ok());

  corvane::storetool::PeriodStats stats;
  stats.period = {dayNumber("2015-03-01"), dayNumber("2015-03-06")};
  stats.daySeconds = {{dayNumber("2015-03-01"), 900},
                      {dayNumber("2015-03-02"), 9000},
                      {dayNumber("2015-03-03"), 60},
                      {dayNumber("2015-03-04"), 0}};
  const auto bars = corvane::storetool::dailyBars(stats);
  ASSERT_EQ(bars.size(), 6u);
  const double tallest = bars[1].bar.height;
  EXPECT_GT(tallest, 100);  // the busiest day nearly fills the plot
  for (size_t i = 0; i < bars.size(); ++i) {
    const Rect& b = bars[i].bar;
    const int x = image.pixel(b.x + b.width / 2);
    int height = 0;
    for (int y = image.pixel(b.y + b.height) - 1; image.px(x, y).blue(); --y) ++height;
    EXPECT_NEAR(height, image.pixel(tallest) * bars[i].seconds / 9000, 1.0)
        << dayText(bars[i].first);
    EXPECT_FALSE(bars[i].partial);
  }

  // By week, a first or last week that runs past the period is marked (and
  // drawn paler), so it does not read as a quiet week.
  stats.period = {dayNumber("2015-03-04"), dayNumber("2015-07-05")};
  auto weeks = corvane::storetool::dailyBars(stats);
  ASSERT_EQ(weeks.size(), 18u);
  EXPECT_EQ(dayText(weeks.front().first), "2015-03-02");
  EXPECT_TRUE(weeks.front().partial);
  EXPECT_FALSE(weeks[1].partial);
  EXPECT_FALSE(weeks.back().partial);  // Sunday 2015-07-05 ends its week
  stats.period.to = dayNumber("2015-07-04");
  EXPECT_TRUE(corvane::storetool::dailyBars(stats).back().partial);
}

TEST_F(ChartTest, SvgPicturesAreWellFormedXml) {
  if (!writeMarch()) GTEST_SKIP() << "python3 missing";
  for (const char* kind : {"calendar --year 2015", "top --group record", "top", "daily"}) {
    ToolRun r = chart(kind, "chart.svg");
    ASSERT_EQ(r.status, 0) << kind << ": " << r.err;
    const std::string svg = testsupport::readHostFile(file("chart.svg"));
    EXPECT_EQ(xmlError(svg), "") << kind;
    EXPECT_NE(svg.find("<svg"), std::string::npos) << kind;
    EXPECT_NE(svg.find("pt\""), std::string::npos) << kind << ": sized in points";
  }
  EXPECT_FALSE(std::filesystem::exists(file("chart.svg.part")));
}

TEST_F(ChartTest, EmptyStoreAndEmptyPeriodsDrawAPictureThatSaysSo) {
  history({}, {});
  for (const char* kind : {"calendar", "top", "daily"}) {
    ToolRun r = chart(kind, "empty.png");
    ASSERT_EQ(r.status, 0) << kind << ": " << r.err;
    EXPECT_EQ(r.err, "") << kind;
    Image image(file("empty.png"), 1.5);
    ASSERT_TRUE(image.ok()) << kind;
    EXPECT_GT(image.darkInTheMiddle(), 30) << kind << ": no note on the empty chart";
  }

  // A year, a day and a period without music.
  history({"2014-12-31", "2016-01-04"}, {{0, "Alpha"}});
  day("2014-12-31", {{0, {100, 1}}});
  day("2016-01-04", {});
  for (const char* kind : {"calendar --year 2015", "calendar --year 2016", "top --last week",
                           "daily --from 2016-01-01 --to 2016-01-31"}) {
    ToolRun r = chart(kind, "empty.png");
    ASSERT_EQ(r.status, 0) << kind << ": " << r.err;
    Image image(file("empty.png"), 1.5);
    EXPECT_GT(image.darkInTheMiddle(), 30) << kind << ": no note on the empty chart";
  }
  // ... while a chart with music has nothing dark there but its bars.
  ASSERT_EQ(chart("daily --from 2014-12-29 --to 2015-01-03", "full.png").status, 0);
  Image full(file("full.png"), 1.5);
  EXPECT_EQ(full.darkInTheMiddle(), 0);

  // Without music the daily layout keeps a finite axis and flat bars.
  corvane::storetool::PeriodStats silent;
  silent.period = {dayNumber("2016-01-01"), dayNumber("2016-01-03")};
  silent.daySeconds = {{dayNumber("2016-01-02"), 0}};
  for (auto& b : corvane::storetool::dailyBars(silent)) {
    EXPECT_EQ(b.bar.height, 0);
    EXPECT_TRUE(std::isfinite(b.bar.y));
  }
}

TEST_F(ChartTest, PeriodsReachingTheYear9999Draw) {
  int status = 0;
  std::string out = writeWithPlistlib(
      "put('DateArray.plist', ['2015-03-01', '9999-12-31'])\n"
      "put('IntMusicData.plist', {'0': 'Alpha'})\n"
      "for key in ['2015-03-01', '9999-12-31']:\n"
      "    put('EverydayData/' + key + '/MusicTime.plist', {'0': '3600'})\n",
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0) << out;

  // By week, month and year the last bucket holds the last day's hour.
  corvane::storetool::PeriodStats stats;
  stats.daySeconds = {{dayNumber("9999-12-31"), 3600}};
  for (auto [from, first, count] :
       {std::tuple{"9998-06-01", "9999-12-27", 83u}, std::tuple{"9990-01-01", "9999-12-01", 120u},
        std::tuple{"9000-01-01", "9999-01-01", 1000u}}) {
    stats.period = {dayNumber(from), dayNumber("9999-12-31")};
    const auto bars = corvane::storetool::dailyBars(stats);
    ASSERT_EQ(bars.size(), count) << from;
    EXPECT_EQ(dayText(bars.back().first), first) << from;
    EXPECT_EQ(bars.back().seconds, 3600) << from;

    ToolRun r = chart(std::string("daily --scale 4 --from ") + from, "late.png");
    ASSERT_EQ(r.status, 0) << from << ": " << r.err;
    Image image(file("late.png"), 4);
    const Rect& b = bars.back().bar;
    EXPECT_TRUE(image.at(b.x + b.width / 2, b.y + b.height - 1).blue()) << from;
  }
  // The whole store by year, and the year's calendar and top list.
  EXPECT_EQ(chart("daily", "all.png").status, 0);
  EXPECT_EQ(chart("calendar --year 9999", "cal.png").status, 0);
  EXPECT_EQ(chart("top --from 9999-12-01", "top.png").status, 0);
}

TEST_F(ChartTest, BadOptionsGiveOneLineAndStatusTwo) {
  const std::pair<const char*, const char*> cases[] = {
      {"chart", "chart needs a kind: calendar, top or daily (see 'corvane-store help chart')"},
      {"chart pie --out a.png",
       "unknown chart 'pie': calendar, top or daily (see 'corvane-store help chart')"},
      {"chart top", "chart top needs --out FILE (.png or .svg)"},
      {"chart daily --out a.jpg", "--out 'a.jpg' names neither a .png nor a .svg file"},
      {"chart daily --out=", "--out '' names neither a .png nor a .svg file"},
      {"chart calendar --out a.png --scale 0", "--scale '0' is not a number from 1 to 4"},
      {"chart calendar --out a.png --scale 4.5", "--scale '4.5' is not a number from 1 to 4"},
      {"chart calendar --out a.png --scale x", "--scale 'x' is not a number from 1 to 4"},
      {"chart calendar --out a.png --scale nan", "--scale 'nan' is not a number from 1 to 4"},
      {"chart calendar --out a.png --year 10000",
       "--year '10000' is not a whole number from 1 to 9999"},
      {"chart calendar --out a.png --from 2015-01-01",
       "unknown option '--from' for chart calendar (see 'corvane-store help chart')"},
      {"chart daily --out a.png --from 2015-03-05 --to 2015-03-01",
       "--from 2015-03-05 is after --to 2015-03-01"},
      {"chart daily --out a.png --from 2015-02-30",
       "--from '2015-02-30' is not a day of the form YYYY-MM-DD"},
      {"chart top --out a.png --last decade",
       "--last 'decade' is not one of week or month or year"},
      {"chart top --out a.png --last week --to 2015-03-01",
       "--last cannot be combined with --from or --to"},
      {"chart top --out a.png --by length", "--by 'length' is not one of time or plays"},
  };
  expectUsageErrors(cases);
  // A scale between whole numbers is taken.
  history({}, {});
  EXPECT_EQ(chart("daily --scale 2.5", "a.png").status, 0);

  // A picture that cannot be written is a failure and leaves nothing behind.
  ToolRun r = chart("calendar", "no-folder/cal.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "corvane-store: cannot write " + file("no-folder/cal.png") +
                       ": No such file or directory\n");
}

}  // namespace
