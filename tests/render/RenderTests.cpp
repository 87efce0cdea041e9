// Pixel checks of small scenes: each looks at chosen points of a picture and
// wants given colours there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Foundation/RunLoop.h"
#include "QuartzCore/CARenderer.h"
#include "QuartzCore/CAShapeLayer.h"
#include "RenderFixture.h"
#include "UIKit/UIKit.h"
#include "UIKit/UIRenderer.h"

namespace {

constexpr CGColor kClear{0, 0, 0, 0};
constexpr CGColor kWhite{1, 1, 1, 1};
constexpr CGColor kRed{1, 0, 0, 1};
constexpr CGColor kBlue{0, 0, 1, 1};
constexpr CGColor kBrown{0.6, 0.4, 0.2, 1};

// Pictures of the scenes land in CORVANE_RENDER_OUT when it is set, for a
// person to look at.
void keep(const CGContext& context, const char* name) {
  if (const char* dir = std::getenv("CORVANE_RENDER_OUT"))
    context.writePNG(std::string(dir) + "/" + name + ".png");
}

// The point at an angle (radians, clockwise from the right) on a circle.
CGPoint onCircle(CGPoint centre, double radius, double angle) {
  return CGPointMake(centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle));
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

class Drawing : public RenderTest {
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
  // A PNG of one colour in the device root; its device path.
  std::string writeImage(const char* devicePath, CGColor color, int width, int height) {
    CGContext picture(width, height, 1);
    picture.fillRect(CGRectMake(0, 0, width, height), color);
    std::filesystem::create_directories(std::filesystem::path(root.host(devicePath)).parent_path());
    EXPECT_TRUE(picture.writePNG(root.host(devicePath)));
    return devicePath;
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
  auto picture = drawAlone(panel);
  keep(*picture, "corner");
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(10.5, 10.5)), kClear));
  EXPECT_TRUE(
      ColorNear(picture->colorAtPoint(CGPointMake(12, 12)), kClear));  // 11.3 from the arc's centre
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(20, 12)), kRed));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(60, 60)), kRed));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(108, 108.5)), kClear));

  // A subview filling the panel shows in the corner until the panel masks.
  auto fill = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  fill->setBackgroundColor(UIColor::blueColor());
  panel->addSubview(fill);
  EXPECT_TRUE(ColorNear(drawAlone(panel)->colorAtPoint(CGPointMake(11, 11)), kBlue));
  panel->setClipsToBounds(true);
  auto clipped = drawAlone(panel);
  EXPECT_TRUE(ColorNear(clipped->colorAtPoint(CGPointMake(11, 11)), kClear));
  EXPECT_TRUE(ColorNear(clipped->colorAtPoint(CGPointMake(60, 60)), kBlue));
}

TEST_F(Drawing, HalfAlphaWhiteOverBrownBlends) {
  content->setBackgroundColor(UIColor::brownColor());
  auto byAlpha = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  byAlpha->setBackgroundColor(UIColor::whiteColor());
  byAlpha->setAlpha(0.5);
  content->addSubview(byAlpha);
  auto byColour = objc::make<UIView>(CGRectMake(100, 0, 100, 100));
  byColour->setBackgroundColor(UIColor::whiteColor()->colorWithAlphaComponent(0.5));
  content->addSubview(byColour);
  auto picture = renderer.renderScreen();
  keep(*picture, "blend");
  const CGColor blended{0.8, 0.7, 0.6, 1};
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(50, 50)), blended));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(150, 50)), blended));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(250, 50)), kBrown));
}

TEST_F(Drawing, ViewAlphaAppliesToTheGroupNotEachSubview) {
  auto group = objc::make<UIView>(CGRectMake(0, 0, 200, 100));
  group->setAlpha(0.5);
  auto under = objc::make<UIView>(CGRectMake(0, 0, 120, 100));
  under->setBackgroundColor(UIColor::redColor());
  auto over = objc::make<UIView>(CGRectMake(80, 0, 120, 100));
  over->setBackgroundColor(UIColor::blueColor());
  group->addSubview(under);
  group->addSubview(over);
  content->addSubview(group);
  auto picture = renderer.renderScreen();
  // Where they overlap only the top one shows, at half strength over white.
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(100, 50)), {0.5, 0.5, 1, 1}));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(40, 50)), {1, 0.5, 0.5, 1}));
}

TEST_F(Drawing, HiddenAndTransparentViewsDrawNothing) {
  auto hidden = objc::make<UIView>(CGRectMake(0, 0, 50, 50));
  hidden->setBackgroundColor(UIColor::redColor());
  hidden->setHidden(true);
  auto faded = objc::make<UIView>(CGRectMake(50, 0, 50, 50));
  faded->setBackgroundColor(UIColor::redColor());
  faded->setAlpha(0);
  content->addSubview(hidden);
  content->addSubview(faded);
  auto picture = renderer.renderScreen();
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(25, 25)), kWhite));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(75, 25)), kWhite));
}

TEST_F(Drawing, ScrollViewShowsItsContentAtTheOffsetAndClipsToItsBounds) {
  auto scroll = objc::make<UIScrollView>(CGRectMake(0, 0, 100, 100));
  scroll->setContentSize(CGSizeMake(300, 100));
  auto red = objc::make<UIView>(CGRectMake(0, 0, 300, 100));
  red->setBackgroundColor(UIColor::redColor());
  auto blue = objc::make<UIView>(CGRectMake(100, 0, 100, 100));
  blue->setBackgroundColor(UIColor::blueColor());
  scroll->addSubview(red);
  scroll->addSubview(blue);
  content->addSubview(scroll);
  EXPECT_TRUE(ColorNear(renderer.renderScreen()->colorAtPoint(CGPointMake(50, 50)), kRed));
  scroll->setContentOffset(CGPointMake(100, 0));
  auto picture = renderer.renderScreen();
  keep(*picture, "scroll");
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(50, 50)), kBlue));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(150, 50)), kWhite));  // clipped away
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
  static constexpr double kRadius = 85.33;
  const CGPoint centre = CGPointMake(123.08, 151.6);
  objc::Ref<UIView> card = objc::make<UIView>();
  objc::Ref<CAShapeLayer> arc = CAShapeLayer::layer();
};

TEST_F(Ring, ArcAtHalfStrokeEndCoversTheLowerHalfOnly) {
  auto grow = CABasicAnimation::animationWithKeyPath("strokeEnd");
  grow->setFromValue(0.0);
  grow->setToValue(1.0);
  grow->setDuration(0.7);
  grow->setRemovedOnCompletion(false);
  arc->addAnimation(grow);
  clock.advance(0.35);
  auto picture = renderer.renderScreen();
  keep(*picture, "ring-half");
  for (double a : {0.25, 0.5, 0.75})
    EXPECT_TRUE(IsGreen(picture->colorAtPoint(onCircle(centre, kRadius, a * M_PI)))) << a;
  for (double a : {1.25, 1.5, 1.75})
    EXPECT_TRUE(ColorNear(picture->colorAtPoint(onCircle(centre, kRadius, a * M_PI)), kWhite)) << a;

  // After 0.7 s the model value (the whole circle) shows.
  clock.advance(0.4);
  auto done = renderer.renderScreen();
  for (double a : {0.25, 0.75, 1.25, 1.75})
    EXPECT_TRUE(IsGreen(done->colorAtPoint(onCircle(centre, kRadius, a * M_PI)))) << a;
}

TEST_F(Ring, StrokeStartAndEndCutTheCircleByLength) {
  arc->setStrokeStart(0.25);
  arc->setStrokeEnd(0.75);
  auto picture = renderer.renderScreen();
  for (double a : {0.6, 1.0, 1.4})
    EXPECT_TRUE(IsGreen(picture->colorAtPoint(onCircle(centre, kRadius, a * M_PI)))) << a;
  for (double a : {0.1, 0.4, 1.6, 1.9})
    EXPECT_FALSE(IsGreen(picture->colorAtPoint(onCircle(centre, kRadius, a * M_PI)))) << a;
  // The stroke is 15 points wide, centred on the circle.
  CGPoint left = onCircle(centre, kRadius, M_PI);
  EXPECT_TRUE(IsGreen(picture->colorAtPoint(CGPointMake(left.x - 7, left.y))));
  EXPECT_FALSE(IsGreen(picture->colorAtPoint(CGPointMake(left.x - 8.5, left.y))));
  arc->setStrokeEnd(0.25);
  EXPECT_FALSE(IsGreen(renderer.renderScreen()->colorAtPoint(left)));
}

TEST_F(Ring, MidAnimationFrameDiffersFromTheFinalFrame) {
  auto grow = CABasicAnimation::animationWithKeyPath("strokeEnd");
  grow->setFromValue(0.0);
  grow->setToValue(1.0);
  grow->setDuration(0.7);
  arc->addAnimation(grow);
  UIView::animateWithDuration(0.7, [&] { card->setAlpha(0.5); });
  clock.advance(0.2);
  auto mid = renderer.renderScreen();
  clock.advance(1);
  auto last = renderer.renderScreen();
  auto again = renderer.renderScreen();
  keep(*mid, "ring-mid");
  keep(*last, "ring-final");
  size_t bytes = static_cast<size_t>(last->stride()) * static_cast<size_t>(last->pixelHeight());
  EXPECT_NE(std::memcmp(mid->data(), last->data(), bytes), 0);
  EXPECT_EQ(std::memcmp(again->data(), last->data(), bytes), 0);
}

// --- text -----------------------------------------------------------------------

TEST_F(Drawing, LabelTextStaysInsideTheLabelsFrame) {
  auto label = objc::make<UILabel>(CGRectMake(40, 100, 120, 30));
  label->setText("A title far too long for its label, cut at the tail");
  label->setFont(UIFont::fontWithName("Futura", 20));
  auto picture = drawAlone(label);
  keep(*picture, "label");
  Ink ink = inkOf(*picture);
  ASSERT_GT(ink.count, 200);
  EXPECT_GE(ink.minX, 80);
  EXPECT_LT(ink.maxX, 320);
  EXPECT_GE(ink.minY, 200);
  EXPECT_LT(ink.maxY, 260);
  // One line, cut to the width: the ink reaches the right part of the label.
  EXPECT_GT(ink.maxX, 290);
}

TEST_F(Drawing, TextThatIsNotUTF8IsDrawnWithReplacements) {
  auto label = objc::make<UILabel>(CGRectMake(0, 0, 200, 40));
  label->setText(std::string("ab\xff\xfe\0cd", 7));
  label->setFont(UIFont::systemFontOfSize(0));
  EXPECT_EQ(inkOf(*drawAlone(label)).count, 0);  // a zero-size font draws nothing
  label->setFont(UIFont::systemFontOfSize(20));
  Ink ink = inkOf(*drawAlone(label));
  EXPECT_GT(ink.count, 0);
  // Past "ab": the bad bytes show as marks instead of cutting the text short.
  auto ab = objc::make<UILabel>(CGRectMake(0, 0, 200, 40));
  ab->setText("ab");
  ab->setFont(UIFont::systemFontOfSize(20));
  EXPECT_GT(ink.maxX, inkOf(*drawAlone(ab)).maxX + 20);
}

TEST_F(Drawing, LabelAlignmentPlacesTheText) {
  auto label = objc::make<UILabel>(CGRectMake(0, 0, 200, 40));
  label->setText("42%");
  label->setFont(UIFont::fontWithName("Futura", 20));
  label->setTextAlignment(NSTextAlignmentRight);
  Ink right = inkOf(*drawAlone(label));
  EXPECT_GT(right.minX, 200);  // pixels: the right half of 400
  EXPECT_GT(right.maxX, 380);
  label->setTextAlignment(NSTextAlignmentCenter);
  Ink centred = inkOf(*drawAlone(label));
  EXPECT_NEAR((centred.minX + centred.maxX) / 2.0, 200, 6);
  EXPECT_NEAR((centred.minY + centred.maxY) / 2.0, 40, 8);  // vertically centred too
}

TEST_F(Drawing, TextColourAndAlphaComeFromTheLabel) {
  auto label = objc::make<UILabel>(CGRectMake(0, 0, 200, 60));
  label->setText("MMMM");
  label->setFont(UIFont::fontWithName(".HelveticaNeueInterface-Regular", 40));
  label->setTextColor(UIColor::orangeColor());
  auto picture = drawAlone(label);
  // The most covered pixel of the ink is the label's colour.
  CGColor best{};
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 400; ++x)
      if (CGColor c = picture->pixelAt(x, y); c.alpha > best.alpha) best = c;
  EXPECT_TRUE(ColorNear(best, {1, 0.5, 0, 1}, 4.0 / 255));
}

TEST_F(Drawing, FontsStandInForTheMissingFaces) {
  EXPECT_EQ(UIRenderer::fontFamilyFor("Futura"), "URW Gothic");
  EXPECT_EQ(UIRenderer::fontFamilyFor(".HelveticaNeueInterface-Regular"), "Nimbus Sans");
  EXPECT_EQ(UIRenderer::fontFamilyFor("Helvetica-Bold"), "Nimbus Sans");
  EXPECT_TRUE(UIRenderer::fontIsBold("Helvetica-Bold"));
  EXPECT_FALSE(UIRenderer::fontIsBold("Futura"));
  // The two stand-ins are different faces at the same size.
  CGContext context(10, 10, 2);
  CGTextStyle gothic = UIRenderer::textStyleFor(UIFont::fontWithName("Futura", 20).get(), {});
  CGTextStyle sans = UIRenderer::textStyleFor(UIFont::systemFontOfSize(20).get(), {});
  EXPECT_DOUBLE_EQ(gothic.pointSize, 20);
  EXPECT_NE(context.measureText("Time Number 2015", gothic).width,
            context.measureText("Time Number 2015", sans).width);
}

TEST_F(Drawing, TextFieldShowsTextOrPlaceholderAndACaretWhileEditing) {
  auto field = objc::make<UITextField>(CGRectMake(0, 0, 200, 40));
  field->setPlaceholder("day");
  content->addSubview(field);
  int placeholderInk = inkOf(*drawAlone(field)).count;
  EXPECT_GT(placeholderInk, 0);
  field->setText("2015-03-05");
  int textInk = inkOf(*drawAlone(field)).count;
  EXPECT_GT(textInk, placeholderInk);
  field->becomeFirstResponder();
  auto editing = drawAlone(field);
  keep(*editing, "field");
  Ink withCaret = inkOf(*editing);
  EXPECT_GT(withCaret.count, textInk);
}

// --- images, buttons, tables, alerts ------------------------------------------------

TEST_F(Drawing, ButtonShowsItsBackgroundImageDarkerWhilePressed) {
  auto image = UIImage::imageWithContentsOfFile(writeImage("/Applications/t.png", kBlue, 4, 4));
  ASSERT_TRUE(image);
  auto button = objc::make<UIButton>(CGRectMake(10, 10, 40, 60));
  button->setBackgroundImage(image, UIControlStateNormal);
  button->setTitle("Go", UIControlStateNormal);
  content->addSubview(button);
  auto picture = renderer.renderScreen();
  keep(*picture, "button");
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(12, 12)), kBlue));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(48, 68)), kBlue));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(52, 12)), kWhite));
  // The white title is drawn over the middle.
  EXPECT_GT(inkOf(*drawAlone(button)).count, 0);
  button->setHighlighted(true);
  EXPECT_TRUE(
      ColorNear(renderer.renderScreen()->colorAtPoint(CGPointMake(12, 12)), {0, 0, 0.7, 1}));
}

TEST_F(Drawing, ImageViewFitsItsImageByContentMode) {
  auto image = UIImage::imageWithContentsOfFile(writeImage("/Applications/sq.png", kRed, 8, 8));
  auto view = objc::make<UIImageView>(CGRectMake(0, 0, 100, 50));
  view->setImage(image);
  content->addSubview(view);
  EXPECT_TRUE(ColorNear(renderer.renderScreen()->colorAtPoint(CGPointMake(5, 25)), kRed));
  view->setContentMode(UIViewContentModeScaleAspectFit);
  auto picture = renderer.renderScreen();
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(5, 25)), kWhite));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(50, 25)), kRed));
}

TEST_F(Drawing, MissingOrHugeImagesAreRefused) {
  EXPECT_EQ(CGImage::loadPNG(root.host("/nothing.png")), nullptr);
  // A header that claims 100000 x 100000 pixels is not decoded.
  static const char kHeader[] =
      "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0";
  std::string bytes(kHeader, sizeof kHeader - 1);
  ASSERT_EQ(bytes.size(), 29u);
  testsupport::writeHostFile(root.host("/huge.png"), bytes);
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
  auto picture = renderer.renderScreen();
  keep(*picture, "table");
  // A one-pixel line at the bottom of each row, 15 points in from the left.
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(160, 49.75)), kRed));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(160, 99.75)), kRed));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(160, 49.25)), kWhite));
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(5, 49.75)), kWhite));
  // Rows past the table's bottom are clipped away.
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(300, 210)), {0, 0, 0, 1}));
  table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  EXPECT_TRUE(ColorNear(renderer.renderScreen()->colorAtPoint(CGPointMake(160, 49.75)), kWhite));
}

TEST_F(Drawing, AlertIsAPanelOverADimmedScreenWithAButtonToPress) {
  auto alert = objc::make<UIAlertView>("Can't Found Data", "please Enter again", nullptr, "Okay");
  alert->show();
  auto picture = renderer.renderScreen();
  keep(*picture, "alert");
  EXPECT_TRUE(ColorNear(picture->colorAtPoint(CGPointMake(2, 2)), {0.6, 0.6, 0.6, 1}));
  auto layout = renderer.layoutAlert(alert);
  ASSERT_TRUE(layout);
  EXPECT_NEAR(CGRectGetMidX(layout->panel), 160, 0.5);
  EXPECT_NEAR(CGRectGetMidY(layout->panel), 284, 0.5);
  EXPECT_TRUE(ColorNear(
      picture->colorAtPoint(CGPointMake(layout->panel.origin.x + 3, CGRectGetMidY(layout->panel))),
      {0.97, 0.97, 0.97, 1}));
  ASSERT_EQ(layout->buttons.size(), 1u);
  CGPoint button =
      CGPointMake(CGRectGetMidX(layout->buttons[0]), CGRectGetMidY(layout->buttons[0]));
  EXPECT_EQ(renderer.alertButtonAtPoint(button), 0);
  EXPECT_EQ(renderer.alertButtonAtPoint(CGPointMake(5, 5)), -1);
  alert->dismissWithClickedButtonIndex(0, false);
  EXPECT_TRUE(ColorNear(renderer.renderScreen()->colorAtPoint(CGPointMake(2, 2)), kWhite));
}

// --- screenshots and activity ------------------------------------------------------

TEST_F(Drawing, ScreenshotIsThePNGOfTheScreenAtItsScale) {
  std::string path = root.host("/shot.png");
  ASSERT_TRUE(renderer.writeScreenshot(path));
  int w = 0, h = 0;
  ASSERT_TRUE(UIImage::readPNGSize(testsupport::readHostFile(path), &w, &h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 1136);
  auto back = CGImage::loadPNG(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixelWidth(), 640);
  EXPECT_FALSE(renderer.writeScreenshot(root.host("/no/such/folder/shot.png")));
}

TEST_F(Drawing, ScreenshotCommandCatchesAnAnimationMidway) {
  auto panel = objc::make<UIView>(CGRectMake(0, 0, 100, 100));
  panel->setBackgroundColor(UIColor::redColor());
  content->addSubview(panel);
  UIView::animateWithDuration(0.3, [&] { panel->setCenter(CGPointMake(250, 50)); });
  std::string mid = root.host("/mid.png"), last = root.host("/last.png");
  std::string message;
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
  auto label = objc::make<UILabel>(CGRectMake(0, 0, 100, 20));
  content->addSubview(label);
  uint64_t before = renderer.screenDigest();
  EXPECT_EQ(renderer.screenDigest(), before);
  EXPECT_FALSE(renderer.isAnimating());
  label->setText("37%");
  uint64_t withText = renderer.screenDigest();
  EXPECT_NE(withText, before);

  UIView::animateWithDuration(0.3, [&] { label->setCenter(CGPointMake(50, 300)); });
  EXPECT_TRUE(renderer.isAnimating());
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
