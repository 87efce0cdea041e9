// What a view draws its own content with (UIView::drawContent and
// drawOverlay): the picture being drawn, the renderer's decoded images and
// the toolkit's look (stand-in fonts, the platform's greys and blues). And
// the digest a view adds the values that decide its drawing to
// (UIView::digestContent).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "QuartzCore/CAValue.h"
#include "QuartzCore/CGContext.h"
#include "UIKit/UIKitForward.h"
#include "UIKit/UIView.h"

// Decoded pictures by host path (the file of a UIImage does not change while
// the program runs).
class UIImageCache {
 public:
  // Null for no image or one that cannot be decoded.
  const CGImage* imageFor(const UIImage* image);

 private:
  std::map<std::string, std::shared_ptr<CGImage>> images_;
};

class UIDrawing {
 public:
  UIDrawing(CGContext& context, UIImageCache& images) : context_(context), images_(images) {}

  CGContext& context() const { return context_; }
  const CGImage* imageFor(const UIImage* image) const { return images_.imageFor(image); }

  // The platform's look for what the model leaves open.
  static constexpr CGColor kPlaceholderGrey{0.7, 0.7, 0.7, 1};
  static constexpr CGColor kCaretBlue{0.26, 0.42, 0.95, 1};
  // Behind selected text.
  static constexpr CGColor kSelectionBlue{0.70, 0.83, 1.0, 1};
  static constexpr CGColor kSeparatorGrey{0.78, 0.78, 0.8, 1};
  static constexpr CGColor kTintBlue{0, 0.478, 1, 1};

  // The fontconfig family that stands in for a platform font name:
  // "Futura" -> "URW Gothic" (a geometric sans), the interface font and
  // Helvetica-like names -> "Nimbus Sans"; any other name is passed on.
  static std::string fontFamilyFor(const std::string& fontName);
  static bool fontIsBold(const std::string& fontName);
  // The font's stand-in face and size in a colour (black when null).
  static CGTextStyle textStyleFor(const UIFont* font, const CGColorRef& color);
  // NSTextAlignment (UILabel.h) as drawn: natural and justified are left.
  static CGTextAlignment alignmentOf(NSInteger textAlignment);
  static CGColor withAlpha(CGColor color, double factor);
  // Where an image of a size goes in a box for a view's content mode.
  static CGRect placeImage(CGSize image, CGRect box, UIViewContentMode mode);

 private:
  CGContext& context_;
  UIImageCache& images_;
};

// FNV-1a over the values that decide the picture: equal digests draw equal
// pictures.
class UIDigest {
 public:
  void bytes(const void* p, size_t n);
  void number(double v) { bytes(&v, sizeof v); }
  void text(const std::string& s);
  void pointer(const void* p) { bytes(&p, sizeof p); }
  void rect(CGRect r);
  void color(const CGColorRef& c);
  void value(const CAValue& v);
  void font(const UIFont* font);
  uint64_t result() const { return h_; }

 private:
  uint64_t h_ = 1469598103934665603ULL;
};
