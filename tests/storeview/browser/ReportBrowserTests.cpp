// The year's page as a real browser draws it: headless Chromium takes a
// screenshot, and the calendar's shades and the top list's bars must be on it.
#include <cairo.h>

#include <cstring>

#include "ReportFixture.h"

namespace {

struct Found {
  size_t pixels = 0;
  int top = INT32_MAX, bottom = -1;
  void add(int y) {
    ++pixels;
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
};

TEST_F(ReportTest, ChromiumShowsTheCalendarAboveTheTopList) {
  int status = 0;
  testsupport::runCommand("command -v chromium >/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "chromium is not installed; the page is not looked at";
  if (!writeYear()) GTEST_SKIP() << "python3 missing";
  const std::string page = root.path() + "/2015.html", shot = root.path() + "/2015.png";
  ASSERT_EQ(tool("report --year 2015 --out '" + page + "'").status, 0);

  // A hung browser fails the test, not the run.
  const std::string log = testsupport::runCommand(
      "timeout -k 5 40 chromium --headless --no-sandbox --disable-gpu --disable-quic "
      "--no-first-run --disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir='" +
          root.path() + "/chromium' --window-size=1200,2400 --screenshot='" + shot + "' 'file://" +
          page + "' 2>&1",
      &status);
  ASSERT_EQ(status, 0) << log;

  cairo_surface_t* image = cairo_image_surface_create_from_png(shot.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << log;
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  const int stride = cairo_image_surface_get_stride(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  EXPECT_EQ(width, 1200);
  Found shades, bars;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t px;
      std::memcpy(&px, data + y * stride + x * 4, 4);
      const int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
      if (b - r > 30 && b >= g + 10) shades.add(y);              // the calendar's blues
      if (r > 180 && g > 100 && g < 170 && b < 90) bars.add(y);  // the share bars
    }
  cairo_surface_destroy(image);

  // Five days with music, each a cell of about 15 by 15 pixels.
  EXPECT_GT(shades.pixels, 5u * 100);
  EXPECT_LT(shades.bottom, height / 2);
  // Four tables of bars, one row per song or record.
  EXPECT_GT(bars.pixels, 8u * 100);
  EXPECT_GT(bars.top, shades.bottom) << "the top list is not below the calendar";
}

}  // namespace
