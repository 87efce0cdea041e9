#include "UIKit/UISlider.h"

#include <algorithm>

#include "UIKit/UIDrawing.h"

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

void UISlider::drawContent(UIDrawing& drawing, CGRect bounds) const {
  // A thin track, blue up to the value, and a round white thumb.
  CGContext& context = drawing.context();
  double range = max_ - min_;
  double t = range > 0 ? (value_ - min_) / range : 0;
  double thumb = std::min<double>(bounds.size.height, 28);
  double left = bounds.origin.x + thumb / 2, width = std::max<double>(bounds.size.width - thumb, 0);
  double midY = bounds.origin.y + bounds.size.height / 2;
  double x = left + width * std::clamp(t, 0.0, 1.0);
  context.fillRoundedRect(CGRectMake(left, midY - 1, width, 2), 1, UIDrawing::kSeparatorGrey);
  context.fillRoundedRect(CGRectMake(left, midY - 1, x - left, 2), 1, UIDrawing::kCaretBlue);
  CGRect knob = CGRectMake(x - thumb / 2, midY - thumb / 2, thumb, thumb);
  context.fillRoundedRect(knob, thumb / 2, {1, 1, 1, 1});
  context.strokeRoundedRect(knob, thumb / 2, 0.5, UIDrawing::kSeparatorGrey);
}

void UISlider::digestContent(UIDigest& d) const {
  d.number(value_);
  d.number(min_);
  d.number(max_);
}
