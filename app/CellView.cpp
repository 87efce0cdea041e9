#include "CellView.h"

#include "UIKit/UIAlertView.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIScreen.h"
#include "core/Texts.h"

namespace {
void setupCellView(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("PutValueDone"), OBJC_METHOD0(CellView, PutValueDone),
                 "v@");
  cls->addMethod(objc::sel_registerName("alertMusicInfo"), OBJC_METHOD0(CellView, alertMusicInfo),
                 "v@");
  cls->addMethod(objc::sel_registerName("numberToTPercent"),
                 OBJC_METHOD0(CellView, numberToTPercent), "v@");
  cls->addMethod(objc::sel_registerName("freshData"), OBJC_METHOD0(CellView, freshData), "v@");
}
}  // namespace

OBJC_CLASS_IMPL(CellView, UIView, setupCellView)

CellView::CellView(CGRect frame) : UIView(frame) {
  // The halves are taken on the stored single-precision size.
  CGFloat w = frame.size.width, h = frame.size.height;
  double W = UIScreen::mainScreen()->bounds().size.width;
  const char* font = ".HelveticaNeueInterface-Regular";

  MusicLabel_ = objc::make<UILabel>(CGRectMake(W / 18.75, 0, w / 1.7, h / 2));
  MusicLabel_->setFont(UIFont::fontWithName(font, W / 18.75));
  MusicLabel_->setCenter(CGPointMake(MusicLabel_->center().x, h / 1.7));
  addSubview(MusicLabel_);

  InfoLabel_ = objc::make<UILabel>(CGRectMake(w / 2 + 1, 0, w / 2, h / 2));
  InfoLabel_->setTextAlignment(NSTextAlignmentRight);
  InfoLabel_->setFont(UIFont::fontWithName(font, W / 18.75));
  InfoLabel_->setCenter(CGPointMake(InfoLabel_->center().x, h / 1.7));
  addSubview(InfoLabel_);

  musicButton_ = objc::make<UIButton>(CGRectMake(0, 0, w / 2, h));
  musicButton_->addTarget(this, "alertMusicInfo", UIControlEventTouchUpInside);
  addSubview(musicButton_);

  infoButton_ = objc::make<UIButton>(CGRectMake(w / 2, 0, w / 2, h));
  infoButton_->addTarget(this, "numberToTPercent", UIControlEventTouchUpInside);
  addSubview(infoButton_);

  isPercent_ = true;
}

CellView::~CellView() = default;

void CellView::PutValueDone() {
  MusicLabel_->setText(MusicName_.value_or(""));
  InfoLabel_->setText(corvane::app::valueText(MinNum_, isNumber_));
}

void CellView::alertMusicInfo() {
  objc::make<UIAlertView>(MusicName_.value_or(""), MusicAlbum_.value_or(""), nullptr, "Okay")
      ->show();
}

void CellView::numberToTPercent() {
  // The flag is read now and changed only when the fade-out ends, so a
  // second tap during the fade repeats the same switch.
  fadeInfoTo(isPercent_);
}

void CellView::fadeInfoTo(bool toPercent) {
  objc::Ref<CellView> self(this);
  UIView::animateWithDuration(
      0.1, [self] { self->InfoLabel_->setAlpha(0); },
      [self, toPercent](bool) {
        self->isPercent_ = !toPercent;
        self->InfoLabel_->setText(toPercent
                                      ? corvane::app::percentText(self->Percent_)
                                      : corvane::app::valueText(self->MinNum_, self->isNumber_));
        UIView::animateWithDuration(0.1, [self] { self->InfoLabel_->setAlpha(1); });
      });
}

void CellView::freshData() {
  MusicLabel_->setTextColor(UIColor::whiteColor());
  MusicLabel_->setText(MusicName_.value_or(""));
}
