#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UIKit/UIButton.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWindow.h"
#include "UIKitFixture.h"

namespace {

// Records the delegate calls as text, a run of scrollViewDidScroll as one
// "scroll"; scrolls counts every one.
class ScrollRecorder : public objc::Object, public UIScrollViewDelegate {
 public:
  void scrollViewDidScroll(UIScrollView* s) override {
    ++scrolls;
    if (!calls.ends_with("scroll")) note("scroll");
    if (onScroll) onScroll(s);
  }
  void scrollViewWillBeginDragging(UIScrollView*) override { note("willBeginDragging"); }
  void scrollViewDidEndDragging(UIScrollView*, bool decelerate) override {
    note(decelerate ? "didEndDragging(YES)" : "didEndDragging(NO)");
  }
  void scrollViewWillBeginDecelerating(UIScrollView*) override { note("willBeginDecelerating"); }
  void scrollViewDidEndDecelerating(UIScrollView*) override { note("didEndDecelerating"); }
  void scrollViewDidEndScrollingAnimation(UIScrollView*) override {
    note("didEndScrollingAnimation");
  }
  void note(const std::string& call) { calls += (calls.empty() ? "" : " ") + call; }

  std::string calls;
  int scrolls = 0;
  std::function<void(UIScrollView*)> onScroll;
};

constexpr double kStep = 1.0 / 60;
// A drag whose lift has speed, to the end of the settling movement.
const std::string kDragAndSettle =
    "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll didEndDecelerating";

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
  // Where the pager rests a second later, and the last delegate call.
  std::string settle() {
    clock.advance(1);
    size_t last = recorder->calls.rfind(' ');
    return std::to_string(static_cast<int>(scroll->contentOffset().x)) + " " +
           recorder->calls.substr(last == std::string::npos ? 0 : last + 1);
  }

  objc::Ref<UIScrollView> scroll;
  objc::Ref<ScrollRecorder> recorder;
};

TEST_F(ScrollViewTest, ProgrammaticOffsetScrollsContentAndReportsChangesOnly) {
  auto container = objc::make<UIView>(CGRectMake(0, 0, 320, 100));
  container->addSubview(scroll);
  UIView* page2 = addView(scroll, CGRectMake(320, 0, 320, 100));
  scroll->setContentOffset(CGPointMake(320, 0));
  EXPECT_EQ(recorder->calls, "scroll");
  EXPECT_EQ(page2->convertPointToView(CGPointZero, container), CGPointMake(0, 0));
  scroll->setContentOffset(CGPointMake(320, 0));
  scroll->setContentOffset(CGPointMake(320, 0), true);
  clock.advance(1);
  EXPECT_EQ(recorder->scrolls, 1);
  EXPECT_TRUE(scroll->clipsToBounds());
}

TEST_F(ScrollViewTest, FlickTurnsToTheNextPageInItsDirection) {
  // 40 points to the left, the last move 10 points in one frame (600 pt/s).
  swipe(300, -40, 4);
  EXPECT_FALSE(scroll->isDragging());
  EXPECT_TRUE(scroll->isDecelerating());
  EXPECT_EQ(recorder->calls, "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating");
  clock.advance(UIScrollView::kPagingDuration);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_FALSE(scroll->isDecelerating());
  EXPECT_EQ(recorder->calls, kDragAndSettle);

  // From page 1, 30 points back to the right with speed: page 0, although
  // page 1 is nearer. And 12 points to the left with speed: page 2.
  swipe(100, 30, 3);
  EXPECT_EQ(settle(), "0 didEndDecelerating");
  scroll->setContentOffset(CGPointMake(320, 0));
  swipe(100, -12, 1);
  EXPECT_EQ(settle(), "640 didEndDecelerating");
}

TEST_F(ScrollViewTest, SlowDragSettlesOnTheNearestPage) {
  // 200 points in 50 moves of 4 points a frame: 240 pt/s is no flick.
  swipe(300, -200, 50, 0.05);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(200, 0));
  EXPECT_EQ(settle(), "320 didEndDecelerating");
  EXPECT_EQ(recorder->calls, kDragAndSettle);
  // Part of the way and back: the page it started from.
  swipe(300, -100, 40);
  EXPECT_EQ(settle(), "320 didEndDecelerating");
}

TEST_F(ScrollViewTest, LiftOnAPageBoundaryWithoutSpeedDoesNotDecelerate) {
  // Exactly one page, then the finger rests before lifting.
  swipe(330, -320, 32, 2 * UIScrollView::kRestInterval);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_EQ(settle(), "320 didEndDragging(NO)");
  EXPECT_EQ(recorder->calls, "willBeginDragging scroll didEndDragging(NO)");
  EXPECT_FALSE(scroll->isDecelerating());
  // The same with speed at the lift goes on to the next page.
  scroll->setContentOffset(CGPointZero);
  swipe(330, -320, 32);
  EXPECT_EQ(settle(), "640 didEndDecelerating");
}

TEST_F(ScrollViewTest, SmallMovesAreNoDragAndWithoutBouncesDragsStopAtTheEdges) {
  swipe(100, -9, 3);
  EXPECT_EQ(settle(), "0 ");
  scroll->setBounces(false);
  // Pulling the first page to the right: nothing to scroll to.
  swipe(100, 50, 10, 0.2);
  EXPECT_EQ(settle(), "0 didEndDragging(NO)");
  EXPECT_EQ(recorder->calls, "willBeginDragging didEndDragging(NO)");
  // Far past the last page: clamped to it; no vertical movement at all.
  scroll->beginDrag(CGPointMake(300, 50));
  clock.advance(kStep);
  scroll->moveDrag(CGPointMake(-900, 90));
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));
  // A fast lift there has no page to go to, so it does not decelerate.
  recorder->calls.clear();
  scroll->endDrag(CGPointMake(-900, 90));
  EXPECT_EQ(settle(), "640 didEndDragging(NO)");
}

// The app's switches: a two-page pager whose page is read when it comes to
// rest, so every drag that moves it must end with didEndDecelerating.
TEST_F(ScrollViewTest, TwoPagesASlowDragToThePageAndBackBothComeToRest) {
  scroll->setContentSize(CGSizeMake(640, 100));
  // 240 points at 240 pt/s: no flick, the nearer page is the second.
  swipe(300, -240, 60);
  EXPECT_EQ(settle(), "320 didEndDecelerating");
  EXPECT_EQ(recorder->calls, kDragAndSettle);
  // Part of the way back, slowly: the second page again.
  recorder->calls.clear();
  swipe(100, 100, 50, 0.2);
  EXPECT_EQ(settle(), "320 didEndDecelerating");
  EXPECT_EQ(recorder->calls, kDragAndSettle);
}

TEST_F(ScrollViewTest, TwoPagesASwipePastTheLastPageStretchesAndSpringsBack) {
  scroll->setContentSize(CGSizeMake(640, 100));
  // 440 points to the left in four frames, 120 past the last page.
  scroll->beginDrag(CGPointMake(400, 50));
  for (int i = 1; i <= 4; ++i) {
    clock.advance(kStep);
    scroll->moveDrag(CGPointMake(400 - 110 * i, 50));
  }
  // 120 points of overrun show as (1 - 1 / (120 * 0.55 / 320 + 1)) * 320.
  double stretched = scroll->contentOffset().x;
  EXPECT_NEAR(stretched, 374.7, 0.1);
  EXPECT_EQ(scroll->contentOffset().y, 0);
  std::vector<double> back;
  recorder->onScroll = [&](UIScrollView* s) { back.push_back(s->contentOffset().x); };
  scroll->endDrag(CGPointMake(-40, 50));
  EXPECT_TRUE(scroll->isDecelerating());
  clock.advance(UIScrollView::kPagingDuration);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
  EXPECT_EQ(recorder->calls, kDragAndSettle);
  // Back towards the page all the way, never past it.
  ASSERT_GE(back.size(), 5u);
  EXPECT_TRUE(std::is_sorted(back.rbegin(), back.rend()));
  EXPECT_LT(back.front(), stretched);
  EXPECT_EQ(back.back(), 320);

  // A small fast flick towards a third page that does not exist: the same.
  recorder->onScroll = nullptr;
  recorder->calls.clear();
  swipe(300, -12, 1);
  EXPECT_EQ(settle(), "320 didEndDecelerating");
  EXPECT_EQ(recorder->calls, kDragAndSettle);
}

TEST_F(ScrollViewTest, PullingTheFirstPageOpenSpringsBackToIt) {
  // 80 points to the right, the finger resting before the lift.
  swipe(100, 80, 20, 0.2);
  EXPECT_LT(scroll->contentOffset().x, -30);
  EXPECT_GT(scroll->contentOffset().x, -80 * UIScrollView::kRubberBandCoefficient);
  EXPECT_EQ(settle(), "0 didEndDecelerating");
  EXPECT_EQ(recorder->calls, kDragAndSettle);

  // Caught while springing back, then let go: back to the edge all the same.
  recorder->calls.clear();
  swipe(100, 80, 20, 0.2);
  clock.advance(0.1);
  scroll->beginDrag(CGPointMake(200, 50));
  double caught = scroll->contentOffset().x;
  EXPECT_LT(caught, 0);
  // Dragged on from there: it follows on from where it was caught.
  clock.advance(kStep);
  scroll->moveDrag(CGPointMake(210, 50));
  EXPECT_LT(scroll->contentOffset().x, caught);
  EXPECT_GT(scroll->contentOffset().x, caught - 10);
  scroll->endDrag(CGPointMake(210, 50), ns::RunLoop::main().now() + 0.2);
  EXPECT_EQ(settle(), "0 didEndDecelerating");
  EXPECT_EQ(recorder->calls,
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll "
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll "
            "didEndDecelerating");
}

TEST_F(ScrollViewTest, OnlyAxesWithMoreContentThanBoundsBounce) {
  // Diagonally past the last page: sideways only.
  scroll->setContentOffset(CGPointMake(640, 0));
  scroll->beginDrag(CGPointMake(300, 50));
  clock.advance(kStep);
  scroll->moveDrag(CGPointMake(250, 90));
  EXPECT_GT(scroll->contentOffset().x, 640);
  EXPECT_EQ(scroll->contentOffset().y, 0);
  scroll->endDrag(CGPointMake(250, 90));
  EXPECT_EQ(settle(), "640 didEndDecelerating");

  // Unless asked: then downwards too, and back.
  scroll->setAlwaysBounceVertical(true);
  scroll->beginDrag(CGPointMake(300, 50));
  clock.advance(kStep);
  scroll->moveDrag(CGPointMake(300, 90));
  EXPECT_LT(scroll->contentOffset().y, -10);
  scroll->endDrag(CGPointMake(300, 90));
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));

  // A list's momentum stops at the edge; pulled past it, it springs back.
  auto list = objc::make<UIScrollView>(CGRectMake(0, 0, 320, 400));
  list->setContentSize(CGSizeMake(320, 1000));
  auto calls = objc::make<ScrollRecorder>();
  list->setDelegate(calls);
  list->beginDrag(CGPointMake(100, 100));
  clock.advance(kStep);
  list->moveDrag(CGPointMake(100, 200));
  EXPECT_LT(list->contentOffset().y, 0);
  EXPECT_EQ(list->contentOffset().x, 0);
  list->endDrag(CGPointMake(100, 200));
  clock.advance(UIScrollView::kBounceDuration);
  EXPECT_EQ(list->contentOffset(), CGPointZero);
  EXPECT_EQ(calls->calls, kDragAndSettle);
}

TEST_F(ScrollViewTest, AnimatedOffsetEndsWithScrollingAnimationOnly) {
  scroll->setContentOffset(CGPointMake(640, 0), true);
  EXPECT_EQ(recorder->calls, "");
  EXPECT_FALSE(scroll->isDecelerating());
  clock.advance(UIScrollView::kAnimationDuration / 2);
  EXPECT_GT(scroll->contentOffset().x, 0);
  EXPECT_LT(scroll->contentOffset().x, 640);
  clock.advance(UIScrollView::kAnimationDuration / 2);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(640, 0));
  EXPECT_EQ(recorder->calls, "scroll didEndScrollingAnimation");
  EXPECT_GE(recorder->scrolls, 10);

  // An offset set without animation stops a running animation silently.
  recorder->calls.clear();
  scroll->setContentOffset(CGPointMake(0, 0), true);
  clock.advance(0.1);
  scroll->setContentOffset(CGPointMake(320, 0));
  EXPECT_EQ(settle(), "320 scroll");
  EXPECT_EQ(recorder->calls, "scroll");
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
  EXPECT_EQ(settle(), "320 scroll");
  EXPECT_EQ(flips, 1);
  EXPECT_FALSE(scroll->isDecelerating());
  EXPECT_EQ(recorder->calls,
            "scroll willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll");
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
  EXPECT_EQ(recorder->calls,
            "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating scroll");
  // Lifting lets the pager settle on a page.
  scroll->endDrag(CGPointMake(100, 50));
  EXPECT_EQ(settle(), "320 didEndDecelerating");
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
  // 1200 pt/s upwards at the lift, unless the finger rests first.
  auto fling = [](UIScrollView* s, double rest = 0) {
    double start = ns::RunLoop::main().now();
    s->beginDrag(CGPointMake(100, 300), start);
    s->moveDrag(CGPointMake(100, 250), start + kStep);
    s->moveDrag(CGPointMake(100, 230), start + 2 * kStep);
    s->endDrag(CGPointMake(100, 230), start + 2 * kStep + rest);
  };
  fling(a);
  fling(b);
  clock.advance(2 * kStep);
  EXPECT_EQ(recordA->calls, "willBeginDragging scroll didEndDragging(YES) willBeginDecelerating");
  // Coarse and fine clock steps give the same path.
  clock.advance(0.5);
  CGPoint halfway = a->contentOffset();
  EXPECT_GT(halfway.y, 70);
  for (int i = 0; i < 200; ++i) clock.advance(0.02);
  EXPECT_EQ(a->contentOffset(), b->contentOffset());
  EXPECT_GT(a->contentOffset().y, halfway.y);
  EXPECT_LT(a->contentOffset().y, 70 + 1200 / 2.0);
  EXPECT_FALSE(a->isDecelerating());
  EXPECT_EQ(recordA->calls, kDragAndSettle);

  // Near the end of the content the momentum stops at the edge.
  a->setContentOffset(CGPointMake(0, 3400));
  fling(a);
  clock.advance(1);
  EXPECT_EQ(a->contentOffset(), CGPointMake(0, 3600));
  EXPECT_TRUE(recordA->calls.ends_with("didEndDecelerating"));

  // A finger that rests before lifting leaves no momentum.
  a->setContentOffset(CGPointMake(0, 1000));
  recordA->calls.clear();
  fling(a, 2 * UIScrollView::kRestInterval);
  clock.advance(1);
  EXPECT_EQ(recordA->calls, "willBeginDragging scroll didEndDragging(NO)");
}

TEST_F(ScrollViewTest, TheDelegateIsWeakAndAScrollViewMayDieWhileMoving) {
  recorder = nullptr;
  EXPECT_EQ(scroll->delegate(), nullptr);
  swipe(300, -40, 4);
  clock.advance(1);
  EXPECT_EQ(scroll->contentOffset(), CGPointMake(320, 0));
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
  auto target = objc::make<ActionProbe>();
  addView<UIButton>(scroll, CGRectMake(0, 0, 320, 100))
      ->addTarget(target, "tapped:", UIControlEventTouchUpInside);
  window->tap(CGPointMake(100, 50));
  EXPECT_EQ(target->calls.size(), 1u);
  EXPECT_EQ(recorder->calls, "");

  window->touchDown(CGPointMake(300, 50));
  for (int i = 1; i <= 4; ++i) {
    clock.advance(kStep);
    window->touchMove(CGPointMake(300 - 10 * i, 50));
  }
  window->touchUp(CGPointMake(260, 50));
  EXPECT_EQ(settle(), "320 didEndDecelerating");
  EXPECT_EQ(target->calls.size(), 1u);
  EXPECT_EQ(recorder->calls, kDragAndSettle);
}

}  // namespace

namespace {

// The desktop's wheel: a paging view turns one page per gesture with a
// flick's delegate calls; a list moves as a short drag, inside its edges; the
// window picks the view under the pointer that scrolls on the wheel's axis.
TEST_F(ScrollViewTest, TheWheelTurnsOnePagePerGestureAndMovesListsWithinTheirEdges) {
  scroll->setContentOffset(CGPointMake(320, 0));
  recorder->calls.clear();
  scroll->scrollWheel(CGPointMake(40, 0));
  clock.advance(0.1);
  scroll->scrollWheel(CGPointMake(40, 0));  // the same gesture: taken, ignored
  EXPECT_EQ(settle(), "640 didEndDecelerating");
  EXPECT_EQ(recorder->calls, kDragAndSettle);
  // Past the last page a new gesture springs back and still comes to rest.
  recorder->calls.clear();
  scroll->scrollWheel(CGPointMake(40, 0));
  EXPECT_EQ(settle(), "640 didEndDecelerating");
  scroll->scrollWheel(CGPointMake(-3, 0));  // a touchpad's small step back
  EXPECT_EQ(settle(), "320 didEndDecelerating");

  auto list = objc::make<UIScrollView>(CGRectMake(0, 100, 320, 200));
  list->setContentSize(CGSizeMake(320, 500));
  auto listRecorder = objc::make<ScrollRecorder>();
  list->setDelegate(listRecorder);
  list->scrollWheel(CGPointMake(0, 40));
  EXPECT_EQ(list->contentOffset(), CGPointMake(0, 40));
  EXPECT_EQ(listRecorder->calls, "willBeginDragging scroll didEndDragging(NO)");
  list->scrollWheel(CGPointMake(0, 1000));
  EXPECT_EQ(list->contentOffset(), CGPointMake(0, 300));
  list->scrollWheel(CGPointMake(0, -1000));
  EXPECT_EQ(list->contentOffset(), CGPointMake(0, 0));

  auto window = objc::make<UIWindow>();
  window->makeKeyAndVisible();
  window->addSubview(scroll);
  window->addSubview(list);
  UIView* row = addView(list, CGRectMake(0, 0, 320, 44));
  (void)row;
  EXPECT_TRUE(window->scrollWheel(CGPointMake(10, 110), CGPointMake(0, 40)));
  EXPECT_EQ(list->contentOffset(), CGPointMake(0, 40));
  // A vertical turn over the pager turns its page; nothing outside any.
  clock.advance(1);
  EXPECT_TRUE(window->scrollWheel(CGPointMake(10, 50), CGPointMake(0, -40)));
  EXPECT_EQ(settle(), "0 didEndDecelerating");
  EXPECT_FALSE(window->scrollWheel(CGPointMake(10, 400), CGPointMake(0, 40)));
  window->removeFromSuperview();
}

}  // namespace
