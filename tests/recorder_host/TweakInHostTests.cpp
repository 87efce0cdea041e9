// The tweak loaded into this process next to the shell's host objects, on
// the virtual clock: start-up poll, timers, launch page and its spawn.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/Log.h"
#include "Foundation/PropertyList.h"
#include "SpringBoard/ControlCenter.h"
#include "SpringBoard/SpringBoard.h"
#include "TestSupport.h"
#include "UIKit/UIKit.h"
#include "UIKitHost/UIAutomation.h"
#include "substrate.h"

namespace {

namespace fs = std::filesystem;
using objc::id;
using objc::IMP;
using objc::SEL;

// Counts of the tweak's added methods, seen through hooks of our own.
int g_firstMediaRuns = 0;
int g_samplingTicks = 0;
IMP g_firstMedia = nullptr;
IMP g_checkMusicInfo = nullptr;
IMP g_hostLoadView = nullptr;
bool g_layOutAtLoad = false;

id countFirstMedia(id self, SEL cmd, id arg) {
  ++g_firstMediaRuns;
  return g_firstMedia(self, cmd, arg);
}
id countCheckMusicInfo(id self, SEL cmd, id arg) {
  ++g_samplingTicks;
  return g_checkMusicInfo(self, cmd, arg);
}
// Lets a test have the now-playing view laid out before "viewDidLoad".
id loadViewLaidOut(id self, SEL cmd, id arg) {
  g_hostLoadView(self, cmd, arg);
  if (g_layOutAtLoad)
    static_cast<SBCCMediaControlsSectionController*>(self)->nowPlayingView()->setFrame(
        CGRectMake(0, 0, 280, 130));
  return nullptr;
}

class TweakInHost : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Once per process: the constructor installs its hooks for good.
    ASSERT_TRUE(dlopen(CORVANE_TWEAK_PATH, RTLD_NOW | RTLD_GLOBAL)) << dlerror();
    objc::Class* media = objc::objc_getClass("SBCCMediaControlsSectionController");
    MSHookMessageEx(media, objc::sel_registerName("FirstMedia"), countFirstMedia, &g_firstMedia);
    MSHookMessageEx(media, objc::sel_registerName("CheckMusicInfo"), countCheckMusicInfo,
                    &g_checkMusicInfo);
    MSHookMessageEx(media, objc::sel_registerName("loadView"), loadViewLaidOut, &g_hostLoadView);
  }
  void SetUp() override {
    g_firstMediaRuns = g_samplingTicks = 0;
    g_layOutAtLoad = false;
    fs::create_directories(root.host(corvane::kStoreRoot));
  }
  void TearDown() override {
    UIAlertView::removeAll();
    // The timers and the controller hold each other for the shell's life;
    // a test lets go of them.
    for (auto& media : controllers) objc::objc_removeAssociatedObjects(media);
  }
  SBCCMediaControlsSectionController* newMediaSection() {
    controllers.push_back(objc::make<SBCCMediaControlsSectionController>());
    return controllers.back();
  }

  std::vector<objc::Ref<SBCCMediaControlsSectionController>> controllers;

  testsupport::TempDeviceRoot root;
  testsupport::VirtualClock clock;
};

TEST_F(TweakInHost, PollWaitsForAWidthAndAHeightThenStartsTheTimersOnce) {
  SBCCMediaControlsSectionController* media = newMediaSection();
  media->view();  // not in a window: nothing lays it out but this test
  EXPECT_EQ(g_firstMediaRuns, 1);
  UIView* nowPlaying = media->nowPlayingView();

  nowPlaying->setFrame(CGRectMake(0, 0, 280, 0));
  clock.advance(1);
  nowPlaying->setFrame(CGRectMake(0, 0, 0, 130));
  clock.advance(1);
  EXPECT_EQ(g_firstMediaRuns, 3);
  EXPECT_EQ(g_samplingTicks, 0);

  nowPlaying->setFrame(CGRectMake(0, 0, 280, 130));
  clock.advance(1);
  EXPECT_EQ(g_firstMediaRuns, 4);
  clock.advance(10);
  EXPECT_EQ(g_firstMediaRuns, 4);
  EXPECT_EQ(g_samplingTicks, 10);

  // Reaching the poll again does not start a second pair of timers.
  objc::objc_msgSend(media, "FirstMedia");
  clock.advance(10);
  EXPECT_EQ(g_samplingTicks, 20);
}

TEST_F(TweakInHost, ASecondLoadBeforeTheLayoutLeavesOnePollAndPlaysAreCounted) {
  SBCCMediaControlsSectionController* media = newMediaSection();
  media->view();
  objc::objc_msgSend(media, "viewDidLoad");  // loaded again, not laid out yet
  media->nowPlayingView()->setFrame(CGRectMake(0, 0, 280, 130));
  clock.advance(1.5);
  const int runs = g_firstMediaRuns;
  clock.advance(10);
  // Before, the first poll kept running and cleared the slots every second.
  EXPECT_EQ(g_firstMediaRuns, runs);
  EXPECT_EQ(g_samplingTicks, 10);
}

TEST_F(TweakInHost, AViewLaidOutAtTheFirstRunStartsTheTimersOnce) {
  g_layOutAtLoad = true;
  SBCCMediaControlsSectionController* media = newMediaSection();
  media->view();
  clock.advance(10.5);
  EXPECT_EQ(g_firstMediaRuns, 1);
  EXPECT_EQ(g_samplingTicks, 10);
}

TEST_F(TweakInHost, LaunchPreloadsControlCenterAndSamplingFollowsTheLayout) {
  auto app = objc::make<SpringBoard>();
  objc::objc_msgSend(app, "applicationDidFinishLaunching:", app);
  SBControlCenterController* controlCenter = SBControlCenterController::sharedInstance();
  ASSERT_NE(controlCenter->mediaSection(), nullptr);
  EXPECT_TRUE(controlCenter->window()->isHidden());
  EXPECT_EQ(g_firstMediaRuns, 1);

  clock.advance(0);  // the layout pass
  EXPECT_GT(controlCenter->mediaSection()->nowPlayingView()->frame().size.width, 0);
  clock.advance(1);
  EXPECT_EQ(g_samplingTicks, 0);
  clock.advance(1);
  EXPECT_EQ(g_samplingTicks, 1);
  EXPECT_EQ(ns::arrayWithContentsOfFile(corvane::kDateArrayPath), (ns::PlistArray{"2015-03-05"}));
  // The brightness row was wrapped by the same layout pass.
  UIView* slider = controlCenter->brightnessSection()->slider();
  EXPECT_TRUE(slider->superview()->isKindOfClass(objc::objc_getClass("CVScrollView")));
}

TEST_F(TweakInHost, AHostViewWithoutTheFieldsIsReportedOnceAndNotSampled) {
  SBCCMediaControlsSectionController* media = newMediaSection();
  UIView* container = media->view()->subviews().front();
  container->subviews().front()->removeFromSuperview();
  container->addSubview(objc::make<UIView>(CGRectMake(0, 0, 280, 130)));
  ns::LogCapture log;
  clock.advance(8);
  EXPECT_EQ(g_samplingTicks, 7);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.contains("UIView has no field _trackInformationView")) << log.lines()[0];
  EXPECT_FALSE(fs::exists(root.host(corvane::kDateArrayPath)));
}

class LaunchPage : public TweakInHost {
 protected:
  LaunchPage() { UIScreen::setDeviceProfile(300, 568, 2); }
  ~LaunchPage() override { UIScreen::resetDeviceProfile(); }
  static void layOut(UIViewController* controller) {
    controller->view()->setNeedsLayout();
    controller->view()->layoutIfNeeded();
  }
};

TEST_F(LaunchPage, TheBrightnessRowBecomesATwoPagePagerOnce) {
  auto brightness = objc::make<SBCCBrightnessSectionController>();
  auto window = objc::make<UIWindow>(CGRectMake(0, 0, 300, 568));
  window->addSubview(brightness->view());
  CGRect sliderFrame = brightness->slider()->frame();
  for (int pass = 0; pass < 3; ++pass) layOut(brightness);
  EXPECT_EQ(brightness->layoutPasses(), 3);
  // One pager: the slider where it was, the launch button on the second page.
  std::string dump = UIAutomation::dumpJSON();
  EXPECT_NE(dump.find(R"(
      {"class": "UIView", "frame": [0, 0, 300, 50], "alpha": 1, "hidden": false, "children": [
        {"class": "CVScrollView", "frame": [0, 0, 300, 50], "alpha": 1, "hidden": false, "children": [
          {"class": "UISlider", "frame": [32, 10, 236, 30], "alpha": 1, "hidden": false, "children": []},
          {"class": "UIButton", "frame": [0, 50, 300, 50], "alpha": 1, "hidden": false, "text": "Tap to Launch App", "children": []}
        ]}
      ]}
)"),
            std::string::npos)
      << dump;
  auto* pager = static_cast<UIScrollView*>(brightness->slider()->superview());
  EXPECT_EQ(pager->contentSize(), CGSizeMake(300, 100));
  EXPECT_TRUE(pager->isPagingEnabled());
  EXPECT_FALSE(pager->showsHorizontalScrollIndicator() || pager->showsVerticalScrollIndicator());
  EXPECT_EQ(brightness->slider()->frame(), sliderFrame);
}

TEST_F(LaunchPage, ASliderAlreadyInAScrollViewGetsNoLaunchPage) {
  auto brightness = objc::make<SBCCBrightnessSectionController>();
  brightness->view();
  UISlider* slider = brightness->slider();
  UIView* row = slider->superview();
  auto other = objc::make<UIScrollView>(row->bounds());
  row->addSubview(other);
  other->addSubview(slider);
  layOut(brightness);
  EXPECT_EQ(slider->superview(), other.get());
  EXPECT_EQ(other->subviews().size(), 1u);
}

TEST_F(LaunchPage, EachTapStartsTheLauncherOnceWithExactlyItsArgumentsAndEnvironment) {
  fs::create_directories(root.host("/usr/bin"));
  fs::copy_file(RECORD_LAUNCH_PATH, root.host("/usr/bin/launchCV"));
  auto brightness = objc::make<SBCCBrightnessSectionController>();
  layOut(brightness);
  auto* pager = brightness->slider()->superview();
  auto* button = static_cast<UIButton*>(pager->subviews()[1].get());

  for (int tap = 0; tap < 2; ++tap) {
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    int status = -1;
    // The tweak never waits for the launcher; the test does, to read it.
    ASSERT_GT(waitpid(-1, &status, 0), 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no third launcher
  const std::string record = "/usr/bin/launchCV\ncom.corvane.app\n--\nPROCESS=2\nend\n";
  EXPECT_EQ(testsupport::readHostFile(root.host("/launch-record")), record + record);
}

}  // namespace
