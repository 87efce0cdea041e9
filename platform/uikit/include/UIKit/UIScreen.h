// The main screen. Its size comes from the device profile: 320 x 568 points
// at scale 2 unless setDeviceProfile chooses another (the desktop host does
// it for CORVANE_SCREEN, see UIKitHost/UIApplicationHost.h).
#pragma once

#include "QuartzCore/CGGeometry.h"
#include "objc/runtime.h"

class UIScreen : public objc::Object {
  OBJC_CLASS(UIScreen)
 public:
  static UIScreen* mainScreen();

  // (0, 0, width, height) in points.
  CGRect bounds() const;
  double scale() const;
  // The screen below the status bar (20 points).
  CGRect applicationFrame() const;

  // Overrides the profile (hosts, tests, tools); takes effect at once.
  static void setDeviceProfile(double width, double height, double scale);
  // Back to the default profile.
  static void resetDeviceProfile();
  // Parses "WxH@S" or "WxH" (e.g. "375x667@2"; no S means 2); false for anything else or a
  // non-positive value.
  static bool parseProfile(const char* text, double* width, double* height, double* scale);

 private:
  UIScreen() = default;
};
