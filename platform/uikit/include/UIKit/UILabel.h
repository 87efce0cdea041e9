// Labels: text with a font, colour and alignment. Like the platform's, a
// label ignores touches by default (user interaction off) and has no
// background colour.
#pragma once

#include <string>

#include "UIKit/UIFont.h"
#include "UIKit/UIView.h"

using NSTextAlignment = NSInteger;
enum : NSInteger {
  NSTextAlignmentLeft = 0,
  NSTextAlignmentCenter = 1,
  NSTextAlignmentRight = 2,
  NSTextAlignmentJustified = 3,
  NSTextAlignmentNatural = 4,
};

class UILabel : public UIView {
  OBJC_CLASS(UILabel)
 public:
  explicit UILabel(CGRect frame = CGRectZero);

  const std::string& text() const { return text_; }
  void setText(const std::string& text) { text_ = text; }
  // The system font at 17 points unless set.
  UIFont* font() const { return font_.get(); }
  void setFont(UIFont* font);
  // Black unless set; a null colour restores black.
  UIColor* textColor() const { return textColor_.get(); }
  void setTextColor(UIColor* color);
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment a) { alignment_ = a; }
  NSInteger numberOfLines() const { return lines_; }
  void setNumberOfLines(NSInteger n) { lines_ = n; }
  bool adjustsFontSizeToFitWidth() const { return adjusts_; }
  void setAdjustsFontSizeToFitWidth(bool a) { adjusts_ = a; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }

  std::optional<std::string> displayedText() const override { return text_; }

  void drawContent(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  std::string text_;
  objc::Ref<UIFont> font_;
  objc::Ref<UIColor> textColor_;
  NSTextAlignment alignment_ = NSTextAlignmentLeft;
  NSInteger lines_ = 1;
  bool adjusts_ = false;
  bool enabled_ = true;
};
