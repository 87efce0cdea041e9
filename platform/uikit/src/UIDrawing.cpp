#include "UIKit/UIDrawing.h"

#include <algorithm>
#include <cctype>

#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"

namespace {
std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

// --- images ---------------------------------------------------------------------

const CGImage* UIImageCache::imageFor(const UIImage* image) {
  if (!image) return nullptr;
  auto it = images_.find(image->hostPath());
  if (it == images_.end())
    it = images_.emplace(image->hostPath(), CGImage::loadPNG(image->hostPath())).first;
  return it->second.get();
}

// --- fonts and text ---------------------------------------------------------------

std::string UIDrawing::fontFamilyFor(const std::string& fontName) {
  std::string name = lower(fontName);
  if (name.find("futura") != std::string::npos) return "URW Gothic";
  if (name.empty() || name.find("helvetica") != std::string::npos ||
      name.find("arial") != std::string::npos || name.rfind(".sfui", 0) == 0 ||
      name.rfind("system", 0) == 0)
    return "Nimbus Sans";
  // A family name as fontconfig knows it ("Foo-Bold" is family "Foo").
  return fontName.substr(0, fontName.find('-'));
}

bool UIDrawing::fontIsBold(const std::string& fontName) {
  std::string name = lower(fontName);
  return name.find("bold") != std::string::npos || name.find("medium") != std::string::npos ||
         name.find("heavy") != std::string::npos;
}

CGTextStyle UIDrawing::textStyleFor(const UIFont* font, const CGColorRef& color) {
  CGTextStyle style;
  if (font) {
    style.family = fontFamilyFor(font->fontName());
    style.bold = fontIsBold(font->fontName());
    style.pointSize = font->pointSize();
  }
  style.color = color ? *color : CGColor{0, 0, 0, 1};
  return style;
}

CGTextAlignment UIDrawing::alignmentOf(NSInteger textAlignment) {
  switch (textAlignment) {
    case NSTextAlignmentCenter:
      return CGTextAlignment::Center;
    case NSTextAlignmentRight:
      return CGTextAlignment::Right;
    default:
      return CGTextAlignment::Left;
  }
}

CGColor UIDrawing::withAlpha(CGColor color, double factor) {
  color.alpha *= factor;
  return color;
}

CGRect UIDrawing::placeImage(CGSize image, CGRect box, UIViewContentMode mode) {
  double w = image.width, h = image.height;
  if (w <= 0 || h <= 0) return box;
  double bx = box.origin.x, by = box.origin.y, bw = box.size.width, bh = box.size.height;
  switch (mode) {
    case UIViewContentModeScaleToFill:
    case UIViewContentModeRedraw:
      return box;
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
      double f = mode == UIViewContentModeScaleAspectFit ? std::min(bw / w, bh / h)
                                                         : std::max(bw / w, bh / h);
      w *= f;
      h *= f;
      return CGRectMake(bx + (bw - w) / 2, by + (bh - h) / 2, w, h);
    }
    default:
      break;
  }
  // The others keep the image's size and pin it to a side or the centre.
  double x = bx + (bw - w) / 2, y = by + (bh - h) / 2;
  if (mode == UIViewContentModeLeft || mode == UIViewContentModeTopLeft ||
      mode == UIViewContentModeBottomLeft)
    x = bx;
  if (mode == UIViewContentModeRight || mode == UIViewContentModeTopRight ||
      mode == UIViewContentModeBottomRight)
    x = bx + bw - w;
  if (mode == UIViewContentModeTop || mode == UIViewContentModeTopLeft ||
      mode == UIViewContentModeTopRight)
    y = by;
  if (mode == UIViewContentModeBottom || mode == UIViewContentModeBottomLeft ||
      mode == UIViewContentModeBottomRight)
    y = by + bh - h;
  return CGRectMake(x, y, w, h);
}

// --- digest -------------------------------------------------------------------------

void UIDigest::bytes(const void* p, size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 1099511628211ULL;
}

void UIDigest::text(const std::string& s) {
  number(static_cast<double>(s.size()));
  bytes(s.data(), s.size());
}

void UIDigest::rect(CGRect r) {
  number(r.origin.x);
  number(r.origin.y);
  number(r.size.width);
  number(r.size.height);
}

void UIDigest::color(const CGColorRef& c) {
  number(c ? 1 : 0);
  if (!c) return;
  number(c->red);
  number(c->green);
  number(c->blue);
  number(c->alpha);
}

void UIDigest::value(const CAValue& v) {
  number(static_cast<double>(v.kind()));
  if (v.kind() == CAValue::Kind::Color) return color(v.color());
  rect(v.rect());
}

void UIDigest::font(const UIFont* font) {
  text(font ? font->fontName() : std::string());
  number(font ? font->pointSize() : 0);
}
