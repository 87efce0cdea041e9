// The Time/Number switch: a two-page strip; when a swipe comes to rest on
// the other page it asks its delegate (the ranking list) to rank the day by
// the new measure.
#pragma once

#include "Protocols.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIView.h"

class ControlDataView : public UIView, public UIScrollViewDelegate {
  OBJC_CLASS(ControlDataView)
 public:
  // initWithControlView:
  explicit ControlDataView(CGRect frame);
  ~ControlDataView() override;

  // Only the end of a deceleration decides: page 0 is time, any other
  // offset number; the delegate hears only of a change.
  void scrollViewDidEndDecelerating(UIScrollView* scrollView) override;

  UIScrollView* controlScrollView() const { return controlScrollView_.get(); }
  void setControlScrollView(UIScrollView* v) { controlScrollView_ = v; }
  UILabel* controlNumberLabel() const { return controlNumberLabel_.get(); }
  void setControlNumberLabel(UILabel* v) { controlNumberLabel_ = v; }
  UILabel* controlTimeLabel() const { return controlTimeLabel_.get(); }
  void setControlTimeLabel(UILabel* v) { controlTimeLabel_ = v; }
  objc::Object* delegate() const { return delegate_.get(); }
  void setDelegate(objc::Object* d) { delegate_ = d; }

  // For tests: the mode last reported.
  bool isTime() const { return isTime_; }

 private:
  bool isTime_ = true;
  objc::Ref<UIScrollView> controlScrollView_;
  objc::Ref<UILabel> controlNumberLabel_;
  objc::Ref<UILabel> controlTimeLabel_;
  objc::Ref<objc::Object> delegate_;
};
