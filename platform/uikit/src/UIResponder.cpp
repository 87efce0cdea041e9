#include "UIKit/UIResponder.h"

#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIView.h"
#include "UIKit/UIWindow.h"

OBJC_CLASS_IMPL(UITouch, objc::Object, nullptr)
OBJC_CLASS_IMPL(UIEvent, objc::Object, nullptr)
OBJC_CLASS_IMPL(UIResponder, objc::Object, nullptr)

namespace {
// One first responder for the process: there is one keyboard.
objc::Weak<UIResponder>& firstResponder() {
  static objc::Weak<UIResponder> responder;
  return responder;
}
}  // namespace

UITouch::UITouch() = default;
UITouch::~UITouch() = default;
UIWindow* UITouch::window() const {
  return window_.get();
}
const std::vector<objc::Ref<UIGestureRecognizer>>& UITouch::gestureRecognizers() const {
  return recognizers_;
}

CGPoint UITouch::locationInView(const UIView* view) const {
  return view ? view->convertPointFromView(location_, nullptr) : location_;
}

CGPoint UITouch::previousLocationInView(const UIView* view) const {
  return view ? view->convertPointFromView(previous_, nullptr) : previous_;
}

UIResponder::~UIResponder() = default;

UIResponder* UIResponder::currentFirstResponder() {
  return firstResponder().get();
}
bool UIResponder::isFirstResponder() const {
  return firstResponder().get() == this;
}
void UIResponder::setFirstResponder(UIResponder* responder) {
  firstResponder() = responder;
}

bool UIResponder::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  if (UIResponder* current = currentFirstResponder()) {
    objc::Ref<UIResponder> keep(current);
    if (!current->canResignFirstResponder() || !current->resignFirstResponder()) return false;
  }
  setFirstResponder(this);
  return true;
}

bool UIResponder::resignFirstResponder() {
  if (isFirstResponder()) setFirstResponder(nullptr);
  return true;
}

void UIResponder::touchesBegan(UITouch* touch, UIEvent* event) {
  if (UIResponder* next = nextResponder()) next->touchesBegan(touch, event);
}
void UIResponder::touchesMoved(UITouch* touch, UIEvent* event) {
  if (UIResponder* next = nextResponder()) next->touchesMoved(touch, event);
}
void UIResponder::touchesEnded(UITouch* touch, UIEvent* event) {
  if (UIResponder* next = nextResponder()) next->touchesEnded(touch, event);
}
void UIResponder::touchesCancelled(UITouch* touch, UIEvent* event) {
  if (UIResponder* next = nextResponder()) next->touchesCancelled(touch, event);
}
