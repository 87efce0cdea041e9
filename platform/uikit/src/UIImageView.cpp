#include "UIKit/UIImageView.h"

#include "UIKit/UIDrawing.h"

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

void UIImageView::drawContent(UIDrawing& drawing, CGRect bounds) const {
  if (const CGImage* picture = drawing.imageFor(image_.get()))
    drawing.context().drawImage(*picture,
                                UIDrawing::placeImage(image_->size(), bounds, contentMode()));
}

void UIImageView::digestContent(UIDigest& d) const {
  d.pointer(image_.get());
  d.number(static_cast<double>(contentMode()));
}
