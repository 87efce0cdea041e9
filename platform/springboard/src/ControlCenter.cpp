#include "SpringBoard/ControlCenter.h"

#include <algorithm>

namespace {

template <class T, void (T::*Method)()>
objc::id call(objc::id self, objc::SEL, objc::id) {
  (static_cast<T*>(self)->*Method)();
  return nullptr;
}

template <class T, void (T::*Method)(bool)>
objc::id callFlag(objc::id self, objc::SEL, objc::id flag) {
  (static_cast<T*>(self)->*Method)(flag != nullptr);
  return nullptr;
}

objc::Ref<ns::NSString> textObject(const std::optional<std::string>& text) {
  return text ? ns::NSString::make(*text) : nullptr;
}

}  // namespace

objc::id SBBoolArgument(bool value) {
  static objc::Object* yes = objc::make<objc::Object>().leak();
  return value ? yes : nullptr;
}

// --- track information ---------------------------------------------------------

void SBCCTrackInformationView::setupClass(objc::Class* cls) {
  cls->addIvar<&SBCCTrackInformationView::titleText_>("_titleText");
  cls->addIvar<&SBCCTrackInformationView::albumText_>("_albumText");
  cls->addIvar<&SBCCTrackInformationView::artistText_>("_artistText");
}
OBJC_CLASS_IMPL(SBCCTrackInformationView, UIView, &SBCCTrackInformationView::setupClass)

SBCCTrackInformationView::SBCCTrackInformationView(CGRect frame) : UIView(frame) {
  titleLabel_ = objc::make<UILabel>();
  titleLabel_->setTextAlignment(NSTextAlignmentCenter);
  titleLabel_->setTextColor(UIColor::whiteColor());
  titleLabel_->setFont(UIFont::boldSystemFontOfSize(15));
  addSubview(titleLabel_);
  detailLabel_ = objc::make<UILabel>();
  detailLabel_->setTextAlignment(NSTextAlignmentCenter);
  detailLabel_->setTextColor(UIColor::lightGrayColor());
  detailLabel_->setFont(UIFont::systemFontOfSize(13));
  addSubview(detailLabel_);
}

void SBCCTrackInformationView::showTrack(const springboard::NowPlayingState& state) {
  titleText_ = textObject(state.title);
  albumText_ = textObject(state.album);
  artistText_ = textObject(state.artist);
  titleLabel_->setText(state.title.value_or(""));
  std::string detail = state.artist.value_or("");
  if (state.artist && state.album) detail += " — ";
  detail += state.album.value_or("");
  detailLabel_->setText(detail);
}

void SBCCTrackInformationView::layoutSubviews() {
  CGRect b = bounds();
  titleLabel_->setFrame(CGRectMake(0, 0, b.size.width, b.size.height / 2));
  detailLabel_->setFrame(CGRectMake(0, b.size.height / 2, b.size.width, b.size.height / 2));
}

// --- time information ----------------------------------------------------------

void SBCCTimeInformationView::setupClass(objc::Class* cls) {
  cls->addIvar<&SBCCTimeInformationView::slider_>("_slider");
  cls->addIvar<&SBCCTimeInformationView::showIsPlaying_>("_showIsPlaying");
}
OBJC_CLASS_IMPL(SBCCTimeInformationView, UIView, &SBCCTimeInformationView::setupClass)

SBCCTimeInformationView::SBCCTimeInformationView(CGRect frame) : UIView(frame) {
  slider_ = objc::make<UISlider>();
  // The scrubber shows, it does not seek.
  slider_->setUserInteractionEnabled(false);
  addSubview(slider_);
}

void SBCCTimeInformationView::showTime(float position, bool playing) {
  // The slider clamps to its range; the range grows with the position so the
  // value read back is exactly the position shown.
  if (position > slider_->maximumValue()) slider_->setMaximumValue(position);
  slider_->setValue(position);
  showIsPlaying_ = playing ? 1 : 0;
}

void SBCCTimeInformationView::layoutSubviews() {
  CGRect b = bounds();
  slider_->setFrame(CGRectInset(b, 16, std::max<double>(0.0, (b.size.height - 30) / 2)));
}

// --- now-playing view --------------------------------------------------------------

void SBCCNowPlayingView::setupClass(objc::Class* cls) {
  cls->addIvar<&SBCCNowPlayingView::trackInformationView_>("_trackInformationView");
  cls->addIvar<&SBCCNowPlayingView::timeInformationView_>("_timeInformationView");
}
OBJC_CLASS_IMPL(SBCCNowPlayingView, UIView, &SBCCNowPlayingView::setupClass)

SBCCNowPlayingView::SBCCNowPlayingView(CGRect frame) : UIView(frame) {
  trackInformationView_ = objc::make<SBCCTrackInformationView>();
  addSubview(trackInformationView_);
  timeInformationView_ = objc::make<SBCCTimeInformationView>();
  addSubview(timeInformationView_);
}

void SBCCNowPlayingView::layoutSubviews() {
  CGRect b = bounds();
  double half = b.size.height / 2;
  trackInformationView_->setFrame(CGRectMake(0, 0, b.size.width, half));
  timeInformationView_->setFrame(CGRectMake(0, half, b.size.width, b.size.height - half));
}

OBJC_CLASS_IMPL(SBCCMediaControlsContainerView, UIView, nullptr)

void SBCCMediaControlsContainerView::layoutSubviews() {
  if (subviews().empty()) return;
  subviews().front()->setFrame(CGRectInset(bounds(), 8, 8));
}

OBJC_CLASS_IMPL(SBCCMediaControlsView, UIView, nullptr)

void SBCCMediaControlsView::layoutSubviews() {
  if (subviews().empty()) return;
  subviews().front()->setFrame(bounds());
}

// --- now-playing controller ----------------------------------------------------------

void MPUNowPlayingController::setupClass(objc::Class* cls) {
  using C = MPUNowPlayingController;
  cls->addMethod(objc::sel_registerName("_startUpdatingTimeInformation"),
                 call<C, &C::startUpdatingTimeInformation>, "v@:");
  cls->addMethod(objc::sel_registerName("_stopUpdatingTimeInformation"),
                 call<C, &C::stopUpdatingTimeInformation>, "v@:");
}
OBJC_CLASS_IMPL(MPUNowPlayingController, objc::Object, &MPUNowPlayingController::setupClass)

MPUNowPlayingController::MPUNowPlayingController() {
  observer_ = springboard::NowPlayingCenter::shared().addObserver(
      [this](const springboard::NowPlayingState&) { sourceDidChange(); });
}

MPUNowPlayingController::~MPUNowPlayingController() {
  springboard::NowPlayingCenter::shared().removeObserver(observer_);
}

void MPUNowPlayingController::setNowPlayingView(SBCCNowPlayingView* view) {
  view_ = view;
  sourceDidChange();
}

void MPUNowPlayingController::sourceDidChange() {
  objc::objc_msgSend(this, "_stopUpdatingTimeInformation");
  if (SBCCNowPlayingView* view = view_.get())
    view->trackInformationView()->showTrack(springboard::NowPlayingCenter::shared().current());
  objc::objc_msgSend(this, "_startUpdatingTimeInformation");
}

void MPUNowPlayingController::startUpdatingTimeInformation() {
  updatingTimeInformation_ = true;
  const springboard::NowPlayingState& state = springboard::NowPlayingCenter::shared().current();
  if (SBCCNowPlayingView* view = view_.get())
    view->timeInformationView()->showTime(state.position, state.playing);
}

void MPUNowPlayingController::stopUpdatingTimeInformation() {
  updatingTimeInformation_ = false;
  ++stopCount_;
}

// --- sections --------------------------------------------------------------------

OBJC_CLASS_IMPL(SBCCMediaControlsSectionController, UIViewController, nullptr)

void SBCCMediaControlsSectionController::loadView() {
  auto view = objc::make<SBCCMediaControlsView>();
  auto container = objc::make<SBCCMediaControlsContainerView>();
  container->addSubview(objc::make<SBCCNowPlayingView>());
  view->addSubview(container);
  setView(view);
}

void SBCCMediaControlsSectionController::viewDidLoad() {
  nowPlaying_ = objc::make<MPUNowPlayingController>();
  nowPlaying_->setNowPlayingView(nowPlayingView());
}

SBCCNowPlayingView* SBCCMediaControlsSectionController::nowPlayingView() const {
  UIView* view = viewIfLoaded();
  if (!view || view->subviews().empty() || view->subviews().front()->subviews().empty())
    return nullptr;
  UIView* candidate = view->subviews().front()->subviews().front();
  return candidate->isKindOfClass(SBCCNowPlayingView::classObject())
             ? static_cast<SBCCNowPlayingView*>(candidate)
             : nullptr;
}

void SBCCBrightnessSectionController::setupClass(objc::Class* cls) {
  cls->addIvar<&SBCCBrightnessSectionController::slider_>("_slider");
}
OBJC_CLASS_IMPL(SBCCBrightnessSectionController, UIViewController,
                &SBCCBrightnessSectionController::setupClass)

void SBCCBrightnessSectionController::loadView() {
  double width = UIScreen::mainScreen()->bounds().size.width;
  double height = SBControlCenterContentView::kRowHeight;
  auto view = objc::make<UIView>(CGRectMake(0, 0, width, height));
  // The slider's container is the row itself.
  auto container = objc::make<UIView>(CGRectMake(0, 0, width, height));
  slider_ = objc::make<UISlider>(CGRectMake(32, (height - 30) / 2, width - 64, 30));
  slider_->setValue(0.5f);
  container->addSubview(slider_);
  view->addSubview(container);
  setView(view);
}

// --- content and container ---------------------------------------------------------------

void SBControlCenterContentView::setupClass(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("controlCenterWillBeginTransition"),
                 call<SBControlCenterContentView,
                      &SBControlCenterContentView::controlCenterWillBeginTransition>,
                 "v@:");
}
OBJC_CLASS_IMPL(SBControlCenterContentView, UIView, &SBControlCenterContentView::setupClass)

void SBControlCenterContentView::layoutSubviews() {
  double width = bounds().size.width;
  double y = kMargin;
  for (auto& section : std::vector<objc::Ref<UIView>>(subviews())) {
    double height =
        section->isKindOfClass(SBCCMediaControlsView::classObject()) ? kMediaHeight : kRowHeight;
    section->setFrame(CGRectMake(0, y, width, height));
    y += height + kMargin;
  }
}

OBJC_CLASS_IMPL(SBControlCenterContainerView, UIView, nullptr)

void SBControlCenterContainerView::layoutSubviews() {
  CGRect b = bounds();
  for (auto& sub : subviews())
    if (sub->isKindOfClass(SBControlCenterContentView::classObject()))
      sub->setFrame(CGRectMake(0, b.size.height - SBControlCenterContentView::kHeight, b.size.width,
                               SBControlCenterContentView::kHeight));
}

void SBControlCenterContainerView::touchesEnded(UITouch* touch, UIEvent*) {
  // Only a touch on the dimmed area itself, not one a section passed up.
  if (touch->view() != this) return;
  objc::objc_msgSend(SBControlCenterController::sharedInstance(),
                     "dismissAnimated:", SBBoolArgument(true));
}

// --- the controller ---------------------------------------------------------------------------

void SBControlCenterController::setupClass(objc::Class* cls) {
  using C = SBControlCenterController;
  cls->addMethod(objc::sel_registerName("presentAnimated:"), callFlag<C, &C::presentAnimated>,
                 "v@:B");
  cls->addMethod(objc::sel_registerName("dismissAnimated:"), callFlag<C, &C::dismissAnimated>,
                 "v@:B");
}
OBJC_CLASS_IMPL(SBControlCenterController, UIViewController, &SBControlCenterController::setupClass)

SBControlCenterController* SBControlCenterController::sharedInstance() {
  // Lives as long as the shell.
  static SBControlCenterController* shared = objc::make<SBControlCenterController>().leak();
  return shared;
}

void SBControlCenterController::loadView() {
  auto container = objc::make<SBControlCenterContainerView>(UIScreen::mainScreen()->bounds());
  container->setBackgroundColor(UIColor::blackColor()->colorWithAlphaComponent(0.4));
  content_ = objc::make<SBControlCenterContentView>();
  content_->setBackgroundColor(UIColor::darkGrayColor()->colorWithAlphaComponent(0.95));
  container->addSubview(content_);
  setView(container);
}

void SBControlCenterController::buildSections() {
  if (brightness_) return;
  brightness_ = objc::make<SBCCBrightnessSectionController>();
  media_ = objc::make<SBCCMediaControlsSectionController>();
  // Loading the views runs each section's "viewDidLoad".
  content_->addSubview(brightness_->view());
  content_->addSubview(media_->view());
}

void SBControlCenterController::presentAnimated(bool animated) {
  if (presented_) return;
  presented_ = true;
  UIView* root = view();
  if (!window_) {
    window_ = objc::make<UIWindow>();
    window_->addSubview(root);
  }
  buildSections();
  objc::objc_msgSend(content_, "controlCenterWillBeginTransition");
  // Every presentation lays the sections out again, on the next layout pass.
  root->setNeedsLayout();
  content_->setNeedsLayout();
  brightness_->view()->setNeedsLayout();
  media_->view()->setNeedsLayout();
  if (UIWindow* key = UIWindow::keyWindow(); key && key != window_) previousKeyWindow_ = key;
  window_->makeKeyAndVisible();
  if (animated) {
    double alpha = root->alpha();
    root->setAlpha(0);
    UIView::animateWithDuration(kFadeDuration, [root, alpha] { root->setAlpha(alpha); });
  }
}

void SBControlCenterController::dismissAnimated(bool animated) {
  if (!presented_) return;
  presented_ = false;
  objc::objc_msgSend(content_, "controlCenterWillBeginTransition");
  if (UIWindow* previous = previousKeyWindow_.get()) previous->makeKeyAndVisible();
  objc::Ref<UIWindow> window = window_;
  if (!animated) {
    window->setHidden(true);
    return;
  }
  objc::Ref<UIView> root(view());
  double alpha = root->alpha();
  objc::Ref<SBControlCenterController> keep(this);
  UIView::animateWithDuration(
      kFadeDuration, [root] { root->setAlpha(0); },
      [this, keep, window, root, alpha](bool) {
        // A presentation during the fade keeps the window up.
        if (presented_) return;
        window->setHidden(true);
        root->setAlpha(alpha);
      });
}
