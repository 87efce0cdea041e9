// One page of the date carousel: the day key in an editable field, a ring
// whose green arc is the top song's share of the day, the share counting up
// in the ring and the song's title under it. It draws what it is given and
// reads no files.
#pragma once

#include <optional>
#include <string>

#include "Foundation/NSTimer.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIView.h"

class DateCellView : public UIView {
  OBJC_CLASS(DateCellView)
 public:
  // initWithDateCellView:
  explicit DateCellView(CGRect frame);
  ~DateCellView() override;

  // Draws the arc for toAngle and animates it in over 0.7 s, shows the
  // title and counts the percentage up from 0 to percent, one step every
  // 10 ms on a single timer.
  void startAni();
  // One count-up step (the timer's action).
  void labelAni();
  // Hides the percentage and takes the arc away; the title stays, and a
  // count-up still running runs on unseen.
  void removeAni();
  // Stops a count-up still running. The running timer keeps the card (a
  // timer keeps its target) and the card keeps the timer, so whoever lets
  // go of a card for good stops it first.
  void stopCountUp();

  UITextField* DateLabel() const { return DateLabel_.get(); }
  void setDateLabel(UITextField* field) { DateLabel_ = field; }
  // Nullopt is nil: a top song without a title.
  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> name) { name_ = std::move(name); }
  double toAngle() const { return toAngle_; }
  void setToAngle(double angle) { toAngle_ = angle; }
  int percent() const { return percent_; }
  void setPercent(int percent) { percent_ = percent; }

  // For tests and dumps.
  double radius() const { return radius_; }
  UILabel* percentLabel() const { return label_.get(); }
  UILabel* nameLabel() const { return nameLabel_.get(); }
  CAShapeLayer* progressLayer() const { return shapeLayer_.get(); }
  CAShapeLayer* trackLayer() const { return showshape_.get(); }
  ns::NSTimer* labelAniTimer() const { return labelAniTimer_.get(); }

 private:
  double radius_;
  objc::Ref<CAShapeLayer> shapeLayer_;
  objc::Ref<CABasicAnimation> shapeAni_;
  objc::Ref<UIBezierPath> showPath_;
  objc::Ref<CAShapeLayer> showshape_;
  objc::Ref<UILabel> label_;
  objc::Ref<UILabel> nameLabel_;
  objc::Ref<ns::NSTimer> labelAniTimer_;
  int index_ = 0;
  objc::Ref<UITextField> DateLabel_;
  std::optional<std::string> name_;
  int percent_ = 0;
  double toAngle_ = 0;
};
