#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

class Animation : public UIKitTest {
 protected:
  std::vector<std::string> log;
  std::function<void(bool)> note(const std::string& name) {
    return [this, name](bool finished) { log.push_back(name + (finished ? "" : "(cut)")); };
  }
};

TEST_F(Animation, ModelChangesAtOncePresentationMovesOnTheClock) {
  auto v = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  UIView::animateWithDuration(
      1.0, [&] { v->setCenter(CGPointMake(250, 50)); }, note("done"));
  EXPECT_EQ(v->center(), CGPointMake(250, 50));
  EXPECT_EQ(v->presentationCenter(), CGPointMake(50, 50));
  clock.advance(0.25);
  // Ease-in-out: slower than linear in the first half.
  float x = v->presentationCenter().x;
  EXPECT_GT(x, 50);
  EXPECT_LT(x, 100);
  clock.advance(0.25);
  EXPECT_NEAR(v->presentationCenter().x, 150, 1e-3);
  EXPECT_NEAR(v->presentationFrame().origin.x, 100, 1e-3);
  EXPECT_TRUE(log.empty());
  clock.advance(0.5);
  EXPECT_EQ(log, std::vector<std::string>{"done"});
  EXPECT_EQ(v->presentationCenter(), CGPointMake(250, 50));
}

TEST_F(Animation, CurvesFromOptions) {
  auto in = objc::make<UIView>(), out = objc::make<UIView>(), linear = objc::make<UIView>();
  auto run = [](UIView* v, UIViewAnimationOptions o) {
    UIView::animateWithDuration(
        1, 0, o, [v] { v->setAlpha(0); }, nullptr);
  };
  run(in, UIViewAnimationOptionCurveEaseIn);
  run(out, UIViewAnimationOptionCurveEaseOut);
  run(linear, UIViewAnimationOptionCurveLinear);
  clock.advance(0.5);
  EXPECT_GT(in->presentationAlpha(), 0.5);  // still slow at the start
  EXPECT_LT(out->presentationAlpha(), 0.5);
  EXPECT_NEAR(linear->presentationAlpha(), 0.5, 1e-5);
}

TEST_F(Animation, CompletionNeverRunsInsideTheCallEvenForZeroDuration) {
  auto v = objc::make<UIView>();
  UIView::animateWithDuration(
      0, [&] { v->setAlpha(0.5); }, note("zero"));
  EXPECT_EQ(v->alpha(), 0.5f);  // the animation step runs inside the call
  EXPECT_TRUE(log.empty());
  clock.advance(0);
  EXPECT_EQ(log, std::vector<std::string>{"zero"});

  // Nothing animated: the completion still waits for the duration.
  UIView::animateWithDuration(
      0.3, [] {}, note("empty"));
  clock.advance(0.29);
  EXPECT_EQ(log.size(), 1u);
  clock.advance(0.01);
  EXPECT_EQ(log.back(), "empty");
}

TEST_F(Animation, CompletionsRunInTimeOrderThenCallOrder) {
  auto a = objc::make<UIView>(), b = objc::make<UIView>(), c = objc::make<UIView>();
  UIView::animateWithDuration(
      0.3, [&] { a->setAlpha(0); }, note("slide"));
  UIView::animateWithDuration(
      0.1, [&] { b->setAlpha(0); }, note("fadeB"));
  UIView::animateWithDuration(
      0.1, [&] { c->setAlpha(0); }, note("fadeC"));
  UIView::animateWithDuration(
      0, [] {}, note("now"));
  UIView::animateWithDuration(
      0.05, 0.2, 0, [&] { c->setCenter(CGPointMake(1, 1)); }, note("late"));
  // One completion for a block that animates many things.
  UIView::animateWithDuration(
      0.2,
      [&] {
        a->setFrame(CGRectMake(10, 10, 10, 10));
        b->setBackgroundColor(UIColor::clearColor());
      },
      note("all"));
  clock.advance(1);
  EXPECT_EQ(log, (std::vector<std::string>{"now", "fadeB", "fadeC", "all", "late", "slide"}));
}

TEST_F(Animation, DelayKeepsTheOldValueOnScreen) {
  auto v = objc::make<UIView>();
  UIView::animateWithDuration(
      0.5, 0.5, 0, [&] { v->setAlpha(0); }, note("done"));
  EXPECT_EQ(v->alpha(), 0);
  clock.advance(0.4);
  EXPECT_EQ(v->presentationAlpha(), 1);
  clock.advance(0.35);
  EXPECT_NEAR(v->presentationAlpha(), 0.5, 1e-5);
  clock.advance(0.24);
  EXPECT_TRUE(log.empty());
  clock.advance(0.01);
  EXPECT_EQ(log, std::vector<std::string>{"done"});
}

TEST_F(Animation, ASecondAnimationStartsWhereTheFirstHasBroughtIt) {
  auto v = objc::make<UIView>(CGRectMake(0, 0, 10, 10));
  UIView::animateWithDuration(
      1, 0, UIViewAnimationOptionCurveLinear, [&] { v->setCenter(CGPointMake(105, 5)); },
      note("first"));
  clock.advance(0.5);
  EXPECT_NEAR(v->presentationCenter().x, 55, 1e-3);
  UIView::animateWithDuration(
      1, 0, UIViewAnimationOptionCurveLinear, [&] { v->setCenter(CGPointMake(5, 5)); },
      note("second"));
  EXPECT_NEAR(v->presentationCenter().x, 55, 1e-3);  // no jump
  clock.advance(0);
  EXPECT_EQ(log, std::vector<std::string>{"first(cut)"});  // replaced, reported later
  clock.advance(0.5);
  EXPECT_NEAR(v->presentationCenter().x, 30, 1e-3);
  clock.advance(0.5);
  EXPECT_EQ(log, (std::vector<std::string>{"first(cut)", "second"}));
}

TEST_F(Animation, HiddenIsNotAnimated) {
  auto v = objc::make<UIView>();
  v->setHidden(true);
  UIView::animateWithDuration(
      0.05,
      [&] {
        v->setCenter(CGPointMake(10, 0));
        v->setHidden(false);
      },
      nullptr);
  EXPECT_FALSE(v->isHidden());
  EXPECT_FALSE(v->layer()->presentationState().hidden);
}

TEST_F(Animation, ABlockLeftByAnExceptionLeavesNoBlockOpen) {
  auto v = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  EXPECT_THROW(UIView::animateWithDuration(1,
                                           [&] {
                                             v->setAlpha(0.5);
                                             throw std::runtime_error("in the block");
                                           }),
               std::runtime_error);
  EXPECT_THROW(UIView::performWithoutAnimation([] { throw std::runtime_error("without"); }),
               std::runtime_error);
  EXPECT_FALSE(UIView::isInAnimationBlock());
  v->setCenter(CGPointMake(10, 10));
  EXPECT_EQ(v->presentationCenter(), CGPointMake(10, 10));  // at once, outside any block

  // An inner block that throws gives the outer block its own context back.
  UIView::animateWithDuration(1, [&] {
    try {
      UIView::performWithoutAnimation([] { throw std::runtime_error("inner"); });
    } catch (const std::runtime_error&) {
    }
    v->setCenter(CGPointMake(110, 10));
  });
  EXPECT_EQ(v->presentationCenter(), CGPointMake(10, 10));
  clock.advance(1);
  EXPECT_EQ(v->presentationCenter(), CGPointMake(110, 10));
}

TEST_F(Animation, ScreenFrameUsesPresentationValuesOfAncestors) {
  auto window = objc::make<UIWindow>();
  UIView* panel = addView(window, CGRectMake(0, 0, 320, 568));
  UIView* row = addView(panel, CGRectMake(10, 100, 50, 50));
  panel->setCenter(CGPointMake(160, -284));  // above the screen
  UIView::animateWithDuration(
      0.3, 0, UIViewAnimationOptionCurveLinear, [&] { panel->setCenter(CGPointMake(160, 284)); },
      nullptr);
  clock.advance(0.15);
  EXPECT_NEAR(row->frameOnScreen().origin.y, 100 - 284, 1e-3);
  clock.advance(0.15);
  EXPECT_EQ(row->frameOnScreen(), CGRectMake(10, 100, 50, 50));
}

}  // namespace
