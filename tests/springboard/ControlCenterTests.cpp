// The shell's host objects: what a tweak finds by name, and when.
#include <gtest/gtest.h>

#include "Foundation/NSString.h"
#include "SpringBoard/ControlCenter.h"
#include "SpringBoard/NowPlayingFeed.h"
#include "SpringBoard/SpringBoard.h"
#include "TestSupport.h"

namespace {

using springboard::FeedEntry;
using springboard::NowPlayingCenter;

objc::id field(objc::id object, const char* name) {
  return objc::object_getIvar(object, objc::class_getInstanceVariable(object->getClass(), name));
}

const std::string* text(objc::id view, const char* name) {
  return ns::stringValue(field(view, name));
}

class ControlCenter : public testing::Test {
 protected:
  void TearDown() override {
    NowPlayingCenter::shared().reset();
    objc::objc_msgSend(controlCenter, "dismissAnimated:", SBBoolArgument(false));
  }
  testsupport::VirtualClock clock;
  SBControlCenterController* controlCenter = SBControlCenterController::sharedInstance();
};

TEST_F(ControlCenter, PresentingLoadsTheSectionsAndTheNextLayoutPassSizesTheNowPlayingView) {
  EXPECT_EQ(controlCenter->mediaSection(), nullptr);
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  objc::objc_msgSend(controlCenter, "dismissAnimated:", SBBoolArgument(false));
  SBCCMediaControlsSectionController* media = controlCenter->mediaSection();
  ASSERT_NE(media, nullptr);
  EXPECT_TRUE(controlCenter->window()->isHidden());
  // The first subview of the first subview, unsized until laid out.
  UIView* nowPlaying = media->view()->subviews().front()->subviews().front();
  EXPECT_EQ(nowPlaying, media->nowPlayingView());
  EXPECT_EQ(nowPlaying->frame(), CGRectZero);
  auto passes = [&] { return controlCenter->brightnessSection()->layoutPasses(); };
  EXPECT_EQ(passes(), 0);
  clock.advance(0);
  EXPECT_GT(nowPlaying->frame().size.width * nowPlaying->frame().size.height, 0);
  EXPECT_EQ(passes(), 1);
  // Every presentation lays the brightness row out again.
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  clock.advance(0);
  EXPECT_EQ(passes(), 2);
  EXPECT_TRUE(controlCenter->window()->isKeyWindow());
}

TEST_F(ControlCenter, TheNowPlayingFieldsFollowTheFeed) {
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  SBCCNowPlayingView* nowPlaying = controlCenter->mediaSection()->nowPlayingView();
  objc::id track = field(nowPlaying, "_trackInformationView");
  objc::id time = field(nowPlaying, "_timeInformationView");
  ASSERT_TRUE(track && time);
  objc::Ivar playing = objc::class_getInstanceVariable(time->getClass(), "_showIsPlaying");
  ASSERT_EQ(objc::ivar_getTypeEncoding(playing), 'B');
  auto* slider = static_cast<UISlider*>(field(time, "_slider"));
  ASSERT_TRUE(slider && slider->isKindOfClass(UISlider::classObject()));
  MPUNowPlayingController* controller = controlCenter->mediaSection()->nowPlayingController();
  int stops = controller->stopCount();

  springboard::FeedSource feed({FeedEntry{1, {"T", "A", "R", 250.5f, true}},
                                FeedEntry{3, {"U", std::nullopt, "S", 0, false}}});
  ASSERT_TRUE(feed.start(nullptr));
  // Title, album, artist, position and playing as the fields hold them.
  auto shown = [&] {
    std::string out;
    for (const char* name : {"_titleText", "_albumText", "_artistText"})
      out += (text(track, name) ? *text(track, name) : "null") + "|";
    return out + std::to_string(slider->value()) + "|" +
           std::to_string(objc::object_getByteIvar(time, playing));
  };
  EXPECT_EQ(shown(), "null|null|null|0.000000|0");
  clock.advance(1);
  EXPECT_EQ(shown(), "T|A|R|250.500000|1");
  clock.advance(2);
  EXPECT_EQ(shown(), "U|null|S|0.000000|0");
  // The time updates restart with each change: reset, T, U.
  EXPECT_EQ(controller->stopCount(), stops + 3);
  EXPECT_TRUE(controller->isUpdatingTimeInformation());
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
