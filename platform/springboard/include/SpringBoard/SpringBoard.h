// The simulated system shell's application object, its delegate and the
// home screen. A drag that starts at the bottom edge of the home screen and
// goes up opens Control Center, as on the phone.
#pragma once

#include "UIKit/UIKit.h"

// The application object. Answers "applicationDidFinishLaunching:", which
// UIApplicationMain dispatches once the shell has launched.
class SpringBoard : public UIApplication {
  OBJC_CLASS(SpringBoard)
 public:
  bool hasFinishedLaunching() const { return finishedLaunching_; }
  void applicationDidFinishLaunching();
  static void setupClass(objc::Class* cls);

 private:
  bool finishedLaunching_ = false;
};

class SBApplicationDelegate : public UIResponder, public UIApplicationDelegate {
  OBJC_CLASS(SBApplicationDelegate)
};

class SBHomeScreenView : public UIView {
  OBJC_CLASS(SBHomeScreenView)
 public:
  explicit SBHomeScreenView(CGRect frame = CGRectZero);
  void touchesBegan(UITouch* touch, UIEvent* event) override;
  void touchesMoved(UITouch* touch, UIEvent* event) override;
  void touchesEnded(UITouch* touch, UIEvent* event) override;
  void touchesCancelled(UITouch* touch, UIEvent* event) override;

  // A drag must start this close to the bottom edge and rise this far.
  static constexpr double kEdgeHeight = 20;
  static constexpr double kOpenDistance = 40;

 private:
  objc::Ref<UILabel> label_;
  bool fromBottomEdge_ = false;
};

class SBHomeScreenViewController : public UIViewController {
  OBJC_CLASS(SBHomeScreenViewController)
 public:
  void loadView() override;
};
