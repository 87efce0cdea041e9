// A layer that strokes and fills a path in its own coordinates.
#pragma once

#include <string>

#include "QuartzCore/CALayer.h"
#include "QuartzCore/CGPath.h"

inline const char* const kCALineCapButt = "butt";
inline const char* const kCALineCapRound = "round";
inline const char* const kCALineCapSquare = "square";

class CAShapeLayer : public CALayer {
  OBJC_CLASS(CAShapeLayer)
 public:
  CAShapeLayer() = default;
  static objc::Ref<CAShapeLayer> layer() { return objc::make<CAShapeLayer>(); }

  const CGPath& path() const { return path_; }
  void setPath(const CGPath& p) { path_ = p; }
  // The platform's defaults: opaque black fill, no stroke.
  const CGColorRef& fillColor() const { return fillColor_; }
  void setFillColor(CGColorRef c) { fillColor_ = c; }
  const CGColorRef& strokeColor() const { return strokeColor_; }
  void setStrokeColor(CGColorRef c) { strokeColor_ = c; }
  double lineWidth() const { return lineWidth_; }
  void setLineWidth(double w) { lineWidth_ = w; }
  // The stroked part of the path, as fractions of its length.
  double strokeStart() const { return strokeStart_; }
  void setStrokeStart(double s) { strokeStart_ = s; }
  double strokeEnd() const { return strokeEnd_; }
  void setStrokeEnd(double e) { strokeEnd_ = e; }
  const std::string& lineCap() const { return lineCap_; }
  void setLineCap(std::string cap) { lineCap_ = std::move(cap); }

  double presentationStrokeStart() const;
  double presentationStrokeEnd() const;
  double presentationLineWidth() const;

  CAValue valueForKeyPath(std::string_view keyPath) const override;
  void setValueForKeyPath(std::string_view keyPath, const CAValue& value) override;

 private:
  CGPath path_;
  CGColorRef fillColor_ = CGColor{0, 0, 0, 1};
  CGColorRef strokeColor_;
  double lineWidth_ = 1;
  double strokeStart_ = 0;
  double strokeEnd_ = 1;
  std::string lineCap_ = kCALineCapButt;
};
