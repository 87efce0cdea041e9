// The shell's host objects: what a tweak finds by name, and when.
#include <gtest/gtest.h>

#include "Foundation/NSString.h"
#include "SpringBoard/ControlCenter.h"
#include "SpringBoard/SpringBoard.h"
#include "TestSupport.h"

namespace {

using springboard::FeedEntry;
using springboard::NowPlayingSource;

objc::id field(objc::id object, const char* name) {
  return objc::object_getIvar(object, objc::class_getInstanceVariable(object->getClass(), name));
}

const std::string* text(objc::id view, const char* name) {
  return ns::stringValue(field(view, name));
}

class ControlCenter : public testing::Test {
 protected:
  void TearDown() override { NowPlayingSource::shared().reset(); }
  testsupport::VirtualClock clock;
  SBControlCenterController* controlCenter = SBControlCenterController::sharedInstance();
};

TEST_F(ControlCenter, PresentingLoadsTheSectionsAndTheNextLayoutPassSizesTheNowPlayingView) {
  EXPECT_EQ(controlCenter->mediaSection(), nullptr);
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  objc::objc_msgSend(controlCenter, "dismissAnimated:", SBBoolArgument(false));
  SBCCMediaControlsSectionController* media = controlCenter->mediaSection();
  ASSERT_NE(media, nullptr);
  EXPECT_TRUE(media->isViewLoaded());
  EXPECT_NE(media->nowPlayingController(), nullptr);
  EXPECT_EQ(controlCenter->contentView()->transitions(), 2);
  EXPECT_TRUE(controlCenter->window()->isHidden());

  // The first subview of the first subview, unsized until laid out.
  UIView* nowPlaying = media->view()->subviews().front()->subviews().front();
  EXPECT_EQ(nowPlaying, media->nowPlayingView());
  EXPECT_EQ(nowPlaying->frame(), CGRectZero);
  EXPECT_EQ(controlCenter->brightnessSection()->layoutPasses(), 0);
  clock.advance(0);
  EXPECT_GT(nowPlaying->frame().size.width, 0);
  EXPECT_GT(nowPlaying->frame().size.height, 0);
  EXPECT_EQ(controlCenter->brightnessSection()->layoutPasses(), 1);

  // Every presentation lays the brightness row out again.
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  clock.advance(0);
  EXPECT_EQ(controlCenter->brightnessSection()->layoutPasses(), 2);
  EXPECT_EQ(controlCenter->contentView()->transitions(), 3);
  EXPECT_TRUE(controlCenter->isPresented());
  EXPECT_TRUE(controlCenter->window()->isKeyWindow());
}

TEST_F(ControlCenter, TheNowPlayingFieldsFollowTheFeed) {
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  SBCCNowPlayingView* nowPlaying = controlCenter->mediaSection()->nowPlayingView();
  MPUNowPlayingController* controller = controlCenter->mediaSection()->nowPlayingController();
  objc::id track = field(nowPlaying, "_trackInformationView");
  objc::id time = field(nowPlaying, "_timeInformationView");
  ASSERT_NE(track, nullptr);
  ASSERT_NE(time, nullptr);
  objc::Ivar playing = objc::class_getInstanceVariable(time->getClass(), "_showIsPlaying");
  ASSERT_EQ(objc::ivar_getTypeEncoding(playing), 'B');
  objc::id slider = field(time, "_slider");
  ASSERT_TRUE(slider && slider->isKindOfClass(UISlider::classObject()));
  int stops = controller->stopCount();

  double origin = ns::RunLoop::main().now();
  NowPlayingSource::shared().play({FeedEntry{1, {"T", "A", "R", 250.5f, true}},
                                   FeedEntry{3, {"U", std::nullopt, "S", 0, false}}},
                                  origin);
  EXPECT_EQ(text(track, "_titleText"), nullptr);
  clock.advance(1);
  EXPECT_EQ(*text(track, "_titleText"), "T");
  EXPECT_EQ(*text(track, "_albumText"), "A");
  EXPECT_EQ(*text(track, "_artistText"), "R");
  EXPECT_EQ(static_cast<UISlider*>(slider)->value(), 250.5f);
  EXPECT_EQ(objc::object_getByteIvar(time, playing), 1);
  clock.advance(2);
  EXPECT_EQ(*text(track, "_titleText"), "U");
  EXPECT_EQ(text(track, "_albumText"), nullptr);
  EXPECT_EQ(static_cast<UISlider*>(slider)->value(), 0.0f);
  EXPECT_EQ(objc::object_getByteIvar(time, playing), 0);
  // The time updates restart with each change: reset, T, U.
  EXPECT_EQ(controller->stopCount(), stops + 3);
  EXPECT_TRUE(controller->isUpdatingTimeInformation());

  objc::id brightness = controlCenter->brightnessSection();
  objc::id brightnessSlider = field(brightness, "_slider");
  ASSERT_TRUE(brightnessSlider && brightnessSlider->isKindOfClass(UISlider::classObject()));
  UIView* row = static_cast<UIView*>(brightnessSlider)->superview();
  clock.advance(0);
  EXPECT_EQ(row->frame().size, CGSizeMake(UIScreen::mainScreen()->bounds().size.width,
                                          SBControlCenterContentView::kRowHeight));
}

TEST_F(ControlCenter, ADragUpFromTheBottomEdgeOpensItAndATapAboveClosesIt) {
  auto home = objc::make<UIWindow>();
  home->setRootViewController(objc::make<SBHomeScreenViewController>());
  home->makeKeyAndVisible();
  double height = UIScreen::mainScreen()->bounds().size.height;

  // Starting above the edge does nothing.
  home->touchDown(CGPointMake(150, height - 60));
  home->touchMove(CGPointMake(150, height - 200));
  home->touchUp(CGPointMake(150, height - 200));
  EXPECT_FALSE(controlCenter->isPresented());

  home->touchDown(CGPointMake(150, height - 3));
  home->touchMove(CGPointMake(150, height - 50));
  EXPECT_TRUE(controlCenter->isPresented());
  home->touchUp(CGPointMake(150, height - 50));
  clock.advance(1);

  UIWindow* window = controlCenter->window();
  EXPECT_TRUE(window->isKeyWindow());
  window->tap(CGPointMake(150, 40));
  EXPECT_FALSE(controlCenter->isPresented());
  EXPECT_TRUE(home->isKeyWindow());
  EXPECT_FALSE(window->isHidden());  // fading out
  clock.advance(SBControlCenterController::kFadeDuration);
  EXPECT_TRUE(window->isHidden());
  EXPECT_EQ(controlCenter->view()->alpha(), 1.0f);
}

}  // namespace
