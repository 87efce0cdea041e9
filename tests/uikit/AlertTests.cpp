#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

class AlertRecorder : public objc::Object, public UIAlertViewDelegate {
  OBJC_CLASS(AlertRecorder)
 public:
  void alertViewClickedButtonAtIndex(UIAlertView* a, long i) override {
    log.push_back("clicked " + a->title() + " " + std::to_string(i));
  }
  void alertViewDidDismissWithButtonIndex(UIAlertView* a, long) override {
    log.push_back("dismissed " + a->title());
  }
  std::vector<std::string> log;
};

std::vector<std::string> titles() {
  std::vector<std::string> out;
  for (UIAlertView* a : UIAlertView::alerts()) out.push_back(a->title());
  return out;
}

class Alerts : public UIKitTest {};

TEST_F(Alerts, ShownAtOnceAndQueuedOneAfterAnother) {
  objc::Weak<UIAlertView> first;
  {
    auto a = objc::make<UIAlertView>("can't Found Data", "", nullptr, "ok");
    first = a.get();
    a->show();  // returns at once and keeps the alert alive
    EXPECT_TRUE(a->isVisible());
  }
  ASSERT_TRUE(first);
  auto b = objc::make<UIAlertView>("Can't Found Data",
                                   "please Enter again         (Note that the format:2015-01-01)",
                                   nullptr, "Okay");
  b->show();
  b->show();  // twice is once
  EXPECT_FALSE(b->isVisible());
  EXPECT_EQ(titles(), (std::vector<std::string>{"can't Found Data", "Can't Found Data"}));
  EXPECT_EQ(UIAlertView::visibleAlert(), first.get());

  EXPECT_TRUE(UIAlertView::dismissTopmost());
  EXPECT_FALSE(first);  // released once dismissed
  EXPECT_TRUE(b->isVisible());
  EXPECT_TRUE(UIAlertView::dismissTopmost());
  EXPECT_FALSE(UIAlertView::dismissTopmost());
  EXPECT_TRUE(UIAlertView::alerts().empty());
}

TEST_F(Alerts, TheButtonTellsTheDelegate) {
  auto recorder = objc::make<AlertRecorder>();
  auto a = objc::make<UIAlertView>("Song", "Artist-Album", recorder, "Okay");
  auto b = objc::make<UIAlertView>("Next", "", recorder, "Okay");
  a->show();
  b->show();
  b->dismissWithClickedButtonIndex(0, true);  // still queued: leaves quietly
  EXPECT_TRUE(recorder->log.empty());
  EXPECT_EQ(a->buttonTitleAtIndex(a->cancelButtonIndex()), "Okay");
  UIAlertView::dismissTopmost();
  EXPECT_EQ(recorder->log, (std::vector<std::string>{"clicked Song 0", "dismissed Song"}));
}

TEST_F(Alerts, ATouchDoesNotReachTheScreenUnderAnAlert) {
  auto window = objc::make<UIWindow>();
  window->makeKeyAndVisible();
  auto field = objc::make<UITextField>(CGRectMake(0, 0, 100, 100));
  window->addSubview(field);
  objc::make<UIAlertView>("Busy", "", nullptr, "ok")->show();
  window->tap(CGPointMake(10, 10));
  EXPECT_FALSE(field->isFirstResponder());
  UIAlertView::dismissTopmost();
  window->tap(CGPointMake(10, 10));
  EXPECT_TRUE(field->isFirstResponder());
}

}  // namespace

OBJC_CLASS_IMPL(AlertRecorder, objc::Object, nullptr)
