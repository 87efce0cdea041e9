// The responder chain, touches and the first responder.
//
// Touches are single-finger: each carries one UITouch. A touch goes to the
// view it started on (the hit view) and, through the default implementations
// below, up the responder chain: view -> its view controller (if it is that
// controller's root view) -> superview ... -> window -> application ->
// application delegate. Gesture recognisers on the hit view and its
// ancestors see each touch first (see UIGestureRecognizer.h).
#pragma once

#include <string>
#include <vector>

#include "QuartzCore/CGGeometry.h"
#include "UIKit/UIKitForward.h"
#include "objc/runtime.h"

enum class UITouchPhase { Began, Moved, Stationary, Ended, Cancelled };

class UITouch : public objc::Object {
  OBJC_CLASS(UITouch)
 public:
  UITouch();
  ~UITouch() override;

  UITouchPhase phase() const { return phase_; }
  // Clock time of the last change.
  double timestamp() const { return timestamp_; }
  int tapCount() const { return 1; }
  // The view the touch started on (null when it hit nothing) and its window.
  UIView* view() const { return view_.get(); }
  UIWindow* window() const;
  // The touch's place in a view's coordinates (null view: the window's).
  CGPoint locationInView(const UIView* view) const;
  CGPoint previousLocationInView(const UIView* view) const;
  // The place where the touch started, in window coordinates.
  CGPoint startLocationInWindow() const { return start_; }
  // Recognisers that see this touch, innermost view first.
  const std::vector<objc::Ref<UIGestureRecognizer>>& gestureRecognizers() const;

 private:
  friend class UIWindow;
  UITouchPhase phase_ = UITouchPhase::Began;
  double timestamp_ = 0;
  CGPoint location_;  // window coordinates
  CGPoint previous_;
  CGPoint start_;
  objc::Ref<UIView> view_;
  objc::Weak<UIWindow> window_;
  std::vector<objc::Ref<UIGestureRecognizer>> recognizers_;
  bool deliverToView_ = true;  // false once a recogniser or the view cancelled it
};

class UIEvent : public objc::Object {
  OBJC_CLASS(UIEvent)
 public:
  UIEvent() = default;
  double timestamp() const { return timestamp_; }
  UITouch* touch() const { return touch_.get(); }

 private:
  friend class UIWindow;
  double timestamp_ = 0;
  objc::Ref<UITouch> touch_;
};

class UIResponder : public objc::Object {
  OBJC_CLASS(UIResponder)
 public:
  UIResponder() = default;
  ~UIResponder() override;

  virtual UIResponder* nextResponder() const { return nullptr; }

  // The first responder gets typed text and Return (see UIKeyInput).
  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool becomeFirstResponder();
  virtual bool canResignFirstResponder() const { return true; }
  virtual bool resignFirstResponder();
  bool isFirstResponder() const;
  static UIResponder* currentFirstResponder();

  // Each default passes the touch to the next responder.
  virtual void touchesBegan(UITouch* touch, UIEvent* event);
  virtual void touchesMoved(UITouch* touch, UIEvent* event);
  virtual void touchesEnded(UITouch* touch, UIEvent* event);
  virtual void touchesCancelled(UITouch* touch, UIEvent* event);

 protected:
  // For subclasses that take or give up the first responder status
  // themselves: sets or clears the process's first responder.
  static void setFirstResponder(UIResponder* responder);
};

// Text input, as the first responder receives it from the keyboard (or the
// automation driver).
class UIKeyInput {
 public:
  virtual ~UIKeyInput() = default;
  virtual bool hasText() const = 0;
  virtual void insertText(const std::string& text) = 0;
  virtual void deleteBackward() = 0;
  // The Return key.
  virtual void insertReturn() {}
};
