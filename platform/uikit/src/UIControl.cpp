#include "UIKit/UIControl.h"

#include <algorithm>

#include "UIKit/UIGestureRecognizer.h"

OBJC_CLASS_IMPL(UIControl, UIView, nullptr)

UIControl::UIControl(CGRect frame) : UIView(frame) {}

void UIControl::addTarget(objc::Object* target, objc::SEL action, UIControlEvents events) {
  if (!action || !events) return;
  for (auto& t : targets_) {
    if (t.target.get() == target && t.action == action) {
      t.events |= events;
      return;
    }
  }
  targets_.push_back({target, action, events});
}

void UIControl::addTarget(objc::Object* target, const char* action, UIControlEvents events) {
  if (action) addTarget(target, objc::sel_registerName(action), events);
}

void UIControl::removeTarget(objc::Object* target, objc::SEL action, UIControlEvents events) {
  for (auto& t : targets_)
    if ((!target || t.target.get() == target) && (!action || t.action == action))
      t.events &= ~events;
  std::erase_if(targets_, [](const Target& t) { return t.events == 0; });
}

UIControlEvents UIControl::allControlEvents() const {
  UIControlEvents all = 0;
  for (auto& t : targets_) all |= t.events;
  return all;
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
  objc::Ref<UIControl> keep(this);
  auto targets = targets_;
  for (auto& t : targets) {
    if (!(t.events & events)) continue;
    if (objc::Object* target = t.target.get()) {
      objc::objc_msgSend(target, t.action, this);
      continue;
    }
    // No target: the first responder of the chain that answers the action.
    for (UIResponder* r = this; r; r = r->nextResponder()) {
      if (r->respondsToSelector(t.action)) {
        objc::objc_msgSend(r, t.action, this);
        break;
      }
    }
  }
}

UIControlState UIControl::state() const {
  UIControlState s = UIControlStateNormal;
  if (highlighted_) s |= UIControlStateHighlighted;
  if (!enabled_) s |= UIControlStateDisabled;
  if (selected_) s |= UIControlStateSelected;
  return s;
}

bool UIControl::isInsideWithSlack(CGPoint p) const {
  return CGRectContainsPoint(CGRectInset(bounds(), -kUIControlTouchSlack, -kUIControlTouchSlack),
                             p);
}

bool UIControl::beginTrackingWithTouch(UITouch*, UIEvent*) {
  return true;
}
bool UIControl::continueTrackingWithTouch(UITouch*, UIEvent*) {
  return true;
}
void UIControl::endTrackingWithTouch(UITouch*, UIEvent*) {}
void UIControl::cancelTrackingWithEvent(UIEvent*) {}

// A disabled control takes the touch and does nothing with it.
void UIControl::touchesBegan(UITouch* touch, UIEvent* event) {
  if (!enabled_) return;
  objc::Ref<UIControl> keep(this);
  touchActive_ = true;
  touchInside_ = true;
  tracking_ = beginTrackingWithTouch(touch, event);
  setHighlighted(true);
  sendActionsForControlEvents(UIControlEventTouchDown);
}

void UIControl::touchesMoved(UITouch* touch, UIEvent* event) {
  if (!enabled_ || !touchActive_) return;
  objc::Ref<UIControl> keep(this);
  bool inside = isInsideWithSlack(touch->locationInView(this));
  if (inside != touchInside_)
    sendActionsForControlEvents(inside ? UIControlEventTouchDragEnter
                                       : UIControlEventTouchDragExit);
  touchInside_ = inside;
  setHighlighted(inside);
  sendActionsForControlEvents(inside ? UIControlEventTouchDragInside
                                     : UIControlEventTouchDragOutside);
  if (tracking_) tracking_ = continueTrackingWithTouch(touch, event);
}

void UIControl::touchesEnded(UITouch* touch, UIEvent* event) {
  if (!enabled_ || !touchActive_) return;
  touchActive_ = false;
  objc::Ref<UIControl> keep(this);
  bool inside = isInsideWithSlack(touch->locationInView(this));
  if (tracking_) endTrackingWithTouch(touch, event);
  tracking_ = false;
  touchInside_ = false;
  setHighlighted(false);
  sendActionsForControlEvents(inside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside);
}

void UIControl::touchesCancelled(UITouch*, UIEvent* event) {
  if (!touchActive_) return;
  touchActive_ = false;
  objc::Ref<UIControl> keep(this);
  if (tracking_) cancelTrackingWithEvent(event);
  tracking_ = false;
  touchInside_ = false;
  setHighlighted(false);
  sendActionsForControlEvents(UIControlEventTouchCancel);
}

bool UIControl::allowsGestureRecognizerToBegin(UIGestureRecognizer* recognizer) {
  // A single tap on a control is the control's own, not that of a tap
  // recogniser on one of its ancestors.
  if (recognizer->isKindOfClass(UITapGestureRecognizer::classObject()) &&
      recognizer->view() != this)
    return false;
  return true;
}
