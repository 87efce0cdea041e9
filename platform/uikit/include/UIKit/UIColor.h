// Colours as objects, with the platform's named colours.
#pragma once

#include <string>

#include "QuartzCore/CGColor.h"
#include "objc/runtime.h"

class UIColor : public objc::Object {
  OBJC_CLASS(UIColor)
 public:
  explicit UIColor(const ::CGColor& c) : color_(c) {}

  static objc::Ref<UIColor> colorWithRed(double red, double green, double blue, double alpha);
  static objc::Ref<UIColor> colorWithWhite(double white, double alpha);
  static objc::Ref<UIColor> colorWithCGColor(const ::CGColor& c);

  static objc::Ref<UIColor> blackColor();      // white 0
  static objc::Ref<UIColor> darkGrayColor();   // white 1/3
  static objc::Ref<UIColor> lightGrayColor();  // white 2/3
  static objc::Ref<UIColor> whiteColor();      // white 1
  static objc::Ref<UIColor> grayColor();       // white 0.5
  static objc::Ref<UIColor> redColor();        // 1, 0, 0
  static objc::Ref<UIColor> greenColor();      // 0, 1, 0
  static objc::Ref<UIColor> blueColor();       // 0, 0, 1
  static objc::Ref<UIColor> cyanColor();       // 0, 1, 1
  static objc::Ref<UIColor> yellowColor();     // 1, 1, 0
  static objc::Ref<UIColor> magentaColor();    // 1, 0, 1
  static objc::Ref<UIColor> orangeColor();     // 1, 0.5, 0
  static objc::Ref<UIColor> purpleColor();     // 0.5, 0, 0.5
  static objc::Ref<UIColor> brownColor();      // 0.6, 0.4, 0.2
  static objc::Ref<UIColor> clearColor();      // white 0, alpha 0

  // The same colour with another alpha.
  objc::Ref<UIColor> colorWithAlphaComponent(double alpha) const;

  const ::CGColor& CGColor() const { return color_; }
  double red() const { return color_.red; }
  double green() const { return color_.green; }
  double blue() const { return color_.blue; }
  double alpha() const { return color_.alpha; }
  bool isEqual(const UIColor* other) const { return other && other->color_ == color_; }
  // "UIDeviceRGBColorSpace r g b a", as the platform describes colours.
  std::string description() const override;

 private:
  ::CGColor color_;
};

// The colour of a nullable UIColor, as layers hold it.
inline CGColorRef CGColorOf(const UIColor* c) {
  return c ? CGColorRef(c->CGColor()) : CGColorRef();
}
