#include "ControlDataView.h"

#include "Foundation/Log.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIScreen.h"

OBJC_CLASS_IMPL(ControlDataView, UIView, nullptr)

ControlDataView::ControlDataView(CGRect frame) : UIView(frame) {
  double w = frame.size.width, h = frame.size.height;
  double H = UIScreen::mainScreen()->bounds().size.height;
  layer()->setCornerRadius(10);
  setBackgroundColor(UIColor::lightGrayColor()->colorWithAlphaComponent(0.1));

  controlScrollView_ = objc::make<UIScrollView>(CGRectMake(0, 0, w, h));
  controlScrollView_->setPagingEnabled(true);
  controlScrollView_->setDelegate(this);
  controlScrollView_->setShowsHorizontalScrollIndicator(false);
  CGSize own = controlScrollView_->frame().size;
  controlScrollView_->setContentSize(CGSizeMake(2 * double(own.width), own.height));
  addSubview(controlScrollView_);

  controlTimeLabel_ = objc::make<UILabel>(CGRectMake(0, 0, w, h));
  controlTimeLabel_->setTextColor(UIColor::lightGrayColor());
  controlTimeLabel_->setTextAlignment(NSTextAlignmentCenter);
  controlTimeLabel_->setText("Time");
  controlTimeLabel_->setFont(UIFont::fontWithName("Futura", H / 19));
  controlScrollView_->addSubview(controlTimeLabel_);

  controlNumberLabel_ = objc::make<UILabel>(CGRectMake(own.width, 0, w, h));
  controlNumberLabel_->setTextColor(UIColor::lightGrayColor());
  controlNumberLabel_->setTextAlignment(NSTextAlignmentCenter);
  controlNumberLabel_->setText("Number");
  controlNumberLabel_->setFont(UIFont::fontWithName("Futura", H / 19));
  controlScrollView_->addSubview(controlNumberLabel_);

  isTime_ = true;
}

ControlDataView::~ControlDataView() = default;

void ControlDataView::scrollViewDidEndDecelerating(UIScrollView* scrollView) {
  objc::Ref<ControlDataView> keep(this);
  auto* list = adopting<TimeOfNumberRefreshProtocol>(delegate_.get());
  if (scrollView->contentOffset().x == 0) {
    if (!isTime_) {
      ns::NSLog("time");
      if (list) list->freshToTime();
      isTime_ = true;
    }
  } else if (isTime_) {
    ns::NSLog("number");
    if (list) list->freshToNumber();
    isTime_ = false;
  }
}
