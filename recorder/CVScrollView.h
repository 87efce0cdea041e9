// The pager that carries the brightness slider and the launch button: a
// scroll view with a title label property the tweak never sets.
#pragma once

#include "UIKit/UILabel.h"
#include "UIKit/UIScrollView.h"

class CVScrollView : public UIScrollView {
  OBJC_CLASS(CVScrollView)
 public:
  using UIScrollView::UIScrollView;

  UILabel* titleLabel() const { return titleLabel_.get(); }
  void setTitleLabel(UILabel* label) { titleLabel_ = label; }

 private:
  objc::Ref<UILabel> titleLabel_;
};
