#include "DateCellView.h"

#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIScreen.h"
#include "core/Texts.h"

namespace {
void setupDateCellView(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("startAni"), OBJC_METHOD0(DateCellView, startAni), "v@");
  cls->addMethod(objc::sel_registerName("labelAni"), OBJC_METHOD0(DateCellView, labelAni), "v@");
  cls->addMethod(objc::sel_registerName("removeAni"), OBJC_METHOD0(DateCellView, removeAni), "v@");
}
}  // namespace

OBJC_CLASS_IMPL(DateCellView, UIView, setupDateCellView)

DateCellView::DateCellView(CGRect frame) : UIView(frame) {
  double w = frame.size.width, h = frame.size.height;
  CGSize screen = UIScreen::mainScreen()->bounds().size;
  double sw = screen.width, sh = screen.height;

  radius_ = sw / 3.75;
  double r = radius_;

  DateLabel_ = objc::make<UITextField>(CGRectMake(0, 0, w / 1.5, h - 2.3 * r));
  DateLabel_->setFont(UIFont::fontWithName("Futura", sh / 22.2));
  DateLabel_->setTextAlignment(NSTextAlignmentCenter);
  DateLabel_->setTextColor(UIColor::brownColor());
  DateLabel_->setCenter(CGPointMake(w / 2, DateLabel_->center().y));
  addSubview(DateLabel_);

  // The track: a faint full circle the arc is drawn over.
  showPath_ = UIBezierPath::bezierPathWithArcCenter(CGPointMake(w / 2, 0), r, 0, 2 * M_PI, true);
  showshape_ = CAShapeLayer::layer();
  showshape_->setLineWidth(15);
  showshape_->setFillColor(CGColorRef());
  showshape_->setStrokeColor(CGColorMake(0.96, 0.96, 0.94, 0.4));
  showshape_->setPath(showPath_->CGPath());
  showshape_->setFrame(CGRectMake(0, h - 1.2 * r, 0, 0));
  layer()->addSublayer(showshape_);

  shapeLayer_ = CAShapeLayer::layer();
  shapeLayer_->setLineWidth(15);
  shapeLayer_->setFillColor(CGColorRef());
  shapeLayer_->setStrokeColor(CGColorMake(0.24, 0.85, 0.45, 1.0));

  shapeAni_ = CABasicAnimation::animationWithKeyPath("strokeEnd");

  label_ = objc::make<UILabel>(CGRectMake(0, 0, w / 2.2, h / 3));
  label_->setTextAlignment(NSTextAlignmentCenter);
  label_->setFont(UIFont::fontWithName("Futura", sw / 8.334));
  label_->setTextColor(UIColor::orangeColor()->colorWithAlphaComponent(0.7));
  label_->setCenter(CGPointMake(w / 2, h / 1.9));
  label_->setText("");
  label_->setAlpha(1);
  addSubview(label_);

  nameLabel_ = objc::make<UILabel>(CGRectMake(0, 0, w / 2, h / 4));
  nameLabel_->setCenter(CGPointMake(w / 2, h / 1.45));
  nameLabel_->setAlpha(0);
  nameLabel_->setText("");
  nameLabel_->setTextAlignment(NSTextAlignmentCenter);
  nameLabel_->setTextColor(UIColor::lightGrayColor());
  nameLabel_->setFont(UIFont::fontWithName("Futura", sw / 18.75));
  addSubview(nameLabel_);
}

DateCellView::~DateCellView() = default;

void DateCellView::startAni() {
  if (labelAniTimer_ && labelAniTimer_->isValid()) labelAniTimer_->invalidate();

  CGSize size = bounds().size;
  auto arc = UIBezierPath::bezierPathWithArcCenter(CGPointMake(size.width / 2, 0), radius_, 0,
                                                   toAngle_, true);
  shapeLayer_->setFrame(CGRectMake(0, size.height - 1.2 * radius_, 0, 0));
  shapeLayer_->setPath(arc->CGPath());

  shapeAni_->setFromValue(0.0f);
  shapeAni_->setToValue(1.0f);
  shapeAni_->setDuration(0.7);
  shapeAni_->setRemovedOnCompletion(false);
  // Earlier arcs' animations are kept when not removed on completion; only
  // the newest one shows, so the older ones go rather than pile up on a card
  // that stays current through many refreshes.
  shapeLayer_->removeAllAnimations();
  shapeLayer_->addAnimation(shapeAni_);
  layer()->addSublayer(shapeLayer_);

  nameLabel_->setText(name_.value_or(""));
  nameLabel_->setAlpha(1);

  index_ = 0;
  label_->setAlpha(1);
  label_->setText(corvane::app::countUpText(0));

  labelAniTimer_ =
      ns::NSTimer::scheduledTimer(0.01, this, objc::sel_registerName("labelAni"), true);
}

void DateCellView::labelAni() {
  // Stops at percent, and also past it: a count-up to a value below 0
  // would otherwise never end.
  if (index_ >= percent_) {
    if (labelAniTimer_) labelAniTimer_->invalidate();
    return;
  }
  ++index_;
  label_->setText(corvane::app::countUpText(index_));
}

void DateCellView::stopCountUp() {
  if (labelAniTimer_) labelAniTimer_->invalidate();
}

void DateCellView::removeAni() {
  label_->setAlpha(0);
  shapeLayer_->removeAllAnimations();
  shapeLayer_->removeFromSuperlayer();
}
