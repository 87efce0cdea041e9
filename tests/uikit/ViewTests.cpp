#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

using Views = std::vector<objc::Ref<UIView>>;

class ViewTest : public UIKitTest {};

TEST_F(ViewTest, FrameCentreAndBoundsFollowEachOther) {
  auto v = objc::make<UIView>(CGRectMake(10, 20, 100, 50));
  EXPECT_EQ(v->center(), CGPointMake(60, 45));
  EXPECT_EQ(v->bounds(), CGRectMake(0, 0, 100, 50));
  v->setCenter(CGPointMake(160, 45));  // moves the frame
  EXPECT_EQ(v->frame(), CGRectMake(110, 20, 100, 50));
  v->setBounds(CGRectMake(0, 0, 20, 10));  // resizes around the centre
  EXPECT_EQ(v->frame(), CGRectMake(150, 40, 20, 10));
  v->setFrame(CGRectMake(0, 0, 10, 10));
  EXPECT_EQ(v->center(), CGPointMake(5, 5));
}

TEST_F(ViewTest, CoordinatesAreComputedInDoubleAndStoredAsFloat) {
  double W = UIScreen::mainScreen()->bounds().size.width;
  double H = UIScreen::mainScreen()->bounds().size.height;
  auto carousel = objc::make<UIView>(CGRectMake(0, 20, W / 1.3, H / 2 - 30));
  EXPECT_EQ(carousel->frame().size.width, static_cast<float>(320 / 1.3));
  EXPECT_EQ(carousel->frame().size.height, 254.0f);
  carousel->setCenter(CGPointMake(W / 2, carousel->center().y));
  EXPECT_EQ(carousel->center().x, 160.0f);
  EXPECT_EQ(NSStringFromCGRect(carousel->frame()), "{{36.92308, 20}, {246.15384, 254}}");
}

TEST_F(ViewTest, SubviewsKeepOrderAndOwnership) {
  auto parent = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  auto a = objc::make<UIView>(), b = objc::make<UIView>(), c = objc::make<UIView>();
  parent->addSubview(a);
  parent->addSubview(b);
  parent->addSubview(c);
  EXPECT_EQ(parent->subviews(), (Views{a, b, c}));
  parent->bringSubviewToFront(a);
  EXPECT_EQ(parent->subviews(), (Views{b, c, a}));
  parent->insertSubview(a, 0);
  EXPECT_EQ(parent->subviews(), (Views{a, b, c}));
  parent->insertSubviewAbove(a, b);
  EXPECT_EQ(parent->subviews(), (Views{b, a, c}));
  parent->insertSubviewBelow(c, b);
  EXPECT_EQ(parent->subviews(), (Views{c, b, a}));
  parent->sendSubviewToBack(a);
  EXPECT_EQ(parent->subviews(), (Views{a, c, b}));
  parent->exchangeSubviewAtIndex(0, 2);
  EXPECT_EQ(parent->subviews(), (Views{b, c, a}));

  // The layers follow the views, with a view's extra sublayers kept in place.
  auto extra = CAShapeLayer::layer();
  parent->layer()->insertSublayerAbove(extra, c->layer());
  parent->bringSubviewToFront(b);
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
  auto bottom = objc::make<UIView>(CGRectMake(0, 0, 200, 200));
  auto top = objc::make<UIView>(CGRectMake(100, 100, 200, 200));
  auto inner = objc::make<UIView>(CGRectMake(10, 10, 50, 50));
  auto outside = objc::make<UIView>(CGRectMake(250, 0, 50, 50));  // beyond bottom's bounds
  root->addSubview(bottom);
  root->addSubview(top);
  top->addSubview(inner);
  bottom->addSubview(outside);

  EXPECT_EQ(root->hitTest(CGPointMake(170, 170), nullptr), top.get());  // topmost first
  EXPECT_EQ(root->hitTest(CGPointMake(50, 50), nullptr), bottom.get());
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), inner.get());
  // A point outside a view's bounds misses its subviews too.
  EXPECT_EQ(root->hitTest(CGPointMake(260, 10), nullptr), root.get());
  EXPECT_EQ(root->hitTest(CGPointMake(400, 10), nullptr), nullptr);
  // Maximum edges are outside.
  EXPECT_EQ(root->hitTest(CGPointMake(299.99f, 299.99f), nullptr), top.get());
  EXPECT_EQ(root->hitTest(CGPointMake(300, 150), nullptr), root.get());

  top->setAlpha(0.009);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), bottom.get());
  top->setAlpha(0.01);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), inner.get());
  top->setHidden(true);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), bottom.get());
  top->setHidden(false);
  inner->setUserInteractionEnabled(false);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), top.get());
  top->setUserInteractionEnabled(false);  // with all its subviews
  inner->setUserInteractionEnabled(true);
  EXPECT_EQ(root->hitTest(CGPointMake(115, 115), nullptr), bottom.get());

  // Labels and image views ignore touches by default.
  auto label = objc::make<UILabel>(CGRectMake(0, 300, 100, 100));
  root->addSubview(label);
  EXPECT_EQ(root->hitTest(CGPointMake(10, 310), nullptr), root.get());
}

TEST_F(ViewTest, BoundsOriginShiftsContentAndConversions) {
  auto root = objc::make<UIView>(CGRectMake(0, 0, 320, 568));
  auto scroller = objc::make<UIView>(CGRectMake(10, 10, 100, 100));
  auto content = objc::make<UIView>(CGRectMake(100, 0, 100, 100));
  root->addSubview(scroller);
  scroller->addSubview(content);
  scroller->setBounds(CGRectMake(100, 0, 100, 100));  // scrolled one page right
  EXPECT_EQ(root->hitTest(CGPointMake(20, 20), nullptr), content.get());
  EXPECT_EQ(content->convertPointToView(CGPointZero, root), CGPointMake(10, 10));
  EXPECT_EQ(root->convertPointToView(CGPointMake(15, 30), content), CGPointMake(5, 20));
  EXPECT_EQ(content->convertPointFromView(CGPointMake(15, 30), nullptr), CGPointMake(5, 20));
  EXPECT_EQ(content->convertRectToView(CGRectMake(1, 2, 3, 4), nullptr), CGRectMake(11, 12, 3, 4));
  EXPECT_EQ(content->frameOnScreen(), CGRectMake(10, 10, 100, 100));
}

TEST_F(ViewTest, AutoresizingSharesTheChange) {
  auto parent = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  auto fill = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  fill->setAutoresizingMask(0xFF);  // every flag, as the carousel sets it
  auto pinned = objc::make<UIView>(CGRectMake(10, 10, 20, 20));
  pinned->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
  auto fixed = objc::make<UIView>(CGRectMake(10, 10, 20, 20));
  parent->addSubview(fill);
  parent->addSubview(pinned);
  parent->addSubview(fixed);
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

TEST_F(ViewTest, LayoutRunsFromTheRunLoopAndReachesHooks) {
  gPreviousDidLayout = objc::class_replaceMethod(LayoutController::classObject(),
                                                 objc::sel_registerName("viewDidLayoutSubviews"),
                                                 hookedDidLayout, "v@:");
  ASSERT_NE(gPreviousDidLayout, nullptr);

  auto window = objc::make<UIWindow>();
  auto vc = objc::make<LayoutController>();
  auto view = objc::make<CountingView>(CGRectZero);
  vc->setView(view);
  EXPECT_EQ(vc->loads, 0);  // a view given from outside is not loaded
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

TEST_F(ViewTest, ControllerLoadsItsViewOnFirstUse) {
  auto vc = objc::make<LayoutController>();
  EXPECT_FALSE(vc->isViewLoaded());
  UIView* v = vc->view();
  EXPECT_EQ(vc->loads, 1);
  EXPECT_EQ(v->frame(), CGRectMake(0, 0, 320, 568));
  EXPECT_EQ(vc->view(), v);
  EXPECT_EQ(vc->loads, 1);
  EXPECT_EQ(v->nextResponder(), vc.get());
}

// Row views attached to cells under one shared key, as the lists do.
const char kCellViewKey = 0;

TEST_F(ViewTest, AssociatedRowViewLivesAsLongAsItsCell) {
  objc::Weak<UIView> weakRow;
  {
    auto cell = objc::make<UIView>(CGRectMake(0, 0, 320, 44));
    auto row = objc::make<UILabel>(CGRectMake(0, 0, 272.34, 44));
    weakRow = row.get();
    cell->addSubview(row);
    objc::objc_setAssociatedObject(cell, &kCellViewKey, row,
                                   objc::OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    row = nullptr;
    EXPECT_EQ(objc::objc_getAssociatedObject(cell, &kCellViewKey), weakRow.get());
    weakRow->removeFromSuperview();  // the association alone keeps it
    EXPECT_TRUE(weakRow);
  }
  EXPECT_FALSE(weakRow);
}

TEST_F(ViewTest, ColoursFontsAndGeometryText) {
  EXPECT_EQ(UIColor::brownColor()->CGColor(), CGColorMake(0.6, 0.4, 0.2, 1));
  EXPECT_EQ(UIColor::lightGrayColor()->CGColor(), CGColorMake(2.0 / 3, 2.0 / 3, 2.0 / 3, 1));
  EXPECT_EQ(UIColor::orangeColor()->CGColor(), CGColorMake(1, 0.5, 0, 1));
  EXPECT_EQ(UIColor::clearColor()->alpha(), 0);
  auto tint = UIColor::brownColor()->colorWithAlphaComponent(0.1);
  EXPECT_EQ(tint->CGColor(), CGColorMake(0.6, 0.4, 0.2, 0.1));
  EXPECT_TRUE(tint->isEqual(UIColor::colorWithRed(0.6, 0.4, 0.2, 0.1)));

  auto futura = UIFont::fontWithName("Futura", 568 / 19.0);
  EXPECT_EQ(futura->fontName(), "Futura");  // kept even without the face
  EXPECT_EQ(futura->pointSize(), static_cast<float>(568 / 19.0));
  EXPECT_EQ(UIFont::systemFontOfSize(12)->fontName(), ".HelveticaNeueInterface-Regular");

  auto v = objc::make<UIView>();
  v->setBackgroundColor(tint);
  EXPECT_EQ(v->layer()->backgroundColor(), tint->CGColor());
  v->setBackgroundColor(nullptr);
  EXPECT_FALSE(v->layer()->backgroundColor().has_value());
  v->layer()->setCornerRadius(10);
  EXPECT_EQ(v->layer()->cornerRadius(), 10);
}

TEST_F(ViewTest, BezierArcsAreInScreenCoordinates) {
  auto ring = UIBezierPath::bezierPathWithArcCenter(CGPointMake(123.08, 0), 85.33, 0, M_PI, true);
  // Clockwise from the right-hand point through the bottom to the left.
  CGRect box = ring->bounds();
  EXPECT_NEAR(box.origin.y, 0, 1e-3);
  EXPECT_NEAR(box.size.height, 85.33, 1e-3);
  EXPECT_NEAR(box.size.width, 2 * 85.33, 1e-3);
  auto shape = CAShapeLayer::layer();
  shape->setPath(ring->CGPath());
  EXPECT_EQ(shape->path(), ring->CGPath());
}

TEST_F(ViewTest, ScreenProfiles) {
  double w, h, s;
  EXPECT_TRUE(UIScreen::parseProfile("375x667@2", &w, &h, &s));
  EXPECT_EQ(w, 375);
  EXPECT_EQ(h, 667);
  EXPECT_EQ(s, 2);
  EXPECT_TRUE(UIScreen::parseProfile("320x480", &w, &h, &s));
  EXPECT_EQ(s, 2);
  EXPECT_FALSE(UIScreen::parseProfile("320x", &w, &h, &s));
  EXPECT_FALSE(UIScreen::parseProfile("320x480@", &w, &h, &s));
  EXPECT_FALSE(UIScreen::parseProfile("0x480@2", &w, &h, &s));
  EXPECT_FALSE(UIScreen::parseProfile("320x480@2junk", &w, &h, &s));

  UIScreen::resetDeviceProfile();
  setenv("CORVANE_SCREEN", "320x480@2", 1);
  EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 320, 480));
  setenv("CORVANE_SCREEN", "garbage", 1);
  EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 320, 568));
  unsetenv("CORVANE_SCREEN");
  UIScreen::setDeviceProfile(375, 667, 3);
  EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 375, 667));
  EXPECT_EQ(UIScreen::mainScreen()->scale(), 3);
}

TEST_F(ViewTest, ImagesReadTheirSizeFromThePNGHeader) {
  // A PNG signature and IHDR chunk are all the model reads.
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x48\x08\x06\0\0\0", 29);
  testsupport::writeHostFile(root.host("/Applications/Corvane.app/flagIcon.png"), png);
  testsupport::writeHostFile(root.host("/Applications/Corvane.app/menu@2x.png"), png);
  testsupport::writeHostFile(root.host("/Applications/Corvane.app/fake.png"), "GIF89a....");
  auto flag = UIImage::imageWithContentsOfFile("/Applications/Corvane.app/flagIcon.png");
  ASSERT_TRUE(flag);
  EXPECT_EQ(flag->size(), CGSizeMake(48, 72));
  EXPECT_EQ(flag->path(), "/Applications/Corvane.app/flagIcon.png");
  EXPECT_EQ(flag->hostPath(), root.host("/Applications/Corvane.app/flagIcon.png"));
  auto menu = UIImage::imageWithContentsOfFile("/Applications/Corvane.app/menu@2x.png");
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->size(), CGSizeMake(24, 36));
  EXPECT_EQ(menu->pixelWidth(), 48);
  EXPECT_FALSE(UIImage::imageWithContentsOfFile("/Applications/Corvane.app/fake.png"));
  EXPECT_FALSE(UIImage::imageWithContentsOfFile("/Applications/Corvane.app/none.png"));
  int w, h;
  EXPECT_FALSE(UIImage::readPNGSize(png.substr(0, 20), &w, &h));  // cut short
  std::string zero = png;
  zero[19] = 0;  // width 0
  EXPECT_FALSE(UIImage::readPNGSize(zero, &w, &h));
}

}  // namespace

OBJC_CLASS_IMPL(LayoutController, UIViewController, nullptr)
OBJC_CLASS_IMPL(CountingView, UIView, nullptr)
