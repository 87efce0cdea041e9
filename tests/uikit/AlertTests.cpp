#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

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
  auto b = objc::make<UIAlertView>("Can't Found Data", "please Enter again", nullptr, "Okay");
  b->show();
  b->show();  // twice is once
  EXPECT_FALSE(b->isVisible());
  ASSERT_EQ(UIAlertView::alerts().size(), 2u);
  EXPECT_EQ(UIAlertView::alerts()[1]->title(), "Can't Found Data");
  EXPECT_EQ(UIAlertView::visibleAlert(), first.get());

  EXPECT_TRUE(UIAlertView::dismissTopmost());
  EXPECT_FALSE(first);  // released once dismissed
  EXPECT_TRUE(b->isVisible());
  EXPECT_TRUE(UIAlertView::dismissTopmost());
  EXPECT_FALSE(UIAlertView::dismissTopmost());
  EXPECT_TRUE(UIAlertView::alerts().empty());
}

TEST_F(Alerts, ATouchDoesNotReachTheScreenUnderAnAlert) {
  auto window = objc::make<UIWindow>();
  window->makeKeyAndVisible();
  auto* field = addView<UITextField>(window, CGRectMake(0, 0, 100, 100));
  objc::make<UIAlertView>("Busy", "", nullptr, "ok")->show();
  window->tap(CGPointMake(10, 10));
  EXPECT_FALSE(field->isFirstResponder());
  UIAlertView::dismissTopmost();
  window->tap(CGPointMake(10, 10));
  EXPECT_TRUE(field->isFirstResponder());
}

}  // namespace
