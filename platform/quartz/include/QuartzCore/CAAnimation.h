// Explicit layer animations. A layer keeps its own copy of an added
// animation, so one animation object can be configured and added again.
#pragma once

#include <functional>
#include <string>

#include "QuartzCore/CAMediaTiming.h"
#include "QuartzCore/CAValue.h"
#include "objc/runtime.h"

class CAAnimation;

// Told when an animation added to a layer starts and stops. Held weakly.
class CAAnimationDelegate {
 public:
  virtual ~CAAnimationDelegate() = default;
  virtual void animationDidStart(CAAnimation*) {}
  virtual void animationDidStop(CAAnimation*, bool /*finished*/) {}
};

class CAAnimation : public objc::Object {
  OBJC_CLASS(CAAnimation)
 public:
  CAAnimation() = default;
  static objc::Ref<CAAnimation> animation() { return objc::make<CAAnimation>(); }

  // Zero: the time the animation is added to a layer.
  double beginTime() const { return beginTime_; }
  void setBeginTime(double t) { beginTime_ = t; }
  double duration() const { return duration_; }
  void setDuration(double d) { duration_ = d; }
  // Unset: linear.
  const CAMediaTimingFunction& timingFunction() const { return timing_; }
  void setTimingFunction(const CAMediaTimingFunction& f) { timing_ = f; }
  bool isRemovedOnCompletion() const { return removedOnCompletion_; }
  void setRemovedOnCompletion(bool r) { removedOnCompletion_ = r; }
  CAFillMode fillMode() const { return fillMode_; }
  void setFillMode(CAFillMode m) { fillMode_ = m; }
  // An objc object that also implements CAAnimationDelegate; not retained.
  objc::Object* delegate() const { return delegate_.get(); }
  void setDelegate(objc::Object* d) { delegate_ = d; }

  // A copy with the same settings (what a layer stores).
  virtual objc::Ref<CAAnimation> copy() const;

 protected:
  void copySettingsTo(CAAnimation& other) const;

 private:
  double beginTime_ = 0;
  double duration_ = 0.25;  // the platform's default duration
  CAMediaTimingFunction timing_;
  bool removedOnCompletion_ = true;
  CAFillMode fillMode_ = CAFillMode::Removed;
  objc::Weak<objc::Object> delegate_;
};

class CAPropertyAnimation : public CAAnimation {
  OBJC_CLASS(CAPropertyAnimation)
 public:
  CAPropertyAnimation() = default;
  const std::string& keyPath() const { return keyPath_; }
  void setKeyPath(std::string k) { keyPath_ = std::move(k); }
  objc::Ref<CAAnimation> copy() const override;

 protected:
  void copySettingsTo(CAPropertyAnimation& other) const;

 private:
  std::string keyPath_;
};

// Interpolates one property from fromValue to toValue. A missing fromValue
// is the layer's presentation value when the animation is added; a missing
// toValue is the property's model value.
class CABasicAnimation : public CAPropertyAnimation {
  OBJC_CLASS(CABasicAnimation)
 public:
  CABasicAnimation() = default;
  static objc::Ref<CABasicAnimation> animationWithKeyPath(std::string keyPath);

  const CAValue& fromValue() const { return from_; }
  void setFromValue(const CAValue& v) { from_ = v; }
  const CAValue& toValue() const { return to_; }
  void setToValue(const CAValue& v) { to_ = v; }
  objc::Ref<CAAnimation> copy() const override;

 private:
  CAValue from_;
  CAValue to_;
};
