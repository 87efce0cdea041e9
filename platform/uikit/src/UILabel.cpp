#include "UIKit/UILabel.h"

#include <algorithm>

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
