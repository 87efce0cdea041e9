#include "QuartzCore/CALayer.h"

#include <algorithm>
#include <cstdio>

#include "Foundation/RunLoop.h"

OBJC_CLASS_IMPL(CALayer, objc::Object, nullptr)

// One animation stored on a layer, with its resolved values and timing.
struct CALayer::Attached {
  std::string key;
  objc::Ref<CAAnimation> anim;
  std::string keyPath;
  CAValue from;
  CAValue to;  // None: the model value
  double begin = 0;
  std::function<void(bool)> handler;
  ns::RunLoop::TaskId endTask = 0;
  bool stopped = false;   // removed from the layer, or ended and removed on completion
  bool notified = false;  // the stop was reported (it is reported once)

  double end() const { return begin + std::max(anim->duration(), 0.0); }
};

namespace {
// Tells an animation's delegate and stop handler; runs from the run loop only.
void reportStop(const objc::Ref<CAAnimation>& anim, std::function<void(bool)> handler,
                bool finished) {
  if (auto* d = dynamic_cast<CAAnimationDelegate*>(anim->delegate()))
    d->animationDidStop(anim.get(), finished);
  if (handler) handler(finished);
}
}  // namespace

CGRect CALayerState::frame() const {
  return CGRectMake(position.x - anchorPoint.x * bounds.size.width,
                    position.y - anchorPoint.y * bounds.size.height, bounds.size.width,
                    bounds.size.height);
}

CALayer::CALayer() = default;

CALayer::~CALayer() {
  for (auto& a : animations_) stopAnimation(*a, false, true);
  for (auto& s : sublayers_) s->superlayer_ = nullptr;
}

void CALayer::setFrame(CGRect f) {
  f = CGRectStandardize(f);
  state_.bounds.size = f.size;
  state_.position = CGPointMake(f.origin.x + state_.anchorPoint.x * f.size.width,
                                f.origin.y + state_.anchorPoint.y * f.size.height);
}

// --- tree --------------------------------------------------------------------

void CALayer::addSublayer(CALayer* layer) {
  insertSublayer(layer, SIZE_MAX);
}

void CALayer::insertSublayer(CALayer* layer, size_t index) {
  if (!layer || layer == this || isDescendantOf(layer)) return;
  objc::Ref<CALayer> keep(layer);
  layer->removeFromSuperlayer();
  index = std::min(index, sublayers_.size());
  sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), keep);
  layer->superlayer_ = this;
}

void CALayer::insertSublayerBelow(CALayer* layer, CALayer* sibling) {
  if (!sibling || sibling->superlayer_ != this || sibling == layer) return addSublayer(layer);
  objc::Ref<CALayer> keep(layer);
  if (layer) layer->removeFromSuperlayer();
  auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
  insertSublayer(layer, static_cast<size_t>(it - sublayers_.begin()));
}

void CALayer::insertSublayerAbove(CALayer* layer, CALayer* sibling) {
  if (!sibling || sibling->superlayer_ != this || sibling == layer) return addSublayer(layer);
  objc::Ref<CALayer> keep(layer);
  if (layer) layer->removeFromSuperlayer();
  auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
  insertSublayer(layer, static_cast<size_t>(it - sublayers_.begin()) + 1);
}

void CALayer::removeFromSuperlayer() {
  CALayer* parent = superlayer_;
  if (!parent) return;
  objc::Ref<CALayer> keep(this);
  superlayer_ = nullptr;
  auto& list = parent->sublayers_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool CALayer::isDescendantOf(const CALayer* ancestor) const {
  for (const CALayer* l = this; l; l = l->superlayer_)
    if (l == ancestor) return true;
  return false;
}

// --- animations --------------------------------------------------------------

CAAnimation* CALayer::addAnimation(CAAnimation* anim, std::string key) {
  if (!anim) return nullptr;
  if (key.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "#anim%llu",
                  static_cast<unsigned long long>(nextAnimationKey_++));
    key = buf;
  }
  auto a = std::make_shared<Attached>();
  a->key = key;
  a->anim = anim->copy();
  a->begin = anim->beginTime() > 0 ? anim->beginTime() : CACurrentMediaTime();
  if (auto* prop = dynamic_cast<CAPropertyAnimation*>(anim)) a->keyPath = prop->keyPath();
  if (auto* basic = dynamic_cast<CABasicAnimation*>(anim)) {
    // The start is resolved now, before the replaced animation goes.
    a->from = basic->fromValue() ? basic->fromValue() : presentationValueForKeyPath(a->keyPath);
    a->to = basic->toValue();
  }
  removeAnimationForKey(key);
  dropEnded();
  animations_.push_back(a);
  if (a->anim->delegate()) {
    ns::RunLoop::main().performAfter(0, [weak = std::weak_ptr<Attached>(a)] {
      auto live = weak.lock();
      if (!live || live->notified) return;
      if (auto* d = dynamic_cast<CAAnimationDelegate*>(live->anim->delegate()))
        d->animationDidStart(live->anim.get());
    });
    setAnimationStopHandler(key, nullptr);  // arms the end for the delegate
  }
  return a->anim.get();
}

void CALayer::setAnimationStopHandler(const std::string& key, std::function<void(bool)> handler) {
  for (auto& a : animations_) {
    if (a->key != key || a->stopped) continue;
    if (handler) a->handler = std::move(handler);
    if (!a->endTask) {
      // The task keeps the record, not the layer: a layer that goes away
      // stops its animations itself.
      a->endTask = ns::RunLoop::main().scheduleAtUptime(a->end(), [rec = a] {
        rec->endTask = 0;
        if (rec->notified) return;
        rec->notified = true;
        if (rec->anim->isRemovedOnCompletion()) rec->stopped = true;
        reportStop(rec->anim, std::move(rec->handler), true);
      });
    }
    return;
  }
}

void CALayer::stopAnimation(Attached& a, bool finished, bool deferred) {
  a.stopped = true;
  if (a.endTask) ns::RunLoop::main().cancel(std::exchange(a.endTask, 0));
  if (a.notified) return;
  a.notified = true;
  if (!a.handler && !a.anim->delegate()) return;
  // An animation removed at or after its end has finished all the same.
  if (CACurrentMediaTime() >= a.end()) finished = true;
  auto run = [anim = a.anim, handler = std::move(a.handler), finished]() mutable {
    reportStop(anim, std::move(handler), finished);
  };
  if (deferred)
    ns::RunLoop::main().performAfter(0, std::move(run));
  else
    run();
}

void CALayer::removeAnimationForKey(const std::string& key) {
  for (auto it = animations_.begin(); it != animations_.end(); ++it) {
    if ((*it)->key != key) continue;
    auto rec = *it;
    animations_.erase(it);
    stopAnimation(*rec, false, true);
    return;
  }
}

void CALayer::removeAllAnimations() {
  auto list = std::move(animations_);
  animations_.clear();
  for (auto& rec : list) stopAnimation(*rec, false, true);
}

void CALayer::dropEnded() const {
  double now = CACurrentMediaTime();
  std::erase_if(animations_, [now](const std::shared_ptr<Attached>& a) {
    return a->anim->isRemovedOnCompletion() && now >= a->end() && !a->endTask;
  });
}

CAAnimation* CALayer::animationForKey(const std::string& key) const {
  dropEnded();
  for (auto& a : animations_)
    if (a->key == key) return a->anim.get();
  return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
  dropEnded();
  std::vector<std::string> keys;
  for (auto& a : animations_) keys.push_back(a->key);
  return keys;
}

// --- values ------------------------------------------------------------------

namespace {
CAValue colorValue(const CGColorRef& c) {
  return c ? CAValue(*c) : CAValue();
}
CGColorRef colorFrom(const CAValue& v) {
  return v.kind() == CAValue::Kind::Color ? CGColorRef(v.color()) : CGColorRef();
}
}  // namespace

CAValue CALayer::valueForKeyPath(std::string_view k) const {
  if (k == "position") return state_.position;
  if (k == "bounds") return state_.bounds;
  if (k == "opacity") return static_cast<double>(state_.opacity);
  if (k == "backgroundColor") return colorValue(state_.backgroundColor);
  if (k == "cornerRadius") return state_.cornerRadius;
  if (k == "borderWidth") return state_.borderWidth;
  if (k == "borderColor") return colorValue(state_.borderColor);
  return {};
}

void CALayer::setValueForKeyPath(std::string_view k, const CAValue& v) {
  if (k == "position")
    state_.position = v.point();
  else if (k == "bounds")
    state_.bounds = v.rect();
  else if (k == "opacity")
    state_.opacity = static_cast<float>(v.number());
  else if (k == "backgroundColor")
    state_.backgroundColor = colorFrom(v);
  else if (k == "cornerRadius")
    state_.cornerRadius = v.number();
  else if (k == "borderWidth")
    state_.borderWidth = v.number();
  else if (k == "borderColor")
    state_.borderColor = colorFrom(v);
}

CAValue CALayer::presentationValueForKeyPath(std::string_view keyPath) const {
  CAValue model = valueForKeyPath(keyPath);
  dropEnded();
  if (animations_.empty()) return model;
  double now = CACurrentMediaTime();
  CAValue value = model;
  // Later animations of a key path cover earlier ones.
  for (auto& a : animations_) {
    if (a->stopped && a->anim->isRemovedOnCompletion()) continue;
    if (a->keyPath != keyPath) continue;
    CAFillMode fill = a->anim->fillMode();
    CAValue to = a->to ? a->to : model;
    double t = now - a->begin;
    double duration = a->anim->duration();
    if (t < 0) {
      if (fill == CAFillMode::Backwards || fill == CAFillMode::Both) value = a->from;
    } else if (duration <= 0 || t >= duration) {
      if (!a->anim->isRemovedOnCompletion() &&
          (fill == CAFillMode::Forwards || fill == CAFillMode::Both))
        value = to;
    } else {
      value = CAValue::interpolate(a->from, to, a->anim->timingFunction().evaluate(t / duration));
    }
  }
  return value;
}

CALayerState CALayer::presentationState() const {
  CALayerState s = state_;
  dropEnded();
  if (animations_.empty()) return s;
  s.position = presentationValueForKeyPath("position").point();
  s.bounds = presentationValueForKeyPath("bounds").rect();
  s.opacity = static_cast<float>(presentationValueForKeyPath("opacity").number());
  s.backgroundColor = colorFrom(presentationValueForKeyPath("backgroundColor"));
  s.cornerRadius = presentationValueForKeyPath("cornerRadius").number();
  s.borderWidth = presentationValueForKeyPath("borderWidth").number();
  s.borderColor = colorFrom(presentationValueForKeyPath("borderColor"));
  return s;
}

// --- coordinates ---------------------------------------------------------------

CGPoint CALayer::toRoot(CGPoint p) const {
  for (const CALayer* l = this; l->superlayer_; l = l->superlayer_) {
    CGRect f = l->frame();
    p = CGPointMake(f.origin.x + p.x - l->state_.bounds.origin.x,
                    f.origin.y + p.y - l->state_.bounds.origin.y);
  }
  return p;
}

CGPoint CALayer::fromRoot(CGPoint p) const {
  std::vector<const CALayer*> chain;
  for (const CALayer* l = this; l->superlayer_; l = l->superlayer_) chain.push_back(l);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    CGRect f = (*it)->frame();
    p = CGPointMake(p.x - f.origin.x + (*it)->state_.bounds.origin.x,
                    p.y - f.origin.y + (*it)->state_.bounds.origin.y);
  }
  return p;
}

CGPoint CALayer::convertPointToLayer(CGPoint p, const CALayer* layer) const {
  CGPoint root = toRoot(p);
  return layer ? layer->fromRoot(root) : root;
}

CGPoint CALayer::convertPointFromLayer(CGPoint p, const CALayer* layer) const {
  return fromRoot(layer ? layer->toRoot(p) : p);
}
