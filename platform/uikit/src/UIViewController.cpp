#include "UIKit/UIViewController.h"

#include "UIKit/UIScreen.h"

namespace {
template <void (UIViewController::*Method)()>
objc::id call(objc::id self, objc::SEL, objc::id) {
  (static_cast<UIViewController*>(self)->*Method)();
  return nullptr;
}
// "viewWillAppear:" and friends take a BOOL; through the runtime's one
// argument it arrives as an object, non-null for YES.
template <void (UIViewController::*Method)(bool)>
objc::id callFlag(objc::id self, objc::SEL, objc::id flag) {
  (static_cast<UIViewController*>(self)->*Method)(flag != nullptr);
  return nullptr;
}

void setupViewController(objc::Class* cls) {
  using VC = UIViewController;
  cls->addMethod(objc::sel_registerName("loadView"), call<&VC::loadView>, "v@:");
  cls->addMethod(objc::sel_registerName("viewDidLoad"), call<&VC::viewDidLoad>, "v@:");
  cls->addMethod(objc::sel_registerName("viewWillLayoutSubviews"),
                 call<&VC::viewWillLayoutSubviews>, "v@:");
  cls->addMethod(objc::sel_registerName("viewDidLayoutSubviews"), call<&VC::viewDidLayoutSubviews>,
                 "v@:");
  cls->addMethod(objc::sel_registerName("didReceiveMemoryWarning"),
                 call<&VC::didReceiveMemoryWarning>, "v@:");
  cls->addMethod(objc::sel_registerName("viewWillAppear:"), callFlag<&VC::viewWillAppear>, "v@:B");
  cls->addMethod(objc::sel_registerName("viewDidAppear:"), callFlag<&VC::viewDidAppear>, "v@:B");
}
}  // namespace

OBJC_CLASS_IMPL(UIViewController, UIResponder, setupViewController)

UIViewController::UIViewController() = default;

UIViewController::~UIViewController() {
  if (view_) view_->viewController_ = nullptr;
}

UIView* UIViewController::view() {
  if (view_) return view_;
  objc::Ref<UIViewController> keep(this);
  objc::objc_msgSend(this, "loadView");
  if (!view_) setView(objc::make<UIView>(UIScreen::mainScreen()->bounds()));
  objc::objc_msgSend(this, "viewDidLoad");
  return view_;
}

void UIViewController::setView(UIView* view) {
  if (view_ == view) return;
  if (view_) view_->viewController_ = nullptr;
  view_ = view;
  if (view_) view_->viewController_ = this;
}

void UIViewController::loadView() {
  setView(objc::make<UIView>(UIScreen::mainScreen()->bounds()));
}

UIResponder* UIViewController::nextResponder() const {
  return view_ ? view_->superview() : nullptr;
}
