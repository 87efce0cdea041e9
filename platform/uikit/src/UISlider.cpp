#include "UIKit/UISlider.h"

#include <algorithm>

OBJC_CLASS_IMPL(UISlider, UIControl, nullptr)

UISlider::UISlider(CGRect frame) : UIControl(frame) {
  setOpaque(false);
}

void UISlider::setValue(float value) {
  value_ = std::clamp(value, min_, std::max(min_, max_));
}

void UISlider::setMinimumValue(float v) {
  min_ = v;
  if (max_ < min_) max_ = min_;
  setValue(value_);
}

void UISlider::setMaximumValue(float v) {
  max_ = v;
  if (min_ > max_) min_ = max_;
  setValue(value_);
}

void UISlider::trackTo(UITouch* touch) {
  double w = bounds().size.width;
  if (w <= 0) return;
  double fraction = std::clamp(touch->locationInView(this).x / w, 0.0, 1.0);
  float old = value_;
  setValue(static_cast<float>(min_ + fraction * (max_ - min_)));
  if (value_ == old) return;
  if (continuous_)
    sendActionsForControlEvents(UIControlEventValueChanged);
  else
    changedWhileTracking_ = true;
}

bool UISlider::beginTrackingWithTouch(UITouch* touch, UIEvent*) {
  changedWhileTracking_ = false;
  trackTo(touch);
  return true;
}

bool UISlider::continueTrackingWithTouch(UITouch* touch, UIEvent*) {
  trackTo(touch);
  return true;
}

void UISlider::endTrackingWithTouch(UITouch*, UIEvent*) {
  if (changedWhileTracking_) sendActionsForControlEvents(UIControlEventValueChanged);
  changedWhileTracking_ = false;
}
