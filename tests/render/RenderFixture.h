// A clean toolkit for each drawing test (own device root, virtual clock,
// the 320 x 568 @2 screen, no alerts), and colour checks for pixels.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "QuartzCore/CGContext.h"
#include "TestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIScreen.h"

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() {
    UIScreen::setDeviceProfile(320, 568, 2);
    UIAlertView::removeAll();
  }
  ~RenderTest() override {
    if (UIResponder* r = UIResponder::currentFirstResponder()) r->resignFirstResponder();
    UIAlertView::removeAll();
    UIScreen::resetDeviceProfile();
  }

  testsupport::TempDeviceRoot root;
  testsupport::VirtualClock clock;
};

// Channels compared to within a few steps of 255 (blending rounds).
inline ::testing::AssertionResult ColorNear(const CGColor& actual, const CGColor& expected,
                                            double tolerance = 3.0 / 255) {
  auto off = [&](double a, double b) { return std::fabs(a - b) > tolerance; };
  // Colour channels of a transparent pixel mean nothing.
  bool bad =
      off(actual.alpha, expected.alpha) ||
      (expected.alpha > 0 && (off(actual.red, expected.red) || off(actual.green, expected.green) ||
                              off(actual.blue, expected.blue)));
  if (!bad) return ::testing::AssertionSuccess();
  char buf[160];
  std::snprintf(buf, sizeof buf, "got (%.3f %.3f %.3f %.3f), want (%.3f %.3f %.3f %.3f)",
                actual.red, actual.green, actual.blue, actual.alpha, expected.red, expected.green,
                expected.blue, expected.alpha);
  return ::testing::AssertionFailure() << buf;
}

inline bool IsGreen(const CGColor& c) {
  return c.green > 0.7 && c.red < 0.5 && c.alpha > 0.9;
}
