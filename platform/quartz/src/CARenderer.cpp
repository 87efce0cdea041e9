#include "QuartzCore/CARenderer.h"

#include "QuartzCore/CAShapeLayer.h"

namespace {
CGColorRef colorValue(const CAValue& v) {
  return v.kind() == CAValue::Kind::Color ? CGColorRef(v.color()) : CGColorRef();
}

CGLineCap capNamed(const std::string& name) {
  if (name == kCALineCapRound) return CGLineCap::Round;
  if (name == kCALineCapSquare) return CGLineCap::Square;
  return CGLineCap::Butt;
}
}  // namespace

void CARenderer::render(CGContext& context, CALayer* layer) {
  drawn_ = 0;
  if (layer) drawLayer(context, layer);
}

void CARenderer::drawLayer(CGContext& context, CALayer* layer) {
  CALayerState s = layer->presentationState();
  if (s.hidden || s.opacity <= 0) return;
  ++drawn_;
  // Hold the layer: a delegate's drawing must not be able to free it.
  objc::Ref<CALayer> keep(layer);
  CGRect frame = s.frame();
  CGRect bounds = s.bounds;
  bool group = s.opacity < 1;

  context.saveGState();
  context.translate(frame.origin.x, frame.origin.y);
  if (group) context.beginTransparencyLayer();
  context.translate(-bounds.origin.x, -bounds.origin.y);

  if (s.backgroundColor) context.fillRoundedRect(bounds, s.cornerRadius, *s.backgroundColor);

  context.saveGState();
  if (s.masksToBounds) context.clipToRoundedRect(bounds, s.cornerRadius);
  if (auto* shape = dynamic_cast<CAShapeLayer*>(layer)) drawShape(context, shape);
  if (delegate_) delegate_->drawLayerContent(context, layer);
  // A copy: drawing may not change the tree, but a delegate could.
  std::vector<objc::Ref<CALayer>> sublayers = layer->sublayers();
  for (const auto& sub : sublayers) drawLayer(context, sub.get());
  context.restoreGState();

  if (s.borderColor && s.borderWidth > 0)
    context.strokeRoundedRect(bounds, s.cornerRadius, s.borderWidth, *s.borderColor);
  if (delegate_) delegate_->drawLayerOverlay(context, layer);

  if (group) context.endTransparencyLayer(s.opacity);
  context.restoreGState();
}

void CARenderer::drawShape(CGContext& context, CAShapeLayer* shape) {
  const CGPath& path = shape->path();
  if (path.isEmpty()) return;
  if (CGColorRef fill = colorValue(shape->presentationValueForKeyPath("fillColor")))
    context.fillPath(path, *fill);
  if (CGColorRef stroke = colorValue(shape->presentationValueForKeyPath("strokeColor")))
    context.strokePath(path, shape->presentationLineWidth(), *stroke, capNamed(shape->lineCap()),
                       shape->presentationStrokeStart(), shape->presentationStrokeEnd());
}
