// What the main screen draws: the ring's arc for the top song's share over
// its faint track, the percentage, and the ranked rows.
#include <cmath>

#include "AppFixture.h"
#include "QuartzCore/CGContext.h"
#include "UIKitHost/UIRenderer.h"
#include "ViewController.h"

namespace {
bool isArcGreen(const CGColor& c) {
  return c.green > 0.75 && c.red < 0.4 && c.blue < 0.6;
}
// A point of the ring at an angle (0 to the right, clockwise on screen).
CGPoint ringPoint(double angle) {
  // Card (36.92, 20); ring centre (123.08, 151.6) in the card, radius 85.33.
  return CGPointMake(36.92 + 123.08 + 85.33 * std::cos(angle),
                     20 + 151.6 + 85.33 * std::sin(angle));
}
}  // namespace

TEST_F(AppTest, TheRingShowsTheTopSongsShareAndTheRowsTheirValues) {
  writeTitles({{"0", "Song A"}, {"1", "Song B"}});
  writeDays({"2015-03-05"});
  writeDay("2015-03-05", {{"0", "300"}, {"1", "180"}});  // 62.5 %
  auto window = objc::make<UIWindow>();
  auto vc = objc::make<ViewController>();
  window->setRootViewController(vc);
  window->makeKeyAndVisible();
  run(1);
  vc->todayEvent();
  run(2);
  UIRenderer renderer;
  auto picture = renderer.renderScreen();
  ASSERT_TRUE(picture);
  // The arc runs clockwise from the right-hand point for 62.5 % of the turn.
  for (double share : {0.05, 0.25, 0.5, 0.6})
    EXPECT_TRUE(isArcGreen(picture->colorAtPoint(ringPoint(share * 2 * M_PI)))) << share;
  for (double share : {0.7, 0.8, 0.95})
    EXPECT_FALSE(isArcGreen(picture->colorAtPoint(ringPoint(share * 2 * M_PI)))) << share;
  EXPECT_EQ(vc->dateScorllView()->getScrollView()->percentLabel()->text(), "62%");

  // Mid-way through its 0.7 s the arc is only partly drawn.
  vc->todayEvent();
  run(0.35);
  auto early = renderer.renderScreen();
  EXPECT_TRUE(isArcGreen(early->colorAtPoint(ringPoint(0.05 * 2 * M_PI))));
  EXPECT_FALSE(isArcGreen(early->colorAtPoint(ringPoint(0.55 * 2 * M_PI))));
}

// In sanitizer builds the leak check passes over the font caches fontconfig
// keeps for the life of the process (filled from a worker thread of pango's).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
