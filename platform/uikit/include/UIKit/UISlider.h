// Sliders: a value between a minimum and a maximum; dragging along the
// slider sets it and sends value-changed.
#pragma once

#include "UIKit/UIControl.h"

class UISlider : public UIControl {
  OBJC_CLASS(UISlider)
 public:
  explicit UISlider(CGRect frame = CGRectZero);

  float value() const { return value_; }
  // Clamped to the range.
  void setValue(float value);
  // The platform's animated form, for its callers: the thumb moves at once.
  void setValue(float value, bool /*animated*/) { setValue(value); }
  float minimumValue() const { return min_; }
  void setMinimumValue(float v);
  float maximumValue() const { return max_; }
  void setMaximumValue(float v);
  bool isContinuous() const { return continuous_; }
  void setContinuous(bool c) { continuous_ = c; }

  bool beginTrackingWithTouch(UITouch* touch, UIEvent* event) override;
  bool continueTrackingWithTouch(UITouch* touch, UIEvent* event) override;
  void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;

  void drawContent(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  void trackTo(UITouch* touch);
  float value_ = 0;
  float min_ = 0;
  float max_ = 1;
  bool continuous_ = true;
  bool changedWhileTracking_ = false;
};
