#include "UIKit/UIImageView.h"

OBJC_CLASS_IMPL(UIImageView, UIView, nullptr)

UIImageView::UIImageView(CGRect frame) : UIView(frame) {
  setUserInteractionEnabled(false);
}

UIImageView::UIImageView(UIImage* image)
    : UIImageView(image ? CGRect{CGPointZero, image->size()} : CGRectZero) {
  image_ = image;
}

CGSize UIImageView::sizeThatFits(CGSize) const {
  return image_ ? image_->size() : CGSizeZero;
}
