// Windows: the root of a view tree and the entry point of touches. A window
// covers the screen, so its coordinates are screen points.
#pragma once

#include <vector>

#include "UIKit/UIKitForward.h"
#include "UIKit/UIView.h"

class UIWindow : public UIView {
  OBJC_CLASS(UIWindow)
 public:
  // A zero frame gives the main screen's bounds.
  explicit UIWindow(CGRect frame = CGRectZero);
  ~UIWindow() override;

  UIViewController* rootViewController() const { return rootViewController_.get(); }
  // Owns the controller and puts its view (loaded now) into the window,
  // sized to the window's bounds.
  void setRootViewController(UIViewController* controller);
  void makeKeyWindow();
  void makeKeyAndVisible();
  bool isKeyWindow() const;
  static UIWindow* keyWindow();
  // Every live window, in order of creation.
  static std::vector<UIWindow*> allWindows();

  // --- touch input, in window (= screen) points, at the clock's time -------
  // A touch goes to the hit view and recognisers of it and its ancestors.
  // touchDown while a touch is down first cancels the old one. Touches are
  // ignored while an alert is showing (it is modal). Each call runs the
  // pending layout pass first.
  void touchDown(CGPoint point);
  void touchMove(CGPoint point);
  void touchUp(CGPoint point);
  void touchCancel();
  // Down and up at one point.
  void tap(CGPoint point);
  UITouch* currentTouch() const { return touch_.get(); }

  // A scroll wheel or touchpad over point: delta in points, positive
  // towards the content's end (down, right). Goes to the innermost scroll
  // view under the point that scrolls on the delta's main axis; when none
  // does, a vertical turn moves the innermost one that scrolls only
  // sideways (a wheel without a horizontal axis still turns a carousel's
  // pages). Ignored while an alert shows. True when a view took it.
  bool scrollWheel(CGPoint point, CGPoint delta);

  UIResponder* nextResponder() const override;

  // Lays out every window's views that need it (the pass the run loop runs).
  static void layoutAllWindowsIfNeeded();

 private:
  void deliver(UITouchPhase phase, CGPoint point);
  objc::Ref<UIViewController> rootViewController_;
  objc::Ref<UITouch> touch_;
};
