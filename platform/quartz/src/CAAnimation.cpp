#include "QuartzCore/CAAnimation.h"

OBJC_CLASS_IMPL(CAAnimation, objc::Object, nullptr)
OBJC_CLASS_IMPL(CAPropertyAnimation, CAAnimation, nullptr)
OBJC_CLASS_IMPL(CABasicAnimation, CAPropertyAnimation, nullptr)

void CAAnimation::copySettingsTo(CAAnimation& other) const {
  other.beginTime_ = beginTime_;
  other.duration_ = duration_;
  other.timing_ = timing_;
  other.removedOnCompletion_ = removedOnCompletion_;
  other.fillMode_ = fillMode_;
  other.delegate_ = delegate_.get();
}

objc::Ref<CAAnimation> CAAnimation::copy() const {
  auto c = objc::make<CAAnimation>();
  copySettingsTo(*c);
  return c;
}

void CAPropertyAnimation::copySettingsTo(CAPropertyAnimation& other) const {
  CAAnimation::copySettingsTo(other);
  other.keyPath_ = keyPath_;
}

objc::Ref<CAAnimation> CAPropertyAnimation::copy() const {
  auto c = objc::make<CAPropertyAnimation>();
  copySettingsTo(*c);
  return c;
}

objc::Ref<CABasicAnimation> CABasicAnimation::animationWithKeyPath(std::string keyPath) {
  auto a = objc::make<CABasicAnimation>();
  a->setKeyPath(std::move(keyPath));
  return a;
}

objc::Ref<CAAnimation> CABasicAnimation::copy() const {
  auto c = objc::make<CABasicAnimation>();
  copySettingsTo(*c);
  c->from_ = from_;
  c->to_ = to_;
  return c;
}
