#include "SpringBoard/SpringBoard.h"

#include "SpringBoard/ControlCenter.h"

// --- application ---------------------------------------------------------------

void SpringBoard::setupClass(objc::Class* cls) {
  cls->addMethod(
      objc::sel_registerName("applicationDidFinishLaunching:"),
      [](objc::id self, objc::SEL, objc::id) -> objc::id {
        static_cast<SpringBoard*>(self)->applicationDidFinishLaunching();
        return nullptr;
      },
      "v@:@");
}
OBJC_CLASS_IMPL(SpringBoard, UIApplication, &SpringBoard::setupClass)
UIKIT_CLASS_FACTORY(SpringBoard)

void SpringBoard::applicationDidFinishLaunching() {
  finishedLaunching_ = true;
}

OBJC_CLASS_IMPL(SBApplicationDelegate, UIResponder, nullptr)
UIKIT_CLASS_FACTORY(SBApplicationDelegate)

// --- home screen -------------------------------------------------------------------

OBJC_CLASS_IMPL(SBHomeScreenView, UIView, nullptr)

SBHomeScreenView::SBHomeScreenView(CGRect frame) : UIView(frame) {
  setBackgroundColor(UIColor::colorWithRed(0.1, 0.15, 0.3, 1));
  label_ = objc::make<UILabel>(CGRectMake(0, 40, frame.size.width, 30));
  label_->setText("SpringBoard");
  label_->setTextAlignment(NSTextAlignmentCenter);
  label_->setTextColor(UIColor::whiteColor());
  label_->setFont(UIFont::systemFontOfSize(20));
  addSubview(label_);
}

void SBHomeScreenView::touchesBegan(UITouch* touch, UIEvent*) {
  fromBottomEdge_ = touch->locationInView(this).y >= bounds().size.height - kEdgeHeight;
}

void SBHomeScreenView::touchesMoved(UITouch* touch, UIEvent*) {
  if (!fromBottomEdge_) return;
  CGPoint start = convertPointFromView(touch->startLocationInWindow(), nullptr);
  if (start.y - touch->locationInView(this).y < kOpenDistance) return;
  fromBottomEdge_ = false;
  objc::objc_msgSend(SBControlCenterController::sharedInstance(),
                     "presentAnimated:", SBBoolArgument(true));
}

void SBHomeScreenView::touchesEnded(UITouch*, UIEvent*) {
  fromBottomEdge_ = false;
}
void SBHomeScreenView::touchesCancelled(UITouch*, UIEvent*) {
  fromBottomEdge_ = false;
}

OBJC_CLASS_IMPL(SBHomeScreenViewController, UIViewController, nullptr)
UIKIT_CLASS_FACTORY(SBHomeScreenViewController)

void SBHomeScreenViewController::loadView() {
  setView(objc::make<SBHomeScreenView>(UIScreen::mainScreen()->bounds()));
}
