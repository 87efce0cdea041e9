// A clean toolkit for each test: its own device root, the virtual clock, the
// default screen and no alerts or first responder left from another test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIView.h"

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

// A new view of class V in a parent, which keeps it.
template <class V = UIView, class... Args>
V* addView(UIView* parent, Args&&... args) {
  auto view = objc::make<V>(std::forward<Args>(args)...);
  parent->addSubview(view);
  return view.get();
}

// A target whose actions ("pressed:", "tapped:", "panned:", "LaunchCorvane")
// are real run-time methods, as the system's are; defined in ControlTests.
class ActionProbe : public objc::Object {
  OBJC_CLASS(ActionProbe)
 public:
  std::vector<std::string> calls;
  std::vector<objc::Object*> senders;
};
