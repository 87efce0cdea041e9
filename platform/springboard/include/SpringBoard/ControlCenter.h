// Control Center of the simulated shell, with the sections and views a tweak
// reaches into. The calls a tweak may hook go through the runtime's dispatch
// ("presentAnimated:", "dismissAnimated:", "viewDidLoad",
// "viewDidLayoutSubviews", "controlCenterWillBeginTransition",
// "_stopUpdatingTimeInformation", "_startUpdatingTimeInformation"), and the
// private fields are registered by their names:
//
//   SBCCMediaControlsSectionController view
//     -> SBCCMediaControlsContainerView (first subview)
//        -> SBCCNowPlayingView (first subview; zero frame until laid out)
//           _trackInformationView: SBCCTrackInformationView
//              _titleText, _albumText, _artistText (NSString or null)
//           _timeInformationView: SBCCTimeInformationView
//              _slider (UISlider, value = playback position), _showIsPlaying (byte)
//   SBCCBrightnessSectionController _slider, inside a container whose frame
//     is the row.
#pragma once

#include <cstdint>

#include "Foundation/NSString.h"
#include "SpringBoard/NowPlayingCenter.h"
#include "UIKit/UIKit.h"

// A BOOL argument travels through the runtime's one object argument: null
// is NO, any object YES (as UIKit's "viewWillAppear:" takes it).
objc::id SBBoolArgument(bool value);

// --- the now-playing view and its parts -------------------------------------

class SBCCTrackInformationView : public UIView {
  OBJC_CLASS(SBCCTrackInformationView)
 public:
  explicit SBCCTrackInformationView(CGRect frame = CGRectZero);
  void showTrack(const springboard::NowPlayingState& state);
  const ns::NSString* titleText() const { return titleText_.get(); }
  void layoutSubviews() override;
  static void setupClass(objc::Class* cls);

 private:
  objc::Ref<ns::NSString> titleText_;
  objc::Ref<ns::NSString> albumText_;
  objc::Ref<ns::NSString> artistText_;
  objc::Ref<UILabel> titleLabel_;
  objc::Ref<UILabel> detailLabel_;
};

class SBCCTimeInformationView : public UIView {
  OBJC_CLASS(SBCCTimeInformationView)
 public:
  explicit SBCCTimeInformationView(CGRect frame = CGRectZero);
  void showTime(float position, bool playing);
  UISlider* slider() const { return slider_.get(); }
  bool showsPlaying() const { return showIsPlaying_ != 0; }
  void layoutSubviews() override;
  static void setupClass(objc::Class* cls);

 private:
  objc::Ref<UISlider> slider_;
  uint8_t showIsPlaying_ = 0;
};

class SBCCNowPlayingView : public UIView {
  OBJC_CLASS(SBCCNowPlayingView)
 public:
  explicit SBCCNowPlayingView(CGRect frame = CGRectZero);
  SBCCTrackInformationView* trackInformationView() const { return trackInformationView_.get(); }
  SBCCTimeInformationView* timeInformationView() const { return timeInformationView_.get(); }
  void layoutSubviews() override;
  static void setupClass(objc::Class* cls);

 private:
  objc::Ref<SBCCTrackInformationView> trackInformationView_;
  objc::Ref<SBCCTimeInformationView> timeInformationView_;
};

// Holds the now-playing view and gives it its frame at the first layout
// pass: until then the now-playing view has a zero frame.
class SBCCMediaControlsContainerView : public UIView {
  OBJC_CLASS(SBCCMediaControlsContainerView)
 public:
  using UIView::UIView;
  void layoutSubviews() override;
};

// The media section's view: its container fills it.
class SBCCMediaControlsView : public UIView {
  OBJC_CLASS(SBCCMediaControlsView)
 public:
  using UIView::UIView;
  void layoutSubviews() override;
};

// Shows the shell's now-playing source in a now-playing view.
class MPUNowPlayingController : public objc::Object {
  OBJC_CLASS(MPUNowPlayingController)
 public:
  MPUNowPlayingController();
  ~MPUNowPlayingController() override;
  // Not owned; the view shows the current state at once.
  void setNowPlayingView(SBCCNowPlayingView* view);
  bool isUpdatingTimeInformation() const { return updatingTimeInformation_; }
  // How often "_stopUpdatingTimeInformation" was dispatched (tests).
  int stopCount() const { return stopCount_; }
  static void setupClass(objc::Class* cls);

 private:
  // A new state from the source: the time updates stop, the track texts
  // change, and the time updates start again from the new state.
  void sourceDidChange();
  void startUpdatingTimeInformation();
  void stopUpdatingTimeInformation();

  objc::Weak<SBCCNowPlayingView> view_;
  int observer_ = 0;
  bool updatingTimeInformation_ = false;
  int stopCount_ = 0;
};

// --- sections ----------------------------------------------------------------

class SBCCMediaControlsSectionController : public UIViewController {
  OBJC_CLASS(SBCCMediaControlsSectionController)
 public:
  void loadView() override;
  void viewDidLoad() override;
  SBCCNowPlayingView* nowPlayingView() const;
  MPUNowPlayingController* nowPlayingController() const { return nowPlaying_.get(); }

 private:
  objc::Ref<MPUNowPlayingController> nowPlaying_;
};

class SBCCBrightnessSectionController : public UIViewController {
  OBJC_CLASS(SBCCBrightnessSectionController)
 public:
  void loadView() override;
  UISlider* slider() const { return slider_.get(); }
  // How many layout passes the section's view had (tests).
  int layoutPasses() const { return layoutPasses_; }
  void viewDidLayoutSubviews() override { ++layoutPasses_; }
  static void setupClass(objc::Class* cls);

 private:
  objc::Ref<UISlider> slider_;
  int layoutPasses_ = 0;
};

// The sections, stacked: the brightness row, then the media controls.
class SBControlCenterContentView : public UIView {
  OBJC_CLASS(SBControlCenterContentView)
 public:
  using UIView::UIView;
  void layoutSubviews() override;
  // Runs before every presentation and dismissal.
  void controlCenterWillBeginTransition() { ++transitions_; }
  int transitions() const { return transitions_; }
  static void setupClass(objc::Class* cls);

  static constexpr double kRowHeight = 50;
  static constexpr double kMediaHeight = 150;
  static constexpr double kMargin = 16;
  static constexpr double kHeight = kMargin + kRowHeight + kMargin + kMediaHeight + kMargin;

 private:
  int transitions_ = 0;
};

// Covers the screen behind the content; a tap on it dismisses Control Center.
class SBControlCenterContainerView : public UIView {
  OBJC_CLASS(SBControlCenterContainerView)
 public:
  using UIView::UIView;
  void layoutSubviews() override;
  void touchesEnded(UITouch* touch, UIEvent* event) override;
};

class SBControlCenterController : public UIViewController {
  OBJC_CLASS(SBControlCenterController)
 public:
  // The shell's one Control Center (a class method on the platform).
  static SBControlCenterController* sharedInstance();

  void loadView() override;
  bool isPresented() const { return presented_; }
  SBControlCenterContentView* contentView() const { return content_.get(); }
  SBCCBrightnessSectionController* brightnessSection() const { return brightness_.get(); }
  SBCCMediaControlsSectionController* mediaSection() const { return media_.get(); }
  UIWindow* window() const { return window_.get(); }

  // Behind "presentAnimated:" and "dismissAnimated:". The first presentation
  // builds the sections and loads their views; every presentation lays them
  // out again (from the run loop, as a layout pass is).
  void presentAnimated(bool animated);
  void dismissAnimated(bool animated);
  static void setupClass(objc::Class* cls);

  static constexpr double kFadeDuration = 0.3;

 private:
  void buildSections();

  objc::Ref<UIWindow> window_;
  objc::Weak<UIWindow> previousKeyWindow_;
  objc::Ref<SBControlCenterContentView> content_;
  objc::Ref<SBCCBrightnessSectionController> brightness_;
  objc::Ref<SBCCMediaControlsSectionController> media_;
  bool presented_ = false;
};
