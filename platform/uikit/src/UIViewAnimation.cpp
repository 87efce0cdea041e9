#include "UIViewAnimation.h"

#include <algorithm>
#include <cmath>

#include "Foundation/RunLoop.h"

namespace {
CAMediaTimingFunction curveFor(UIViewAnimationOptions options) {
  switch ((options >> 16) & 3) {
    case 1:
      return CAMediaTimingFunction::easeIn();
    case 2:
      return CAMediaTimingFunction::easeOut();
    case 3:
      return CAMediaTimingFunction::linear();
    default:
      return CAMediaTimingFunction::easeInEaseOut();
  }
}
}  // namespace

void UIViewAnimation::Group::release(bool animationFinished) {
  if (!animationFinished) finished = false;
  if (--pending > 0) return;
  if (auto c = std::move(completion)) c(finished);
}

UIViewAnimation::Scope::Scope(UIViewAnimation& engine, Context context)
    : engine_(engine), depth_(engine.stack_.size()) {
  engine_.stack_.push_back(std::move(context));
}

UIViewAnimation::Scope::~Scope() {
  auto& stack = engine_.stack_;
  stack.erase(stack.begin() + static_cast<std::ptrdiff_t>(std::min(depth_, stack.size())),
              stack.end());
}

UIViewAnimation& UIViewAnimation::shared() {
  static UIViewAnimation engine;
  return engine;
}

void UIViewAnimation::animate(double duration, double delay, UIViewAnimationOptions options,
                              const std::function<void()>& animations,
                              std::function<void(bool)> completion) {
  auto group = std::make_shared<Group>();
  group->completion = std::move(completion);
  // Negative or not-a-number times run at once rather than corrupt the clock.
  duration = std::isfinite(duration) ? std::max(duration, 0.0) : 0.0;
  delay = std::isfinite(delay) ? std::max(delay, 0.0) : 0.0;
  {
    Scope scope(*this, {duration, delay, curveFor(options), group, enabled_});
    if (animations) animations();
  }
  if (group->pending == 1) {
    // Nothing was animated: the completion still waits for the duration,
    // and never runs inside this call.
    ns::RunLoop::main().performAfter(delay + duration, [group] { group->release(true); });
  } else {
    group->release(true);
  }
}

void UIViewAnimation::performWithoutAnimation(const std::function<void()>& actions) {
  Scope scope(*this, {0, 0, {}, nullptr, false});
  if (actions) actions();
}

bool UIViewAnimation::inAnimationBlock() const {
  return !stack_.empty() && stack_.back().group;
}

void UIViewAnimation::setLayerValue(CALayer* layer, const char* keyPath, const CAValue& value) {
  if (stack_.empty() || !stack_.back().enabled || !stack_.back().group) {
    layer->setValueForKeyPath(keyPath, value);
    return;
  }
  const Context& ctx = stack_.back();
  // The animation starts where the property is on screen now, so a second
  // animation of a moving property carries on from there.
  CAValue from = layer->presentationValueForKeyPath(keyPath);
  layer->setValueForKeyPath(keyPath, value);
  auto anim = CABasicAnimation::animationWithKeyPath(keyPath);
  anim->setFromValue(from);
  anim->setToValue(value);
  anim->setDuration(ctx.duration);
  anim->setTimingFunction(ctx.timing);
  // During the delay the old value stays on screen.
  anim->setFillMode(CAFillMode::Backwards);
  if (ctx.delay > 0) anim->setBeginTime(CACurrentMediaTime() + ctx.delay);
  layer->addAnimation(anim, keyPath);
  auto group = ctx.group;
  ++group->pending;
  layer->setAnimationStopHandler(keyPath, [group](bool finished) { group->release(finished); });
}
