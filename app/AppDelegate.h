// The application's delegate: it only keeps the window the main interface
// makes; the screen is the main interface's ViewController.
#pragma once

#include "UIKit/UIApplication.h"
#include "UIKit/UIResponder.h"

class AppDelegate : public UIResponder, public UIApplicationDelegate {
  OBJC_CLASS(AppDelegate)
 public:
  bool applicationDidFinishLaunchingWithOptions(UIApplication*, objc::Object*) override {
    return true;
  }
  UIWindow* window() const override { return window_.get(); }
  void setWindow(UIWindow* window) override { window_ = window; }

 private:
  objc::Ref<UIWindow> window_;
};
