// Draws a layer tree into a drawing context with the presentation values at
// the clock's current time, so animations show mid-flight.
//
// Each layer, in its superlayer's coordinates: skipped when hidden or fully
// transparent; its background (rounded by the corner radius); its content
// (a shape layer's path, then whatever the draw delegate adds); its
// sublayers in order, clipped to its bounds when it masks to them; its
// border; then the delegate's overlay. A layer with an opacity below 1 is
// composited as one picture, so overlapping sublayers do not show through
// one another.
#pragma once

#include <cstddef>

#include "QuartzCore/CALayer.h"
#include "QuartzCore/CGContext.h"

class CAShapeLayer;

// What a layer's owner draws. Every method works in the layer's own
// coordinates: the visible part is the layer's (presentation) bounds.
class CALayerDrawDelegate {
 public:
  virtual ~CALayerDrawDelegate() = default;
  // After the background, below the sublayers.
  virtual void drawLayerContent(CGContext&, CALayer*) {}
  // Above the sublayers and the border.
  virtual void drawLayerOverlay(CGContext&, CALayer*) {}
};

class CARenderer {
 public:
  explicit CARenderer(CALayerDrawDelegate* delegate = nullptr) : delegate_(delegate) {}

  CALayerDrawDelegate* delegate() const { return delegate_; }
  void setDelegate(CALayerDrawDelegate* delegate) { delegate_ = delegate; }

  // Draws layer and its sublayers, placed by the layer's frame in the
  // context's current coordinates (those of its superlayer).
  void render(CGContext& context, CALayer* layer);

  // How many layers the last render drew (for tests and benchmarks).
  size_t layersDrawn() const { return drawn_; }

 private:
  void drawLayer(CGContext& context, CALayer* layer);
  void drawShape(CGContext& context, CAShapeLayer* shape);

  CALayerDrawDelegate* delegate_;
  size_t drawn_ = 0;
};
