#include "UIKit/UILabel.h"

#include <algorithm>

#include "UIKit/UIDrawing.h"

OBJC_CLASS_IMPL(UILabel, UIView, nullptr)

UILabel::UILabel(CGRect frame)
    : UIView(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {
  setUserInteractionEnabled(false);
  setOpaque(false);
}

void UILabel::setFont(UIFont* font) {
  font_ = font ? objc::Ref<UIFont>(font) : UIFont::systemFontOfSize(17);
}

void UILabel::setTextColor(UIColor* color) {
  textColor_ = color ? objc::Ref<UIColor>(color) : UIColor::blackColor();
}

void UILabel::drawContent(UIDrawing& drawing, CGRect bounds) const {
  if (text_.empty()) return;
  CGContext& context = drawing.context();
  CGTextStyle style = UIDrawing::textStyleFor(font_.get(), CGColorOf(textColor_.get()));
  style.alignment = UIDrawing::alignmentOf(alignment_);
  style.maxLines = static_cast<int>(std::max<NSInteger>(lines_, 0));
  if (!enabled_) style.color = UIDrawing::withAlpha(style.color, 0.44);
  if (adjusts_ && style.maxLines == 1) {
    double width = context.measureText(text_, style).width;
    if (width > bounds.size.width && width > 0)
      style.pointSize *= std::max(bounds.size.width / width, 0.5);
  }
  context.drawText(text_, style, bounds);
}

void UILabel::digestContent(UIDigest& d) const {
  d.text(text_);
  d.font(font_.get());
  d.color(CGColorOf(textColor_.get()));
  d.number(static_cast<double>(alignment_));
  d.number(static_cast<double>(lines_));
  d.number(enabled_);
  d.number(adjusts_);
}
