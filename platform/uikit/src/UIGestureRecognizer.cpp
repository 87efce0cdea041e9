#include "UIKit/UIGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIWindow.h"

OBJC_CLASS_IMPL(UIGestureRecognizer, objc::Object, nullptr)
OBJC_CLASS_IMPL(UITapGestureRecognizer, UIGestureRecognizer, nullptr)
OBJC_CLASS_IMPL(UIPanGestureRecognizer, UIGestureRecognizer, nullptr)

UIGestureRecognizer::UIGestureRecognizer(objc::Object* target, objc::SEL action) {
  if (target && action) addTarget(target, action);
}

UIGestureRecognizer::UIGestureRecognizer(objc::Object* target, const char* action)
    : UIGestureRecognizer(target, action ? objc::sel_registerName(action) : nullptr) {}

void UIGestureRecognizer::addTarget(objc::Object* target, objc::SEL action) {
  if (!target || !action) return;
  targets_.push_back({target, action});
}

void UIGestureRecognizer::removeTarget(objc::Object* target, objc::SEL action) {
  std::erase_if(targets_, [&](const Target& t) {
    return (!target || t.target.get() == target) && (!action || t.action == action);
  });
}

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const {
  return touch_ ? touch_->locationInView(view) : CGPointZero;
}

void UIGestureRecognizer::touchesBegan(UITouch*, UIEvent*) {}
void UIGestureRecognizer::touchesMoved(UITouch*, UIEvent*) {}
void UIGestureRecognizer::touchesEnded(UITouch*, UIEvent*) {}
void UIGestureRecognizer::touchesCancelled(UITouch*, UIEvent*) {
  if (state_ == UIGestureRecognizerState::Possible)
    setState(UIGestureRecognizerState::Failed);
  else if (state_ == UIGestureRecognizerState::Began || state_ == UIGestureRecognizerState::Changed)
    setState(UIGestureRecognizerState::Cancelled);
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
  UIGestureRecognizerState before = state_;
  if (before == UIGestureRecognizerState::Possible &&
      (state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Ended)) {
    UIView* hit = touch_ ? touch_->view() : nullptr;
    bool allowed = enabled_ && view_ && view_->gestureRecognizerShouldBegin(this) &&
                   (!hit || hit->allowsGestureRecognizerToBegin(this));
    if (!allowed) state = UIGestureRecognizerState::Failed;
  }
  state_ = state;
  bool wasRunning =
      before == UIGestureRecognizerState::Began || before == UIGestureRecognizerState::Changed;
  if (state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Changed ||
      state == UIGestureRecognizerState::Ended ||
      (state == UIGestureRecognizerState::Cancelled && wasRunning))
    sendActions();
}

void UIGestureRecognizer::sendActions() {
  objc::Ref<UIGestureRecognizer> keep(this);
  auto targets = targets_;
  for (auto& t : targets)
    if (objc::Object* target = t.target.get()) objc::objc_msgSend(target, t.action, this);
}

void UIGestureRecognizer::finishTouch() {
  state_ = UIGestureRecognizerState::Possible;
  reset();
  touch_ = nullptr;
}

// --- tap -------------------------------------------------------------------------

namespace {
double distance(CGPoint a, CGPoint b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}
}  // namespace

void UITapGestureRecognizer::touchesMoved(UITouch* touch, UIEvent*) {
  if (state() != UIGestureRecognizerState::Possible) return;
  if (distance(touch->locationInView(nullptr), touch->startLocationInWindow()) > allowableMovement_)
    setState(UIGestureRecognizerState::Failed);
}

void UITapGestureRecognizer::touchesEnded(UITouch* touch, UIEvent*) {
  if (state() != UIGestureRecognizerState::Possible) return;
  if (distance(touch->locationInView(nullptr), touch->startLocationInWindow()) > allowableMovement_)
    setState(UIGestureRecognizerState::Failed);
  else
    setState(UIGestureRecognizerStateRecognized);
}

void UITapGestureRecognizer::touchesCancelled(UITouch*, UIEvent*) {
  if (state() == UIGestureRecognizerState::Possible) setState(UIGestureRecognizerState::Failed);
}

// --- pan -------------------------------------------------------------------------

void UIPanGestureRecognizer::touchesBegan(UITouch* touch, UIEvent*) {
  origin_ = touch->locationInView(nullptr);
  velocity_ = CGPointZero;
  lastTime_ = touch->timestamp();
}

void UIPanGestureRecognizer::touchesMoved(UITouch* touch, UIEvent*) {
  CGPoint now = touch->locationInView(nullptr);
  CGPoint before = touch->previousLocationInView(nullptr);
  // A move with no time since the last one counts as one 60th of a second.
  double dt = touch->timestamp() - lastTime_;
  if (dt <= 0) dt = 1.0 / 60;
  velocity_ = CGPointMake((now.x - before.x) / dt, (now.y - before.y) / dt);
  lastTime_ = touch->timestamp();
  if (state() == UIGestureRecognizerState::Possible) {
    if (distance(now, touch->startLocationInWindow()) >= minimumMovement_)
      setState(UIGestureRecognizerState::Began);
  } else if (state() == UIGestureRecognizerState::Began ||
             state() == UIGestureRecognizerState::Changed) {
    setState(UIGestureRecognizerState::Changed);
  }
}

void UIPanGestureRecognizer::touchesEnded(UITouch* touch, UIEvent*) {
  CGPoint now = touch->locationInView(nullptr);
  CGPoint before = touch->previousLocationInView(nullptr);
  if (now != before) {  // the lift itself moved the finger
    double dt = touch->timestamp() - lastTime_;
    if (dt <= 0) dt = 1.0 / 60;
    velocity_ = CGPointMake((now.x - before.x) / dt, (now.y - before.y) / dt);
    lastTime_ = touch->timestamp();
  }
  if (state() == UIGestureRecognizerState::Began || state() == UIGestureRecognizerState::Changed) {
    // A lift after a pause has no speed left.
    if (touch->timestamp() - lastTime_ > 0.1) velocity_ = CGPointZero;
    setState(UIGestureRecognizerState::Ended);
  } else if (state() == UIGestureRecognizerState::Possible) {
    setState(UIGestureRecognizerState::Failed);
  }
}

void UIPanGestureRecognizer::touchesCancelled(UITouch* touch, UIEvent* event) {
  UIGestureRecognizer::touchesCancelled(touch, event);
}

void UIPanGestureRecognizer::reset() {
  velocity_ = CGPointZero;
  origin_ = CGPointZero;
}

CGPoint UIPanGestureRecognizer::translationInView(const UIView*) const {
  // Views here are only ever translated, never scaled or rotated, so a
  // movement is the same in every view's coordinates.
  if (!touch()) return CGPointZero;
  CGPoint now = touch()->locationInView(nullptr);
  return CGPointMake(now.x - origin_.x, now.y - origin_.y);
}

void UIPanGestureRecognizer::setTranslation(CGPoint translation, const UIView*) {
  if (!touch()) return;
  CGPoint now = touch()->locationInView(nullptr);
  origin_ = CGPointMake(now.x - translation.x, now.y - translation.y);
}

CGPoint UIPanGestureRecognizer::velocityInView(const UIView*) const {
  return velocity_;
}
