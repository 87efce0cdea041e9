#include "QuartzCore/CAShapeLayer.h"

OBJC_CLASS_IMPL(CAShapeLayer, CALayer, nullptr)

CAValue CAShapeLayer::valueForKeyPath(std::string_view k) const {
  if (k == "strokeStart") return strokeStart_;
  if (k == "strokeEnd") return strokeEnd_;
  if (k == "lineWidth") return lineWidth_;
  if (k == "strokeColor") return strokeColor_ ? CAValue(*strokeColor_) : CAValue();
  if (k == "fillColor") return fillColor_ ? CAValue(*fillColor_) : CAValue();
  return CALayer::valueForKeyPath(k);
}

void CAShapeLayer::setValueForKeyPath(std::string_view k, const CAValue& v) {
  auto color = [&]() {
    return v.kind() == CAValue::Kind::Color ? CGColorRef(v.color()) : CGColorRef();
  };
  if (k == "strokeStart")
    strokeStart_ = v.number();
  else if (k == "strokeEnd")
    strokeEnd_ = v.number();
  else if (k == "lineWidth")
    lineWidth_ = v.number();
  else if (k == "strokeColor")
    strokeColor_ = color();
  else if (k == "fillColor")
    fillColor_ = color();
  else
    CALayer::setValueForKeyPath(k, v);
}

double CAShapeLayer::presentationStrokeStart() const {
  return presentationValueForKeyPath("strokeStart").number();
}
double CAShapeLayer::presentationStrokeEnd() const {
  return presentationValueForKeyPath("strokeEnd").number();
}
double CAShapeLayer::presentationLineWidth() const {
  return presentationValueForKeyPath("lineWidth").number();
}
