// A clean toolkit for each test: its own device root, the virtual clock, the
// default screen and no alerts or first responder left from another test.
#pragma once

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIScreen.h"

class UIKitTest : public ::testing::Test {
 protected:
  UIKitTest() {
    UIScreen::setDeviceProfile(320, 568, 2);
    UIAlertView::removeAll();
  }
  ~UIKitTest() override {
    if (UIResponder* r = UIResponder::currentFirstResponder()) r->resignFirstResponder();
    UIAlertView::removeAll();
    UIScreen::resetDeviceProfile();
  }

  testsupport::TempDeviceRoot root;
  testsupport::VirtualClock clock;
};
