#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKit/UILayoutScheduler.h"
#include "UIKitFixture.h"
#include "UIKitHost/UIApplicationHost.h"

namespace {

using Views = std::vector<objc::Ref<UIView>>;

class ViewTest : public UIKitTest {};

TEST_F(ViewTest, FrameCentreAndBoundsFollowEachOtherInFloat) {
  auto v = objc::make<UIView>(CGRectMake(10, 20, 100, 50));
  EXPECT_EQ(v->center(), CGPointMake(60, 45));
  v->setCenter(CGPointMake(160, 45));  // moves the frame
  EXPECT_EQ(v->frame(), CGRectMake(110, 20, 100, 50));
  v->setBounds(CGRectMake(0, 0, 20, 10));  // resizes around the centre
  EXPECT_EQ(v->frame(), CGRectMake(150, 40, 20, 10));
  // Computed in double, stored as float, as the carousel's frame is.
  v->setFrame(CGRectMake(0, 20, 320 / 1.3, 568 / 2.0 - 30));
  v->setCenter(CGPointMake(160, v->center().y));
  EXPECT_EQ(NSStringFromCGRect(v->frame()), "{{36.92308, 20}, {246.15384, 254}}");
}

TEST_F(ViewTest, SubviewsKeepOrderAndOwnership) {
  auto parent = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  auto a = objc::make<UIView>(), b = objc::make<UIView>(), c = objc::make<UIView>();
  parent->addSubview(a);
  parent->addSubview(b);
  parent->addSubview(c);
  EXPECT_EQ(parent->subviews(), (Views{a, b, c}));
  parent->insertSubviewAbove(a, b);
  EXPECT_EQ(parent->subviews(), (Views{b, a, c}));
  parent->insertSubviewBelow(c, b);
  EXPECT_EQ(parent->subviews(), (Views{c, b, a}));
  parent->insertSubview(b, 2);
  EXPECT_EQ(parent->subviews(), (Views{c, a, b}));

  // The layers follow the views, with a view's extra sublayers kept in place.
  auto extra = CAShapeLayer::layer();
  parent->layer()->insertSublayerAbove(extra, c->layer());
  parent->insertSubview(b, 3);
  std::vector<CALayer*> layers;
  for (auto& l : parent->layer()->sublayers()) layers.push_back(l);
  EXPECT_EQ(layers, (std::vector<CALayer*>{c->layer(), extra.get(), a->layer(), b->layer()}));

  // Moving a view to another parent takes it from the first.
  auto other = objc::make<UIView>();
  other->addSubview(b);
  EXPECT_EQ(b->superview(), other.get());
  EXPECT_EQ(parent->subviews(), (Views{c, a}));
  b->removeFromSuperview();
  EXPECT_EQ(b->superview(), nullptr);
  EXPECT_EQ(b->layer()->superlayer(), nullptr);

  a->addSubview(parent);  // an ancestor cannot become a subview
  EXPECT_EQ(parent->superview(), nullptr);
  EXPECT_EQ(a->superview(), parent.get());
}

TEST_F(ViewTest, ADyingSuperviewLetsGoOfItsSubviews) {
  auto child = objc::make<UIView>();
  int refs = child->retainCount();
  {
    auto parent = objc::make<UIView>();
    parent->addSubview(child);
    EXPECT_EQ(child->retainCount(), refs + 1);
  }
  EXPECT_EQ(child->superview(), nullptr);
  EXPECT_EQ(child->retainCount(), refs);
}

TEST_F(ViewTest, HitTestingAsTheToolkitDoesIt) {
  auto root = objc::make<UIView>(CGRectMake(0, 0, 320, 568));
  UIView* bottom = addView(root, CGRectMake(0, 0, 200, 200));
  UIView* top = addView(root, CGRectMake(100, 100, 200, 200));
  UIView* inner = addView(top, CGRectMake(10, 10, 50, 50));
  addView(bottom, CGRectMake(250, 0, 50, 50));  // beyond bottom's bounds

  EXPECT_EQ(root->hitTest(CGPointMake(170, 170), nullptr), top);  // topmost first
  EXPECT_EQ(root->hitTest(CGPointMake(50, 50), nullptr), bottom);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), inner);
  // A point outside a view's bounds misses its subviews too.
  EXPECT_EQ(root->hitTest(CGPointMake(260, 10), nullptr), root.get());
  EXPECT_EQ(root->hitTest(CGPointMake(400, 10), nullptr), nullptr);
  // Maximum edges are outside.
  EXPECT_EQ(root->hitTest(CGPointMake(299.99f, 299.99f), nullptr), top);
  EXPECT_EQ(root->hitTest(CGPointMake(300, 150), nullptr), root.get());

  top->setAlpha(0.009);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), bottom);
  top->setAlpha(0.01);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), inner);
  top->setHidden(true);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), bottom);
  top->setHidden(false);
  inner->setUserInteractionEnabled(false);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), top);
  top->setUserInteractionEnabled(false);  // with all its subviews
  inner->setUserInteractionEnabled(true);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), bottom);

  // Labels and image views ignore touches by default.
  addView<UILabel>(root, CGRectMake(0, 300, 100, 100));
  EXPECT_EQ(root->hitTest(CGPointMake(10, 310), nullptr), root.get());
}

TEST_F(ViewTest, BoundsOriginShiftsContentAndConversions) {
  auto root = objc::make<UIView>(CGRectMake(0, 0, 320, 568));
  UIView* scroller = addView(root, CGRectMake(10, 10, 100, 100));
  UIView* content = addView(scroller, CGRectMake(100, 0, 100, 100));
  scroller->setBounds(CGRectMake(100, 0, 100, 100));  // scrolled one page right
  EXPECT_EQ(root->hitTest(CGPointMake(20, 20), nullptr), content);
  EXPECT_EQ(content->convertPointToView(CGPointZero, root), CGPointMake(10, 10));
  EXPECT_EQ(root->convertPointToView(CGPointMake(15, 30), content), CGPointMake(5, 20));
  EXPECT_EQ(content->convertPointFromView(CGPointMake(15, 30), nullptr), CGPointMake(5, 20));
  EXPECT_EQ(content->convertRectToView(CGRectMake(1, 2, 3, 4), nullptr), CGRectMake(11, 12, 3, 4));
  EXPECT_EQ(content->frameOnScreen(), CGRectMake(10, 10, 100, 100));
}

TEST_F(ViewTest, AutoresizingSharesTheChange) {
  auto parent = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  UIView* fill = addView(parent, CGRectMake(0, 0, 100, 100));
  fill->setAutoresizingMask(0xFF);  // every flag, as the carousel sets it
  UIView* pinned = addView(parent, CGRectMake(10, 10, 20, 20));
  pinned->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
  UIView* fixed = addView(parent, CGRectMake(10, 10, 20, 20));
  parent->setFrame(CGRectMake(0, 0, 200, 50));
  EXPECT_EQ(fill->frame(), CGRectMake(0, 0, 200, 50));
  EXPECT_EQ(pinned->frame(), CGRectMake(110, 10, 20, 20));
  EXPECT_EQ(fixed->frame(), CGRectMake(10, 10, 20, 20));
  parent->setAutoresizesSubviews(false);
  parent->setFrame(CGRectMake(0, 0, 100, 100));
  EXPECT_EQ(fill->frame(), CGRectMake(0, 0, 200, 50));
}

// A controller whose layout callbacks are counted, one of them through a
// hook installed the way the recorder installs its hooks.
class LayoutController : public UIViewController {
  OBJC_CLASS(LayoutController)
 public:
  void viewDidLoad() override { ++loads; }
  void viewDidLayoutSubviews() override { ++didLayout; }
  int loads = 0;
  int didLayout = 0;
};

class CountingView : public UIView {
  OBJC_CLASS(CountingView)
 public:
  using UIView::UIView;
  void layoutSubviews() override { ++layouts; }
  int layouts = 0;
};

objc::IMP gPreviousDidLayout = nullptr;
int gHookCalls = 0;
objc::id hookedDidLayout(objc::id self, objc::SEL cmd, objc::id arg) {
  ++gHookCalls;
  return gPreviousDidLayout(self, cmd, arg);
}

TEST_F(ViewTest, ControllersLoadTheirViewOnceAndLayoutRunsFromTheRunLoopThroughHooks) {
  gPreviousDidLayout = objc::class_replaceMethod(LayoutController::classObject(),
                                                 objc::sel_registerName("viewDidLayoutSubviews"),
                                                 hookedDidLayout, "v@:");
  ASSERT_NE(gPreviousDidLayout, nullptr);

  auto window = objc::make<UIWindow>();
  // A controller loads its view once, on first use, unless it is given one.
  auto loaded = objc::make<LayoutController>();
  EXPECT_FALSE(loaded->isViewLoaded());
  EXPECT_EQ(loaded->view(), loaded->view());
  EXPECT_EQ(loaded->loads, 1);
  EXPECT_EQ(loaded->view()->frame(), CGRectMake(0, 0, 320, 568));
  EXPECT_EQ(loaded->view()->nextResponder(), loaded.get());
  auto vc = objc::make<LayoutController>();
  auto view = objc::make<CountingView>(CGRectZero);
  vc->setView(view);
  EXPECT_EQ(vc->loads, 0);
  window->setRootViewController(vc);
  window->makeKeyAndVisible();  // lays out once
  EXPECT_EQ(view->layouts, 1);
  EXPECT_EQ(vc->didLayout, 1);
  EXPECT_EQ(gHookCalls, 1);

  view->setNeedsLayout();
  view->setNeedsLayout();
  EXPECT_EQ(view->layouts, 1);  // not inside the call
  clock.advance(0);
  EXPECT_EQ(view->layouts, 2);  // once for both requests
  EXPECT_EQ(gHookCalls, 2);
  view->setFrame(CGRectMake(0, 0, 10, 10));  // a size change asks for layout
  view->layoutIfNeeded();
  EXPECT_EQ(view->layouts, 3);
  clock.advance(0);
  EXPECT_EQ(view->layouts, 3);

  objc::class_replaceMethod(LayoutController::classObject(),
                            objc::sel_registerName("viewDidLayoutSubviews"), gPreviousDidLayout,
                            "v@:");
}

// Notes its layout passes in a shared log.
class LoggingView : public UIView {
  OBJC_CLASS(LoggingView)
 public:
  using UIView::UIView;
  void layoutSubviews() override { *log += name + " "; }
  std::string name;
  std::string* log = nullptr;
};

TEST_F(ViewTest, TheLayoutPassVisitsRegisteredRootsOnceInOrderUntilTheyLeave) {
  std::string log;
  auto root = [&](const char* name) {
    auto view = objc::make<LoggingView>(CGRectMake(0, 0, 10, 10));
    view->name = name;
    view->log = &log;
    return view;
  };
  auto a = root("a"), b = root("b");
  UILayoutScheduler& scheduler = UILayoutScheduler::shared();
  scheduler.addRoot(b);
  scheduler.addRoot(a);
  scheduler.addRoot(b);  // already there
  scheduler.schedule();
  scheduler.schedule();
  EXPECT_EQ(log, "");  // from the run loop, not inside the call
  clock.advance(0);
  EXPECT_EQ(log, "b a ");
  a->setNeedsLayout();  // not in a window: asks for no pass itself
  scheduler.removeRoot(b);
  scheduler.layoutIfNeeded();
  EXPECT_EQ(log, "b a a ");
  scheduler.removeRoot(a);

  // A window registers itself and leaves when it goes.
  {
    auto window = objc::make<UIWindow>();
    auto* inside = addView<LoggingView>(window, CGRectMake(0, 0, 10, 10));
    inside->name = "w";
    inside->log = &log;
    clock.advance(0);
    EXPECT_EQ(log, "b a a w ");
  }
  scheduler.schedule();
  clock.advance(0);
  EXPECT_EQ(log, "b a a w ");
}

TEST_F(ViewTest, ScreenProfilesFromTheEnvironment) {
  double w, h, s;
  EXPECT_TRUE(UIScreen::parseProfile("375x667@3", &w, &h, &s));
  EXPECT_EQ((std::vector<double>{w, h, s}), (std::vector<double>{375, 667, 3}));
  EXPECT_TRUE(UIScreen::parseProfile("320x480", &w, &h, &s));
  EXPECT_EQ(s, 2);  // the default scale
  for (const char* bad : {"320x", "320x480@", "0x480@2", "320x480@2junk"})
    EXPECT_FALSE(UIScreen::parseProfile(bad, &w, &h, &s)) << bad;

  // The host applies the environment's profile while it lives.
  UIScreen::resetDeviceProfile();
  setenv("CORVANE_SCREEN", "320x480@2", 1);
  {
    UIKitHost::UIApplicationHost host(UIKitHost::LaunchOptions::fromEnvironment());
    EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 320, 480));
  }
  EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 320, 568));
  setenv("CORVANE_SCREEN", "garbage", 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(UIKitHost::LaunchOptions::fromEnvironment().screen);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("CORVANE_SCREEN"), std::string::npos);
  unsetenv("CORVANE_SCREEN");
}

TEST_F(ViewTest, ImagesReadTheirSizeFromThePNGHeader) {
  // A PNG signature and IHDR chunk are all the model reads.
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x48\x08\x06\0\0\0", 29);
  for (const char* name : {"/flag.png", "/menu@2x.png"})
    testsupport::writeHostFile(root.host(name), png);
  testsupport::writeHostFile(root.host("/fake.png"), "GIF89a....");
  auto flag = UIImage::imageWithContentsOfFile("/flag.png");
  auto menu = UIImage::imageWithContentsOfFile("/menu@2x.png");
  ASSERT_TRUE(flag && menu);
  EXPECT_EQ(flag->size(), CGSizeMake(48, 72));
  EXPECT_EQ(menu->size(), CGSizeMake(24, 36));
  EXPECT_EQ(menu->pixelWidth(), 48);
  EXPECT_FALSE(UIImage::imageWithContentsOfFile("/fake.png"));
  EXPECT_FALSE(UIImage::imageWithContentsOfFile("/none.png"));
  int w, h;
  EXPECT_FALSE(UIImage::readPNGSize(png.substr(0, 20), &w, &h));  // cut short
  png[19] = 0;                                                    // width 0
  EXPECT_FALSE(UIImage::readPNGSize(png, &w, &h));
}

}  // namespace

OBJC_CLASS_IMPL(LayoutController, UIViewController, nullptr)
OBJC_CLASS_IMPL(CountingView, UIView, nullptr)
OBJC_CLASS_IMPL(LoggingView, UIView, nullptr)
