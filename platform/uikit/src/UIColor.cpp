#include "UIKit/UIColor.h"

#include <cstdio>

OBJC_CLASS_IMPL(UIColor, objc::Object, nullptr)

objc::Ref<UIColor> UIColor::colorWithRed(double red, double green, double blue, double alpha) {
  return objc::make<UIColor>(::CGColor{red, green, blue, alpha});
}
objc::Ref<UIColor> UIColor::colorWithWhite(double white, double alpha) {
  return colorWithRed(white, white, white, alpha);
}
objc::Ref<UIColor> UIColor::colorWithCGColor(const ::CGColor& c) {
  return objc::make<UIColor>(c);
}

objc::Ref<UIColor> UIColor::blackColor() {
  return colorWithWhite(0, 1);
}
objc::Ref<UIColor> UIColor::darkGrayColor() {
  return colorWithWhite(1.0 / 3.0, 1);
}
objc::Ref<UIColor> UIColor::lightGrayColor() {
  return colorWithWhite(2.0 / 3.0, 1);
}
objc::Ref<UIColor> UIColor::whiteColor() {
  return colorWithWhite(1, 1);
}
objc::Ref<UIColor> UIColor::grayColor() {
  return colorWithWhite(0.5, 1);
}
objc::Ref<UIColor> UIColor::redColor() {
  return colorWithRed(1, 0, 0, 1);
}
objc::Ref<UIColor> UIColor::greenColor() {
  return colorWithRed(0, 1, 0, 1);
}
objc::Ref<UIColor> UIColor::blueColor() {
  return colorWithRed(0, 0, 1, 1);
}
objc::Ref<UIColor> UIColor::cyanColor() {
  return colorWithRed(0, 1, 1, 1);
}
objc::Ref<UIColor> UIColor::yellowColor() {
  return colorWithRed(1, 1, 0, 1);
}
objc::Ref<UIColor> UIColor::magentaColor() {
  return colorWithRed(1, 0, 1, 1);
}
objc::Ref<UIColor> UIColor::orangeColor() {
  return colorWithRed(1, 0.5, 0, 1);
}
objc::Ref<UIColor> UIColor::purpleColor() {
  return colorWithRed(0.5, 0, 0.5, 1);
}
objc::Ref<UIColor> UIColor::brownColor() {
  return colorWithRed(0.6, 0.4, 0.2, 1);
}
objc::Ref<UIColor> UIColor::clearColor() {
  return colorWithWhite(0, 0);
}

objc::Ref<UIColor> UIColor::colorWithAlphaComponent(double alpha) const {
  return objc::make<UIColor>(CGColorCreateCopyWithAlpha(color_, alpha));
}

std::string UIColor::description() const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "UIDeviceRGBColorSpace %g %g %g %g", color_.red, color_.green,
                color_.blue, color_.alpha);
  return buf;
}
