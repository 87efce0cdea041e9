// A view that shows an image; like labels it ignores touches by default.
#pragma once

#include "UIKit/UIImage.h"
#include "UIKit/UIView.h"

class UIImageView : public UIView {
  OBJC_CLASS(UIImageView)
 public:
  explicit UIImageView(CGRect frame = CGRectZero);
  // A view the size of the image.
  explicit UIImageView(UIImage* image);
  UIImage* image() const { return image_.get(); }
  void setImage(UIImage* image) { image_ = image; }
  CGSize sizeThatFits(CGSize size) const override;

  void drawContent(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  objc::Ref<UIImage> image_;
};
