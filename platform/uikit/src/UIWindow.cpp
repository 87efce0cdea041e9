#include "UIKit/UIWindow.h"

#include <algorithm>
#include <cmath>

#include "Foundation/RunLoop.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UILayoutScheduler.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIViewController.h"

OBJC_CLASS_IMPL(UIWindow, UIView, nullptr)

namespace {
std::vector<UIWindow*>& windows() {
  static std::vector<UIWindow*> list;
  return list;
}
UIWindow*& keyWindowSlot() {
  static UIWindow* key = nullptr;
  return key;
}
}  // namespace

UIWindow::UIWindow(CGRect frame)
    : UIView(CGRectIsEmpty(frame) ? UIScreen::mainScreen()->bounds() : frame) {
  window_ = this;
  // A window is hidden until it is made visible.
  setHidden(true);
  windows().push_back(this);
  UILayoutScheduler::shared().addRoot(this);
}

UIWindow::~UIWindow() {
  std::erase(windows(), this);
  UILayoutScheduler::shared().removeRoot(this);
  if (keyWindowSlot() == this) keyWindowSlot() = nullptr;
  if (rootViewController_) {
    if (UIView* v = rootViewController_->viewIfLoaded()) v->removeFromSuperview();
  }
}

std::vector<UIWindow*> UIWindow::allWindows() {
  return windows();
}
UIWindow* UIWindow::keyWindow() {
  return keyWindowSlot();
}
bool UIWindow::isKeyWindow() const {
  return keyWindowSlot() == this;
}
void UIWindow::makeKeyWindow() {
  keyWindowSlot() = this;
}

void UIWindow::setRootViewController(UIViewController* controller) {
  if (controller == rootViewController_.get()) return;
  objc::Ref<UIViewController> old = rootViewController_;
  if (old) {
    if (UIView* v = old->viewIfLoaded(); v && v->superview() == this) v->removeFromSuperview();
  }
  rootViewController_ = controller;
  if (controller) {
    UIView* v = controller->view();
    v->setFrame(bounds());
    addSubview(v);
  }
}

void UIWindow::makeKeyAndVisible() {
  bool appearing = isHidden();
  makeKeyWindow();
  setHidden(false);
  if (appearing && rootViewController_) {
    objc::Ref<UIViewController> vc = rootViewController_;
    objc::objc_msgSend(vc, "viewWillAppear:");
    layoutIfNeeded();
    objc::objc_msgSend(vc, "viewDidAppear:");
  }
}

UIResponder* UIWindow::nextResponder() const {
  return UIApplication::sharedApplication();
}

void UIWindow::layoutAllWindowsIfNeeded() {
  UILayoutScheduler::shared().layoutIfNeeded();
}

// --- touches ------------------------------------------------------------------------

void UIWindow::touchDown(CGPoint point) {
  layoutAllWindowsIfNeeded();
  if (touch_) touchCancel();
  // The alert is modal: nothing under it gets the touch.
  if (UIAlertView::visibleAlert()) return;
  auto touch = objc::make<UITouch>();
  touch->phase_ = UITouchPhase::Began;
  touch->timestamp_ = ns::RunLoop::main().now();
  touch->location_ = touch->previous_ = touch->start_ = point;
  touch->window_ = this;
  touch->view_ = hitTest(point, nullptr);
  // Recognisers of the hit view and its ancestors, innermost first.
  for (UIView* v = touch->view_; v; v = v->superview())
    for (auto& r : v->gestureRecognizers())
      if (r->isEnabled()) touch->recognizers_.push_back(r);
  for (auto& r : touch->recognizers_) r->touch_ = touch;
  touch_ = touch;
  deliver(UITouchPhase::Began, point);
}

void UIWindow::touchMove(CGPoint point) {
  if (!touch_) return;
  layoutAllWindowsIfNeeded();
  deliver(UITouchPhase::Moved, point);
}

void UIWindow::touchUp(CGPoint point) {
  if (!touch_) return;
  layoutAllWindowsIfNeeded();
  deliver(UITouchPhase::Ended, point);
}

void UIWindow::touchCancel() {
  if (!touch_) return;
  deliver(UITouchPhase::Cancelled, touch_->location_);
}

bool UIWindow::scrollWheel(CGPoint point, CGPoint delta) {
  layoutAllWindowsIfNeeded();
  if (UIAlertView::visibleAlert() || (delta.x == 0 && delta.y == 0)) return false;
  bool vertical = std::fabs(double(delta.y)) >= std::fabs(double(delta.x));
  UIScrollView* sideways = nullptr;
  for (UIView* v = hitTest(point, nullptr); v; v = v->superview()) {
    auto* scroll = dynamic_cast<UIScrollView*>(v);
    if (!scroll) continue;
    if (vertical ? scroll->scrollsVertically() : scroll->scrollsHorizontally()) {
      scroll->scrollWheel(vertical ? CGPointMake(0, delta.y) : CGPointMake(delta.x, 0));
      return true;
    }
    if (vertical && !sideways && scroll->scrollsHorizontally()) sideways = scroll;
  }
  if (!sideways) return false;
  sideways->scrollWheel(CGPointMake(delta.y, 0));
  return true;
}

void UIWindow::tap(CGPoint point) {
  touchDown(point);
  touchUp(point);
}

void UIWindow::deliver(UITouchPhase phase, CGPoint point) {
  objc::Ref<UITouch> touch = touch_;
  objc::Ref<UIWindow> keep(this);
  if (phase != UITouchPhase::Began) {
    touch->previous_ = touch->location_;
    touch->location_ = point;
    touch->timestamp_ = ns::RunLoop::main().now();
  }
  touch->phase_ = phase;
  auto event = objc::make<UIEvent>();
  event->timestamp_ = touch->timestamp_;
  event->touch_ = touch;

  auto send = [&](auto* target) {
    switch (phase) {
      case UITouchPhase::Began:
        target->touchesBegan(touch, event);
        break;
      case UITouchPhase::Moved:
      case UITouchPhase::Stationary:
        target->touchesMoved(touch, event);
        break;
      case UITouchPhase::Ended:
        target->touchesEnded(touch, event);
        break;
      case UITouchPhase::Cancelled:
        target->touchesCancelled(touch, event);
        break;
    }
  };

  // Recognisers first. The first to recognise wins the touch: the others
  // fail and the view's share of the touch is cancelled.
  auto recognizers = touch->recognizers_;
  for (auto& r : recognizers) {
    UIGestureRecognizerState before = r->state();
    if (!r->view() || before == UIGestureRecognizerState::Failed ||
        before == UIGestureRecognizerState::Cancelled || before == UIGestureRecognizerState::Ended)
      continue;
    send(r.get());
    UIGestureRecognizerState after = r->state();
    bool recognised =
        before == UIGestureRecognizerState::Possible &&
        (after == UIGestureRecognizerState::Began || after == UIGestureRecognizerState::Ended);
    if (!recognised) continue;
    for (auto& other : recognizers)
      if (other != r && other->state() == UIGestureRecognizerState::Possible)
        other->setState(UIGestureRecognizerState::Failed);
    if (r->cancelsTouchesInView() && touch->deliverToView_) {
      touch->deliverToView_ = false;
      if (touch->view_) {
        touch->phase_ = UITouchPhase::Cancelled;
        touch->view_->touchesCancelled(touch, event);
        touch->phase_ = phase;
      }
    }
  }
  if (touch->deliverToView_ && touch->view_) send(touch->view_.get());

  if (phase == UITouchPhase::Ended || phase == UITouchPhase::Cancelled) {
    for (auto& r : recognizers) r->finishTouch();
    if (touch_ == touch) touch_ = nullptr;
  }
}
