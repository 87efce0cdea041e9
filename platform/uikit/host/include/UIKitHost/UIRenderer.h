// Draws what the toolkit holds: the visible windows with their views, then
// the showing alert as a modal panel over a dimmed screen, all with the
// presentation values at the clock's current time.
//
// Views draw through their layers (background, corner radius, alpha as one
// group, clipping); on top of that each view draws its own content and
// overlay (UIView::drawContent, drawOverlay: labels and text fields their
// text, buttons their background image, image and title, image views their
// image, table cells their separator line) and adds what decides them to the
// screen's digest (UIView::digestContent). The renderer knows no view kind.
//
// Fonts: faces the machine lacks are replaced by look-alikes that keep the
// size (see UIDrawing::fontFamilyFor).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuartzCore/CARenderer.h"
#include "QuartzCore/CGContext.h"
#include "UIKit/UIDrawing.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIKitForward.h"
#include "UIKit/UIView.h"

class UIRenderer : public CALayerDrawDelegate {
 public:
  UIRenderer();
  ~UIRenderer() override;

  // The whole screen at a scale (0: the screen's own), black where no
  // window covers it.
  std::unique_ptr<CGContext> renderScreen(double scale = 0);
  // The same into a context the size of the screen in points.
  void drawScreen(CGContext& context);
  // One view and its subviews, placed by its frame in the context's current
  // coordinates (those of its superview).
  void drawView(CGContext& context, UIView* view);
  // Writes the screen as a PNG to a host path (640 x 1136 pixels for a
  // 320 x 568 screen at scale 2); false when it cannot be written.
  bool writeScreenshot(const std::string& hostPath, double scale = 0);

  // Where the parts of the showing alert lie on the screen, in points.
  struct AlertLayout {
    CGRect panel;
    CGRect title;
    CGRect message;
    std::vector<CGRect> buttons;  // by button index
  };
  std::optional<AlertLayout> layoutAlert(UIAlertView* alert);
  // The index of the showing alert's button under a screen point, or -1.
  long alertButtonAtPoint(CGPoint point);

  // Whether something on screen moves by itself now: a layer animation in
  // flight, or a scroll view gliding. A window redraws at frame rate while
  // this holds and sleeps otherwise.
  bool isAnimating();
  // A digest of everything the screen shows (presentation values, texts,
  // images, alerts): equal digests draw equal pictures, so a window skips
  // frames that would not change.
  uint64_t screenDigest();

  // CALayerDrawDelegate
  void drawLayerContent(CGContext& context, CALayer* layer) override;
  void drawLayerOverlay(CGContext& context, CALayer* layer) override;

 private:
  void drawAlert(CGContext& context, UIAlertView* alert);
  CGContext& measuringContext();

  CARenderer renderer_;
  UIImageCache images_;
  std::unique_ptr<CGContext> measure_;
  // When each layer animation was first seen, for those whose begin time is
  // implicit (see isAnimating).
  struct SeenAnimation {
    objc::Weak<objc::Object> animation;
    double firstSeen;
  };
  std::map<const void*, SeenAnimation> seen_;
};
