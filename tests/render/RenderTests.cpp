// Pixel checks of small scenes: each looks at chosen points of a picture and
// wants given colours there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "../uikit/UIKitFixture.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIKit.h"
#include "UIKitHost/UIAutomation.h"
#include "UIKitHost/UIRenderer.h"

namespace {

constexpr CGColor kClear{0, 0, 0, 0}, kWhite{1, 1, 1, 1}, kRed{1, 0, 0, 1}, kBlue{0, 0, 1, 1};

// Channels within a few steps of 255 (blending rounds); the colour of a
// transparent pixel means nothing.
bool near(const CGColor& a, const CGColor& b, double tolerance = 3.0 / 255) {
  auto off = [&](double x, double y) { return std::fabs(x - y) > tolerance; };
  return !off(a.alpha, b.alpha) &&
         (b.alpha == 0 || !(off(a.red, b.red) || off(a.green, b.green) || off(a.blue, b.blue)));
}
bool isGreen(const CGColor& c) {
  return c.green > 0.7 && c.red < 0.5 && c.alpha > 0.9;
}

struct Spot {
  double x, y;
  CGColor want;
};
Spot at(double x, double y, CGColor want) {
  return {x, y, want};
}
void expectSpots(const CGContext& picture, std::initializer_list<Spot> spots) {
  for (const Spot& s : spots) {
    CGColor c = picture.colorAtPoint(CGPointMake(s.x, s.y));
    EXPECT_TRUE(near(c, s.want)) << "at " << s.x << "," << s.y << ": " << c.red << " " << c.green
                                 << " " << c.blue << " " << c.alpha;
  }
}

// Where the ink of a picture lies: pixels with any coverage.
struct Ink {
  int count = 0;
  int minX = INT32_MAX, minY = INT32_MAX, maxX = -1, maxY = -1;
};
Ink inkOf(const CGContext& c) {
  Ink ink;
  for (int y = 0; y < c.pixelHeight(); ++y)
    for (int x = 0; x < c.pixelWidth(); ++x)
      if (c.pixelAt(x, y).alpha > 0) {
        ++ink.count;
        ink.minX = std::min(ink.minX, x);
        ink.maxX = std::max(ink.maxX, x);
        ink.minY = std::min(ink.minY, y);
        ink.maxY = std::max(ink.maxY, y);
      }
  return ink;
}

// A view of one colour in a parent, which keeps it.
UIView* box(UIView* parent, CGRect frame, UIColor* colour) {
  UIView* view = addView(parent, frame);
  view->setBackgroundColor(colour);
  return view;
}

objc::Ref<UILabel> label(CGRect frame, const std::string& text, objc::Ref<UIFont> font) {
  auto l = objc::make<UILabel>(frame);
  l->setText(text);
  l->setFont(font);
  return l;
}

class Drawing : public UIKitTest {
 protected:
  // A window of the screen's size with a white root view, made key.
  Drawing() {
    window->makeKeyAndVisible();
    content->setBackgroundColor(UIColor::whiteColor());
    window->addSubview(content);
  }
  // Draws one view alone on a transparent picture of the screen's size.
  std::unique_ptr<CGContext> drawAlone(UIView* view) {
    auto context = std::make_unique<CGContext>(320, 568, 2);
    renderer.drawView(*context, view);
    return context;
  }

  objc::Ref<UIWindow> window = objc::make<UIWindow>();
  objc::Ref<UIView> content = objc::make<UIView>(CGRectMake(0, 0, 320, 568));
  UIRenderer renderer;
};

// --- layers: corners, alpha, clipping -------------------------------------------

TEST_F(Drawing, RoundedCornerIsTransparentOutsideAndClipsWhenMasking) {
  auto panel = objc::make<UIView>(CGRectMake(10, 10, 100, 100));
  panel->setBackgroundColor(UIColor::redColor());
  panel->layer()->setCornerRadius(10);
  // (12, 12) is 11.3 points from the arc's centre.
  expectSpots(*drawAlone(panel), {at(10.5, 10.5, kClear), at(12, 12, kClear), at(20, 12, kRed),
                                  at(60, 60, kRed), at(108, 108.5, kClear)});
  // A subview filling the panel shows in the corner until the panel masks.
  box(panel, CGRectMake(0, 0, 100, 100), UIColor::blueColor());
  expectSpots(*drawAlone(panel), {at(11, 11, kBlue)});
  panel->setClipsToBounds(true);
  expectSpots(*drawAlone(panel), {at(11, 11, kClear), at(60, 60, kBlue)});
}

TEST_F(Drawing, AlphaBlendsOverWhatIsBelowAndAppliesToAGroupAsAWhole) {
  content->setBackgroundColor(UIColor::brownColor());
  box(content, CGRectMake(0, 0, 100, 100), UIColor::whiteColor())->setAlpha(0.5);
  box(content, CGRectMake(100, 0, 100, 100), UIColor::whiteColor()->colorWithAlphaComponent(0.5));
  box(content, CGRectMake(200, 0, 50, 50), UIColor::redColor())->setHidden(true);
  box(content, CGRectMake(250, 0, 50, 50), UIColor::redColor())->setAlpha(0);
  // Where red and blue overlap in a half-transparent group only blue shows.
  UIView* group = box(content, CGRectMake(0, 200, 200, 100), nullptr);
  group->setAlpha(0.5);
  box(group, CGRectMake(0, 0, 120, 100), UIColor::redColor());
  box(group, CGRectMake(80, 0, 120, 100), UIColor::blueColor());
  const CGColor brown{0.6, 0.4, 0.2, 1}, whiteOverBrown{0.8, 0.7, 0.6, 1};
  expectSpots(
      *renderer.renderScreen(),
      {at(50, 50, whiteOverBrown), at(150, 50, whiteOverBrown), at(225, 25, brown),
       at(275, 25, brown), at(100, 250, {0.3, 0.2, 0.6, 1}), at(40, 250, {0.8, 0.2, 0.1, 1})});
}

TEST_F(Drawing, ScrollViewShowsItsContentAtTheOffsetAndClipsToItsBounds) {
  auto scroll = objc::make<UIScrollView>(CGRectMake(0, 0, 100, 100));
  scroll->setContentSize(CGSizeMake(300, 100));
  box(scroll, CGRectMake(0, 0, 300, 100), UIColor::redColor());
  box(scroll, CGRectMake(100, 0, 100, 100), UIColor::blueColor());
  content->addSubview(scroll);
  expectSpots(*renderer.renderScreen(), {at(50, 50, kRed)});
  scroll->setContentOffset(CGPointMake(100, 0));
  expectSpots(*renderer.renderScreen(), {at(50, 50, kBlue), at(150, 50, kWhite)});
}

// --- the ring -------------------------------------------------------------------

class Ring : public Drawing {
 protected:
  // The card's ring on a 320 x 568 screen: radius 85.33, centre
  // (123.08, 151.6) of a 246.15 x 254 card, drawn from the right-hand point
  // clockwise.
  Ring() {
    card->setFrame(CGRectMake(0, 0, 246.15, 254));
    CGPath circle;
    circle.addArc(CGPointMake(123.08, 0), kRadius, 0, 2 * M_PI, true);
    arc->setPath(circle);
    arc->setLineWidth(15);
    arc->setFillColor(CGColorRef());
    arc->setStrokeColor(CGColorMake(0.24, 0.85, 0.45, 1));
    arc->setFrame(CGRectMake(0, 151.6, 0, 0));
    card->layer()->addSublayer(arc);
    content->addSubview(card);
  }
  // Draws the circle in from nothing over 0.7 s.
  void grow(bool removedOnCompletion) {
    auto anim = CABasicAnimation::animationWithKeyPath("strokeEnd");
    anim->setFromValue(0.0);
    anim->setToValue(1.0);
    anim->setDuration(0.7);
    anim->setRemovedOnCompletion(removedOnCompletion);
    arc->addAnimation(anim);
  }
  CGPoint onCircle(double halfTurns, double outward = 0) {
    double r = kRadius + outward, a = halfTurns * M_PI;
    return CGPointMake(123.08 + r * std::cos(a), 151.6 + r * std::sin(a));
  }
  // The ring at angles in half turns clockwise from the right: G green,
  // W white, ? anything else.
  std::string ringAt(const CGContext& picture, std::initializer_list<double> halfTurns) {
    std::string out;
    for (double a : halfTurns) {
      CGColor c = picture.colorAtPoint(onCircle(a));
      out += isGreen(c) ? 'G' : near(c, kWhite) ? 'W' : '?';
    }
    return out;
  }
  static constexpr double kRadius = 85.33;
  objc::Ref<UIView> card = objc::make<UIView>();
  objc::Ref<CAShapeLayer> arc = CAShapeLayer::layer();
};

TEST_F(Ring, ArcAtHalfStrokeEndCoversTheLowerHalfOnly) {
  grow(false);
  clock.advance(0.35);
  EXPECT_EQ(ringAt(*renderer.renderScreen(), {0.25, 0.5, 0.75, 1.25, 1.5, 1.75}), "GGGWWW");
  // After 0.7 s the model value (the whole circle) shows.
  clock.advance(0.4);
  EXPECT_EQ(ringAt(*renderer.renderScreen(), {0.25, 0.75, 1.25, 1.75}), "GGGG");
}

TEST_F(Ring, StrokeStartAndEndCutTheCircleByLength) {
  arc->setStrokeStart(0.25);
  arc->setStrokeEnd(0.75);
  auto picture = renderer.renderScreen();
  EXPECT_EQ(ringAt(*picture, {0.1, 0.4, 0.6, 1.0, 1.4, 1.6, 1.9}), "WWGGGWW");
  // The stroke is 15 points wide, centred on the circle.
  EXPECT_TRUE(isGreen(picture->colorAtPoint(onCircle(1, 7))));
  EXPECT_FALSE(isGreen(picture->colorAtPoint(onCircle(1, 8.5))));
  arc->setStrokeEnd(0.25);
  EXPECT_EQ(ringAt(*renderer.renderScreen(), {1.0}), "W");
}

TEST_F(Ring, MidAnimationFrameDiffersFromTheFinalFrame) {
  grow(true);
  UIView::animateWithDuration(0.7, [&] { card->setAlpha(0.5); });
  clock.advance(0.2);
  auto mid = renderer.renderScreen();
  clock.advance(1);
  auto last = renderer.renderScreen(), again = renderer.renderScreen();
  size_t bytes = static_cast<size_t>(last->stride()) * static_cast<size_t>(last->pixelHeight());
  EXPECT_NE(std::memcmp(mid->data(), last->data(), bytes), 0);
  EXPECT_EQ(std::memcmp(again->data(), last->data(), bytes), 0);
}

// --- text -----------------------------------------------------------------------

TEST_F(Drawing, LabelTextStaysInsideTheLabelsFrame) {
  Ink ink = inkOf(*drawAlone(label(CGRectMake(40, 100, 120, 30),
                                   "A title far too long for its label, cut at the tail",
                                   UIFont::fontWithName("Futura", 20))));
  ASSERT_GT(ink.count, 200);
  EXPECT_GE(ink.minX, 80);
  EXPECT_LT(ink.maxX, 320);
  EXPECT_GE(ink.minY, 200);
  EXPECT_LT(ink.maxY, 260);
  EXPECT_GT(ink.maxX, 290);  // one line, cut to the width
}

TEST_F(Drawing, TextThatIsNotUTF8IsDrawnWithReplacements) {
  const CGRect frame = CGRectMake(0, 0, 200, 40);
  const std::string bad("ab\xff\xfe\0cd", 7);
  EXPECT_EQ(inkOf(*drawAlone(label(frame, bad, UIFont::systemFontOfSize(0)))).count, 0);
  // Past "ab": the bad bytes show as marks instead of cutting the text short.
  Ink ink = inkOf(*drawAlone(label(frame, bad, UIFont::systemFontOfSize(20))));
  EXPECT_GT(ink.maxX,
            inkOf(*drawAlone(label(frame, "ab", UIFont::systemFontOfSize(20)))).maxX + 20);
}

TEST_F(Drawing, LabelAlignmentPlacesTheText) {
  auto l = label(CGRectMake(0, 0, 200, 40), "42%", UIFont::fontWithName("Futura", 20));
  l->setTextAlignment(NSTextAlignmentRight);
  Ink right = inkOf(*drawAlone(l));
  EXPECT_GT(right.minX, 200);  // pixels: the right half of 400
  EXPECT_GT(right.maxX, 380);
  l->setTextAlignment(NSTextAlignmentCenter);
  Ink centred = inkOf(*drawAlone(l));
  EXPECT_NEAR((centred.minX + centred.maxX) / 2.0, 200, 6);
  EXPECT_NEAR((centred.minY + centred.maxY) / 2.0, 40, 8);
}

TEST_F(Drawing, TextTakesTheLabelsColourInTheStandInFaces) {
  auto l = label(CGRectMake(0, 0, 200, 60), "MMMM",
                 UIFont::fontWithName(".HelveticaNeueInterface-Regular", 40));
  l->setTextColor(UIColor::orangeColor());
  auto picture = drawAlone(l);
  // The most covered pixel of the ink is the label's colour.
  CGColor best{};
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 400; ++x)
      if (CGColor c = picture->pixelAt(x, y); c.alpha > best.alpha) best = c;
  EXPECT_TRUE(near(best, {1, 0.5, 0, 1}, 4.0 / 255));

  // The stand-in faces are found: the two fonts measure differently.
  auto width = [&](objc::Ref<UIFont> font) {
    return picture->measureText("Time Number 2015", UIDrawing::textStyleFor(font.get(), {})).width;
  };
  EXPECT_NE(width(UIFont::fontWithName("Futura", 20)), width(UIFont::systemFontOfSize(20)));
}

TEST_F(Drawing, TextFieldShowsItsTextAndACaretWhileEditing) {
  auto* field = addView<UITextField>(content, CGRectMake(0, 0, 200, 40));
  field->setText("2015-03-05");
  int textInk = inkOf(*drawAlone(field)).count;
  EXPECT_GT(textInk, 0);
  field->becomeFirstResponder();
  EXPECT_GT(inkOf(*drawAlone(field)).count, textInk);
}

// --- images, buttons, tables, alerts ------------------------------------------------

TEST_F(Drawing, ButtonShowsItsBackgroundImageDarkerWhilePressed) {
  CGContext png(4, 4, 1);
  png.fillRect(CGRectMake(0, 0, 4, 4), kBlue);
  ASSERT_TRUE(png.writePNG(root.host("/t.png")));
  auto image = UIImage::imageWithContentsOfFile("/t.png");
  ASSERT_TRUE(image);
  auto button = objc::make<UIButton>(CGRectMake(10, 10, 40, 60));
  button->setBackgroundImage(image, UIControlStateNormal);
  button->setTitle("Go", UIControlStateNormal);
  content->addSubview(button);
  expectSpots(*renderer.renderScreen(), {at(12, 12, kBlue), at(48, 68, kBlue), at(52, 12, kWhite)});
  EXPECT_GT(inkOf(*drawAlone(button)).count, 0);  // the white title
  button->setHighlighted(true);
  expectSpots(*renderer.renderScreen(), {at(12, 12, {0, 0, 0.7, 1})});
}

TEST_F(Drawing, MissingHugeOrFakeImagesAreRefused) {
  EXPECT_EQ(CGImage::loadPNG(root.host("/nothing.png")), nullptr);
  // A header that claims 100000 x 100000 pixels is not decoded.
  testsupport::writeHostFile(
      root.host("/huge.png"),
      std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0", 29));
  EXPECT_EQ(CGImage::loadPNG(root.host("/huge.png")), nullptr);
  testsupport::writeHostFile(root.host("/text.png"), "not a picture at all, just words");
  EXPECT_EQ(CGImage::loadPNG(root.host("/text.png")), nullptr);
}

class TenRows : public objc::Object, public UITableViewDataSource {
  OBJC_CLASS(TenRows)
 public:
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override { return 10; }
  objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*,
                                                            NSIndexPath* path) override {
    auto cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "");
    cell->textLabel()->setText("Row " + std::to_string(path->row()));
    return cell;
  }
};

TEST_F(Drawing, TableCellsAndSeparatorsAreDrawn) {
  content->setBackgroundColor(UIColor::blackColor());
  auto rows = objc::make<TenRows>();
  auto table = objc::make<UITableView>(CGRectMake(0, 0, 320, 200));
  table->setRowHeight(50);
  table->setSeparatorColor(UIColor::redColor());
  table->setDataSource(rows);
  content->addSubview(table);
  // A one-pixel line at the bottom of each row, 15 points in from the left;
  // rows past the table's bottom are clipped away.
  expectSpots(*renderer.renderScreen(),
              {at(160, 49.75, kRed), at(160, 99.75, kRed), at(160, 49.25, kWhite),
               at(5, 49.75, kWhite), at(300, 210, {0, 0, 0, 1})});
  table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  expectSpots(*renderer.renderScreen(), {at(160, 49.75, kWhite)});
}

TEST_F(Drawing, AlertIsAPanelOverADimmedScreenWithAButtonToPress) {
  auto alert = objc::make<UIAlertView>("Can't Found Data", "please Enter again", nullptr, "Okay");
  alert->show();
  auto layout = renderer.layoutAlert(alert);
  ASSERT_TRUE(layout);
  EXPECT_NEAR(CGRectGetMidX(layout->panel), 160, 0.5);
  EXPECT_NEAR(CGRectGetMidY(layout->panel), 284, 0.5);
  expectSpots(*renderer.renderScreen(), {at(2, 2, {0.6, 0.6, 0.6, 1}),
                                         at(layout->panel.origin.x + 3,
                                            CGRectGetMidY(layout->panel), {0.97, 0.97, 0.97, 1})});
  ASSERT_EQ(layout->buttons.size(), 1u);
  CGRect button = layout->buttons[0];
  EXPECT_EQ(renderer.alertButtonAtPoint(CGPointMake(CGRectGetMidX(button), CGRectGetMidY(button))),
            0);
  EXPECT_EQ(renderer.alertButtonAtPoint(CGPointMake(5, 5)), -1);
  alert->dismissWithClickedButtonIndex(0, false);
  expectSpots(*renderer.renderScreen(), {at(2, 2, kWhite)});
}

// --- screenshots and activity ------------------------------------------------------

TEST_F(Drawing, ScreenshotCommandCatchesAnAnimationMidwayAtTheScreensScale) {
  UIView* panel = box(content, CGRectMake(0, 0, 100, 100), UIColor::redColor());
  UIView::animateWithDuration(0.3, [&] { panel->setCenter(CGPointMake(250, 50)); });
  std::string mid = root.host("/mid.png"), last = root.host("/last.png"), message;
  EXPECT_EQ(UIAutomation::runScript(
                "wait 0.15\nscreenshot " + mid + "\nwait 0.3\nscreenshot " + last + "\n", &message),
            UIAutomation::Status::Quit)
      << message;
  auto midway = CGImage::loadPNG(mid), done = CGImage::loadPNG(last);
  ASSERT_TRUE(midway && done);
  EXPECT_EQ(done->pixelWidth(), 640);
  EXPECT_EQ(done->pixelHeight(), 1136);
  EXPECT_NE(testsupport::readHostFile(mid), testsupport::readHostFile(last));
  EXPECT_EQ(UIAutomation::runLine("screenshot " + root.host("/none/x.png"), 7, &message),
            UIAutomation::Status::Error);
  EXPECT_EQ(message, "line 7: cannot write the screenshot to \"" + root.host("/none/x.png") + "\"");
  EXPECT_EQ(UIAutomation::runLine("screenshot", 8, &message), UIAutomation::Status::Error);
}

TEST_F(Drawing, DigestFollowsWhatIsShownAndActivityEndsWithTheAnimation) {
  auto* text = addView<UILabel>(content, CGRectMake(0, 0, 100, 20));
  uint64_t before = renderer.screenDigest();
  EXPECT_FALSE(renderer.isAnimating());
  text->setText("37%");
  EXPECT_NE(renderer.screenDigest(), before);

  UIView::animateWithDuration(0.3, [&] { text->setCenter(CGPointMake(50, 300)); });
  clock.advance(0.1);
  uint64_t moving = renderer.screenDigest();
  EXPECT_TRUE(renderer.isAnimating());
  clock.advance(0.1);
  EXPECT_NE(renderer.screenDigest(), moving);
  clock.advance(0.2);
  EXPECT_FALSE(renderer.isAnimating());
  uint64_t still = renderer.screenDigest();
  clock.advance(5);
  EXPECT_EQ(renderer.screenDigest(), still);
}

}  // namespace

OBJC_CLASS_IMPL(TenRows, objc::Object, nullptr)

// Fontconfig keeps the caches it fills (partly from a worker thread of
// pango's) until the process ends; the leak check of sanitizer builds
// passes over them.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
