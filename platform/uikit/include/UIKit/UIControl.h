// Controls: views that track a touch themselves and send actions to targets
// for control events. A touch lifting inside the control, or within
// kUIControlTouchSlack points around it, is touch-up-inside.
#pragma once

#include <vector>

#include "UIKit/UIView.h"

using UIControlEvents = NSUInteger;
enum : NSUInteger {
  UIControlEventTouchDown = 1 << 0,
  UIControlEventTouchDownRepeat = 1 << 1,
  UIControlEventTouchDragInside = 1 << 2,
  UIControlEventTouchDragOutside = 1 << 3,
  UIControlEventTouchDragEnter = 1 << 4,
  UIControlEventTouchDragExit = 1 << 5,
  UIControlEventTouchUpInside = 1 << 6,
  UIControlEventTouchUpOutside = 1 << 7,
  UIControlEventTouchCancel = 1 << 8,
  UIControlEventValueChanged = 1 << 12,
  UIControlEventEditingDidBegin = 1 << 16,
  UIControlEventEditingChanged = 1 << 17,
  UIControlEventEditingDidEnd = 1 << 18,
  UIControlEventEditingDidEndOnExit = 1 << 19,
  UIControlEventAllTouchEvents = 0x00000FFF,
  UIControlEventAllEditingEvents = 0x000F0000,
  UIControlEventAllEvents = 0xFFFFFFFF,
};

using UIControlState = NSUInteger;
enum : NSUInteger {
  UIControlStateNormal = 0,
  UIControlStateHighlighted = 1 << 0,
  UIControlStateDisabled = 1 << 1,
  UIControlStateSelected = 1 << 2,
};

enum class UIControlContentHorizontalAlignment { Center, Left, Right, Fill };
enum class UIControlContentVerticalAlignment { Center, Top, Bottom, Fill };

// How far outside its bounds a touch may lift and still count as inside.
inline constexpr double kUIControlTouchSlack = 70;

class UIControl : public UIView {
  OBJC_CLASS(UIControl)
 public:
  explicit UIControl(CGRect frame = CGRectZero);

  // Targets are not retained (as on the platform). A null target sends the
  // action up the responder chain from the control to the first responder
  // object whose class answers the selector.
  void addTarget(objc::Object* target, objc::SEL action, UIControlEvents events);
  void addTarget(objc::Object* target, const char* action, UIControlEvents events);
  // A null target or action matches all.
  void removeTarget(objc::Object* target, objc::SEL action, UIControlEvents events);
  UIControlEvents allControlEvents() const;
  // Sends the actions registered for any of the events, in the order added.
  void sendActionsForControlEvents(UIControlEvents events);
  size_t targetCount() const { return targets_.size(); }

  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool enabled) { enabled_ = enabled; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
  bool isTracking() const { return tracking_; }
  UIControlState state() const;
  UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
  void setContentHorizontalAlignment(UIControlContentHorizontalAlignment a) { hAlign_ = a; }
  UIControlContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
  void setContentVerticalAlignment(UIControlContentVerticalAlignment a) { vAlign_ = a; }

  // Tracking hooks, as on the platform: return false to stop tracking.
  virtual bool beginTrackingWithTouch(UITouch* touch, UIEvent* event);
  virtual bool continueTrackingWithTouch(UITouch* touch, UIEvent* event);
  virtual void endTrackingWithTouch(UITouch* touch, UIEvent* event);
  virtual void cancelTrackingWithEvent(UIEvent* event);

  void touchesBegan(UITouch* touch, UIEvent* event) override;
  void touchesMoved(UITouch* touch, UIEvent* event) override;
  void touchesEnded(UITouch* touch, UIEvent* event) override;
  void touchesCancelled(UITouch* touch, UIEvent* event) override;
  bool allowsGestureRecognizerToBegin(UIGestureRecognizer* recognizer) override;

 protected:
  // True when a point (in this view's coordinates) is within the slack.
  bool isInsideWithSlack(CGPoint point) const;

 private:
  struct Target {
    objc::Weak<objc::Object> target;
    objc::SEL action;
    UIControlEvents events;
  };
  std::vector<Target> targets_;
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
  bool tracking_ = false;
  bool touchInside_ = false;
  bool touchActive_ = false;  // a touch began on the control and has not ended
  UIControlContentHorizontalAlignment hAlign_ = UIControlContentHorizontalAlignment::Center;
  UIControlContentVerticalAlignment vAlign_ = UIControlContentVerticalAlignment::Center;
};
