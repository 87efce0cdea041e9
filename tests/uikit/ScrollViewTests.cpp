#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIButton.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWindow.h"
#include "UIKitFixture.h"

namespace {

// Records the delegate calls as text; runs of scrollViewDidScroll collapse to
// one "scroll" in calls(), while offsets() keeps every reported offset.
class ScrollRecorder : public objc::Object, public UIScrollViewDelegate {
 public:
  void scrollViewDidScroll(UIScrollView* s) override {
    offsets.push_back(s->contentOffset());
    if (log.empty() || log.back() != "scroll") log.push_back("scroll");
    if (onScroll) onScroll(s);
  }
  void scrollViewWillBeginDragging(UIScrollView*) override { log.push_back("willBeginDragging"); }
  void scrollViewDidEndDragging(UIScrollView*, bool decelerate) override {
    log.push_back(decelerate ? "didEndDragging(YES)" : "didEndDragging(NO)");
  }
  void scrollViewWillBeginDecelerating(UIScrollView*) override {
    log.push_back("willBeginDecelerating");
  }
  void scrollViewDidEndDecelerating(UIScrollView*) override { log.push_back("didEndDecelerating"); }
  void scrollViewDidEndScrollingAnimation(UIScrollView*) override {
    log.push_back("didEndScrollingAnimation");
  }

  std::string calls() const {
    std::string text;
    for (const std::string& c : log) text += (text.empty() ? "" : " ") + c;
    return text;
  }

  std::vector<std::string> log;
  std::vector<CGPoint> offsets;
  std::function<void(UIScrollView*)> onScroll;
};

constexpr double kStep = 1.0 / 60;

class ScrollTapTarget : public objc::Object {
  OBJC_CLASS(ScrollTapTarget)
 public:
  void tapped() { ++taps; }
  int taps = 0;
};

void setupScrollTapTarget(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("tapped"), OBJC_METHOD0(ScrollTapTarget, tapped), "v@:");
}

}  // namespace

OBJC_CLASS_IMPL(ScrollTapTarget, objc::Object, setupScrollTapTarget)

namespace {

class ScrollViewTest : public UIKitTest {
 protected:
  // A 320 x 100 pager, three pages wide.
  void SetUp() override {
    scroll = objc::make<UIScrollView>(CGRectMake(0, 0, 320, 100));
    scroll->setContentSize(CGSizeMake(960, 100));
    scroll->setPagingEnabled(true);
    recorder = objc::make<ScrollRecorder>();
    scroll->setDelegate(recorder);
  }

  // Touches down at x, moves horizontally by dx in equal moves one frame
  // apart, rests, then lifts.
  void swipe(double x, double dx, int moves, double restBeforeLift = 0) {
    scroll->beginDrag(CGPointMake(x, 50));
    for (int i = 1; i <= moves; ++i) {
      clock.advance(kStep);
      scroll->moveDrag(CGPointMake(x + dx * i / moves, 50));
    }
    clock.advance(restBeforeLift);
    scroll->endDrag(CGPointMake(x + dx, 50));
  }

  objc::Ref<UIScrollView> scroll;
  objc::Ref<ScrollRecorder> recorder;
};

TEST_F(ScrollViewTest, ProgrammaticOffsetScrollsContentAndReportsChangesOnly) {
  auto container = objc::make<UIView>(CGRectMake(0, 0, 320, 100));
  container->addSubview(scroll);
  auto page2 = objc::make<UIView>(CGRectMake(320, 0, 320, 100));
  scroll->addSubview(page2);

  scroll->setContentOffset(CGPointMake(320, 0));
  EXPECT_EQ(recorder->calls(), "scroll");
  EXPECT_EQ(scroll->bounds().origin, CGPointMake(320, 0));
  EXPECT_EQ(page2->convertPointToView(CGPointZero, container), CGPointMake(0, 0));

  scroll->setContentOffset(CGPointMake(320, 0));
  scroll->setContentOffset(CGPointMake(320, 0), true);
  clock.advance(1);
  EXPECT_EQ(recorder->offsets.size(), 1u);
  EXPECT_TRUE(scroll->clipsToBounds());
}

TEST_F(ScrollViewTest, FlickTurnsToTheNextPageInItsDirection) {
  // 40 points to the left, the last move 10 points in one frame (600 pt/s).
  swipe(300, -40, 4);
  EXPECT_FALSE(scroll->isDragging());
  EXPECT_TRUE(scroll->isDecelerating());
  EXPECT_EQ(recorder->calls(),
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating");
  clock.advance(UIScrollView::kPagingDuration);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_FALSE(scroll->isDecelerating());
  EXPECT_EQ(recorder->calls(),
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll "
            "didEndDecelerating");

  // From page 1, 30 points back to the right with speed: page 0, although
  // page 1 is nearer. And 12 points to the left with speed: page 2.
  swipe(100, 30, 3);
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
  scroll->setContentOffset(CGPointMake(320, 0));
  swipe(100, -12, 1);
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));
}

TEST_F(ScrollViewTest, SlowDragSettlesOnTheNearestPage) {
  // 200 points in 50 moves of 4 points a frame: 240 pt/s is no flick.
  swipe(300, -200, 50, 0.05);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(200, 0));
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_EQ(recorder->calls(),
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll "
            "didEndDecelerating");

  // Part of the way and back: the page it started from.
  recorder->log.clear();
  swipe(300, -100, 40);
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_EQ(recorder->log.back(), "didEndDecelerating");
}

TEST_F(ScrollViewTest, LiftOnAPageBoundaryWithoutSpeedDoesNotDecelerate) {
  // Exactly one page, then the finger rests before lifting.
  swipe(330, -320, 32, 2 * UIScrollView::kRestInterval);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  clock.advance(1);
  EXPECT_EQ(recorder->calls(), "willBeginDragging scroll didEndDragging(NO)");
  EXPECT_FALSE(scroll->isDecelerating());

  // The same with speed at the lift goes on to the next page.
  scroll->setContentOffset(CGPointZero);
  recorder->log.clear();
  swipe(330, -320, 32);
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));
  EXPECT_EQ(recorder->log.back(), "didEndDecelerating");
}

TEST_F(ScrollViewTest, SmallMovesAreNoDragAndDragsStopAtTheContentEdges) {
  swipe(100, -9, 3);
  EXPECT_TRUE(recorder->log.empty());
  EXPECT_EQ(scroll->contentOffset(), CGPointZero);

  // Pulling the first page to the right: nothing to scroll to.
  swipe(100, 50, 10, 0.2);
  EXPECT_EQ(scroll->contentOffset(), CGPointZero);
  EXPECT_EQ(recorder->calls(), "willBeginDragging didEndDragging(NO)");

  // Far past the last page: clamped to it; no vertical movement at all.
  scroll->beginDrag(CGPointMake(300, 50));
  clock.advance(kStep);
  scroll->moveDrag(CGPointMake(-900, 90));
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));
}

TEST_F(ScrollViewTest, AnimatedOffsetEndsWithScrollingAnimationOnly) {
  scroll->setContentOffset(CGPointMake(640, 0), true);
  EXPECT_TRUE(recorder->log.empty());
  EXPECT_FALSE(scroll->isDecelerating());
  clock.advance(UIScrollView::kAnimationDuration / 2);
  float middle = scroll->contentOffset().x;
  EXPECT_GT(middle, 0);
  EXPECT_LT(middle, 640);
  clock.advance(UIScrollView::kAnimationDuration / 2);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));
  EXPECT_EQ(recorder->calls(), "scroll didEndScrollingAnimation");
  EXPECT_GE(recorder->offsets.size(), 10u);

  // An offset set without animation stops a running animation silently.
  recorder->log.clear();
  scroll->setContentOffset(CGPointMake(0, 0), true);
  clock.advance(0.1);
  scroll->setContentOffset(CGPointMake(320, 0));
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_EQ(recorder->calls(), "scroll");
}

TEST_F(ScrollViewTest, ResettingTheOffsetFromDidScrollEndsTheDeceleration) {
  // A recycling pager: on reaching the last page it jumps back to the middle.
  scroll->setContentOffset(CGPointMake(320, 0));
  int flips = 0;
  recorder->onScroll = [&](UIScrollView* s) {
    if (static_cast<int>(s->contentOffset().x) >= 640 - 2) {
      ++flips;
      s->setContentOffset(CGPointMake(320, 0));
    }
  };
  swipe(300, -40, 4);
  clock.advance(1);
  EXPECT_EQ(flips, 1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_FALSE(scroll->isDecelerating());
  EXPECT_EQ(recorder->calls(),
            "scroll willBeginDragging scroll didEndDragging(YES) "
            "willBeginDecelerating scroll");
}

TEST_F(ScrollViewTest, TouchDownStopsAMovementWithoutEndingIt) {
  swipe(300, -40, 4);
  clock.advance(0.1);
  ASSERT_TRUE(scroll->isDecelerating());
  CGPoint stopped = scroll->contentOffset();
  scroll->beginDrag(CGPointMake(100, 50));
  EXPECT_FALSE(scroll->isDecelerating());
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), stopped);
  EXPECT_EQ(recorder->calls(),
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll");
  // Lifting lets the pager settle on a page.
  scroll->endDrag(CGPointMake(100, 50));
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset().x, 320);
  EXPECT_EQ(recorder->log.back(), "didEndDecelerating");
}

TEST_F(ScrollViewTest, MomentumIsAFunctionOfTimeAndStopsAtTheEdge) {
  auto make = [] {
    auto s = objc::make<UIScrollView>(CGRectMake(0, 0, 320, 400));
    s->setContentSize(CGSizeMake(320, 4000));
    return s;
  };
  auto a = make(), b = make();
  auto recordA = objc::make<ScrollRecorder>();
  a->setDelegate(recordA);
  double start = ns::RunLoop::main().now();
  for (UIScrollView* s : {a.get(), b.get()}) {
    s->beginDrag(CGPointMake(100, 300), start);
    s->moveDrag(CGPointMake(100, 250), start + kStep);
    s->moveDrag(CGPointMake(100, 230), start + 2 * kStep);  // 1200 pt/s upwards
    s->endDrag(CGPointMake(100, 230), start + 2 * kStep);
  }
  clock.advance(2 * kStep);
  EXPECT_EQ(recordA->calls(), "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating");
  // Coarse and fine clock steps give the same path.
  clock.advance(0.5);
  CGPoint halfway = a->contentOffset();
  EXPECT_GT(halfway.y, 70);
  for (int i = 0; i < 200; ++i) clock.advance(0.02);
  EXPECT_EQ(a->contentOffset(), b->contentOffset());
  EXPECT_GT(a->contentOffset().y, halfway.y);
  EXPECT_LT(a->contentOffset().y, 70 + 1200 / 2.0);
  EXPECT_FALSE(a->isDecelerating());
  EXPECT_EQ(recordA->log.back(), "didEndDecelerating");

  // Near the end of the content the momentum stops at the edge.
  a->setContentOffset(CGPointMake(0, 3400));
  start = ns::RunLoop::main().now();
  a->beginDrag(CGPointMake(100, 300), start);
  a->moveDrag(CGPointMake(100, 250), start + kStep);
  a->moveDrag(CGPointMake(100, 230), start + 2 * kStep);
  a->endDrag(CGPointMake(100, 230), start + 2 * kStep);
  clock.advance(1);
  EXPECT_EQ(a->contentOffset(), CGPointMake(0, 3600));
  EXPECT_EQ(recordA->log.back(), "didEndDecelerating");

  // A finger that rests before lifting leaves no momentum.
  recordA->log.clear();
  start = ns::RunLoop::main().now();
  a->beginDrag(CGPointMake(100, 100), start);
  a->moveDrag(CGPointMake(100, 150), start + kStep);
  a->endDrag(CGPointMake(100, 150), start + kStep + 2 * UIScrollView::kRestInterval);
  clock.advance(1);
  EXPECT_EQ(recordA->calls(), "willBeginDragging scroll didEndDragging(NO)");
}

TEST_F(ScrollViewTest, DelegateIsWeak) {
  recorder = nullptr;
  EXPECT_EQ(scroll->delegate(), nullptr);
  swipe(300, -40, 4);
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
}

TEST_F(ScrollViewTest, DestroyedWhileDeceleratingLeavesNothingBehind) {
  swipe(300, -40, 4);
  ASSERT_TRUE(scroll->isDecelerating());
  objc::Weak<UIScrollView> gone(scroll.get());
  scroll = nullptr;
  EXPECT_FALSE(gone);
  clock.advance(1);
}

// Window touches take the same path; a drag that starts on a button inside
// the scroll view is the scroll view's, a tap is the button's.
TEST_F(ScrollViewTest, WindowTouchesDragTheContentAndTapsReachButtons) {
  auto window = objc::make<UIWindow>(CGRectMake(0, 0, 320, 568));
  window->makeKeyAndVisible();
  window->addSubview(scroll);
  auto button = objc::make<UIButton>(CGRectMake(0, 0, 320, 100));
  auto target = objc::make<ScrollTapTarget>();
  button->addTarget(target, "tapped", UIControlEventTouchUpInside);
  scroll->addSubview(button);

  window->tap(CGPointMake(100, 50));
  EXPECT_EQ(target->taps, 1);
  EXPECT_TRUE(recorder->log.empty());

  window->touchDown(CGPointMake(300, 50));
  for (int i = 1; i <= 4; ++i) {
    clock.advance(kStep);
    window->touchMove(CGPointMake(300 - 10 * i, 50));
  }
  window->touchUp(CGPointMake(260, 50));
  clock.advance(1);
  EXPECT_EQ(target->taps, 1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_EQ(recorder->calls(),
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll "
            "didEndDecelerating");
}

}  // namespace
