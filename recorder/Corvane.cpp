// The Corvane tweak. Loaded into the shell, its constructor hooks Control
// Center so that, from boot on, the play sampler runs on two timers of the
// media section's controller, and turns the brightness row into a pager
// whose second page launches the Corvane app.
#include <spawn.h>

#include <set>
#include <string>

#include "CVScrollView.h"
#include "DataStore.h"
#include "Foundation/FileSystem.h"
#include "Foundation/Log.h"
#include "Foundation/NSString.h"
#include "Foundation/NSTimer.h"
#include "NowPlayingHost.h"
#include "PlaySampler.h"
#include "RecorderKeys.h"
#include "SpringBoard/ControlCenter.h"
#include "UIKit/UIKit.h"
#include "substrate.h"

namespace {

using objc::id;
using objc::IMP;
using objc::SEL;

constexpr const char* kLauncherPath = "/usr/bin/launchCV";
constexpr const char* kAppBundleIdentifier = "com.corvane.app";

IMP previousApplicationDidFinishLaunching = nullptr;
IMP previousStopUpdatingTimeInformation = nullptr;
IMP previousBrightnessViewDidLayoutSubviews = nullptr;
IMP previousMediaViewDidLoad = nullptr;
IMP previousControlCenterWillBeginTransition = nullptr;

// A host that lacks something the tweak needs says so once, not on every
// tick.
void reportOnce(const std::string& problem) {
  static auto* reported = new std::set<std::string>;
  if (reported->insert(problem).second) ns::NSLog("Corvane: %s", problem.c_str());
}

objc::Class* hostClass(const char* name) {
  objc::Class* cls = objc::objc_getClass(name);
  if (!cls)
    reportOnce(std::string("this system has no class ") + name + "; the tweak leaves it alone");
  return cls;
}

// A private field of obj, found by name on its actual class.
objc::Ivar fieldOf(id obj, const char* name) {
  objc::Ivar ivar = objc::class_getInstanceVariable(objc::object_getClass(obj), name);
  if (!ivar)
    reportOnce(std::string(obj->className()) + " has no field " + name + "; the tweak skips it");
  return ivar;
}

// A field holding a view of the given class, or null (reported).
template <class View>
View* viewField(id obj, const char* name) {
  objc::Ivar ivar = fieldOf(obj, name);
  if (!ivar) return nullptr;
  id value = objc::object_getIvar(obj, ivar);
  if (!value || !value->isKindOfClass(View::classObject())) {
    reportOnce(std::string(obj->className()) + "'s " + name + " holds no " +
               objc::class_getName(View::classObject()) + "; the tweak skips it");
    return nullptr;
  }
  return static_cast<View*>(value);
}

UIView* loadedViewOf(id controller) {
  if (!controller->isKindOfClass(UIViewController::classObject())) return nullptr;
  return static_cast<UIViewController*>(controller)->viewIfLoaded();
}

// The first subview of the first subview of the media section's view.
UIView* nowPlayingViewOf(id controller) {
  UIView* view = loadedViewOf(controller);
  if (!view || view->subviews().empty()) return nullptr;
  UIView* first = view->subviews().front();
  return first->subviews().empty() ? nullptr : first->subviews().front().get();
}

// What the sampler reads, taken from the media section's views by field name.
class NowPlayingViews : public corvane::NowPlayingHost {
 public:
  // Finds the views of one controller; false (reported once) when the host
  // lacks one of them, and then the tick does nothing.
  bool find(id controller) {
    UIView* nowPlaying = nowPlayingViewOf(controller);
    if (!nowPlaying) {
      reportOnce("the media section has no now-playing view; sampling waits for one");
      return false;
    }
    // Stops at the first thing missing, so a host lacking a view reports
    // that view and not everything inside it as well.
    return (track_ = viewField<UIView>(nowPlaying, "_trackInformationView")) &&
           (time_ = viewField<UIView>(nowPlaying, "_timeInformationView")) &&
           (title_ = fieldOf(track_, "_titleText")) && (album_ = fieldOf(track_, "_albumText")) &&
           (artist_ = fieldOf(track_, "_artistText")) &&
           (slider_ = viewField<UISlider>(time_, "_slider")) &&
           (playing_ = fieldOf(time_, "_showIsPlaying"));
  }

  corvane::TrackInformation trackInformation() override {
    return {text(title_), text(album_), text(artist_)};
  }
  float position() override { return slider_->value(); }
  bool isPlaying() override { return objc::object_getByteIvar(time_, playing_) != 0; }
  void showAlert(const std::string& title, const std::string& message,
                 const std::string& cancelButton) override {
    objc::make<UIAlertView>(title, message, nullptr, cancelButton)->show();
  }

 private:
  std::optional<std::string> text(objc::Ivar ivar) const {
    const std::string* value = ns::stringValue(objc::object_getIvar(track_, ivar));
    return value ? std::optional<std::string>(*value) : std::nullopt;
  }

  UIView* track_ = nullptr;
  UIView* time_ = nullptr;
  UISlider* slider_ = nullptr;
  objc::Ivar title_ = nullptr;
  objc::Ivar album_ = nullptr;
  objc::Ivar artist_ = nullptr;
  objc::Ivar playing_ = nullptr;
};

ns::NSTimer* timerFor(id controller, const char* key) {
  id value = objc::objc_getAssociatedObject(controller, key);
  return value && value->isKindOfClass(ns::NSTimer::classObject())
             ? static_cast<ns::NSTimer*>(value)
             : nullptr;
}

void keep(id controller, const char* key, id value) {
  objc::objc_setAssociatedObject(controller, key, value, objc::OBJC_ASSOCIATION_RETAIN);
}

// --- start-up -------------------------------------------------------------------

// Loads Control Center's sections at boot without showing anything, so the
// media section exists before anyone opens Control Center.
id applicationDidFinishLaunching(id self, SEL cmd, id application) {
  if (previousApplicationDidFinishLaunching)
    previousApplicationDidFinishLaunching(self, cmd, application);
  if (!hostClass("SBControlCenterController")) return nullptr;
  SBControlCenterController* controlCenter = SBControlCenterController::sharedInstance();
  UIView* view = controlCenter->view();
  view->setAlpha(0);
  objc::objc_msgSend(controlCenter, "presentAnimated:", SBBoolArgument(false));
  objc::objc_msgSend(controlCenter, "dismissAnimated:", SBBoolArgument(false));
  view->setAlpha(1.0);
  return nullptr;
}

id mediaViewDidLoad(id self, SEL cmd, id arg) {
  if (previousMediaViewDidLoad) previousMediaViewDidLoad(self, cmd, arg);
  // A view loaded again before it was laid out: the earlier poll would keep
  // running unseen and its FirstMedia would clear the slots every second.
  if (ns::NSTimer* earlier = timerFor(self, corvane::kMediaTimerKey)) earlier->invalidate();
  objc::Ref<ns::NSTimer> poll =
      ns::NSTimer::scheduledTimer(1.0, self, objc::sel_registerName("FirstMedia"), true);
  // Kept before its first run, so a first run that already finds the view
  // laid out stops it and it never starts the sampling timers a second time.
  keep(self, corvane::kMediaTimerKey, poll);
  poll->fire();
  return nullptr;
}

// The start-up poll: waits for the now-playing view to be laid out, then
// starts the sampling tick and the replay check.
id FirstMedia(id self, SEL, id) {
  UIView* nowPlaying = nowPlayingViewOf(self);
  if (!nowPlaying) return nullptr;
  CGRect frame = nowPlaying->frame();
  if (frame.size.width == 0 || frame.size.height == 0) return nullptr;

  if (ns::NSTimer* poll = timerFor(self, corvane::kMediaTimerKey)) poll->invalidate();
  keep(self, corvane::kMediaTimerKey, nullptr);
  // What a crash interrupted (temporary files, a numbering half written)
  // is cleaned up before the first tick writes again.
  corvane::prepareSampling(self);
  corvane::resetSlotsForStart(self);
  // One sampling tick and one replay check per controller, however often
  // the poll gets here; a sampling timer stopped by a failure starts again.
  ns::NSTimer* check = timerFor(self, corvane::kCheckTimerKey);
  if (!check || !check->isValid())
    keep(self, corvane::kCheckTimerKey,
         ns::NSTimer::scheduledTimer(1.0, self, objc::sel_registerName("CheckMusicInfo"), true));
  ns::NSTimer* replay = timerFor(self, corvane::kCheckNumberKey);
  if (!replay || !replay->isValid())
    keep(self, corvane::kCheckNumberKey,
         ns::NSTimer::scheduledTimer(0.3, self, objc::sel_registerName("checkNumber"), true));
  return nullptr;
}

id CheckMusicInfo(id self, SEL, id) {
  NowPlayingViews views;
  if (views.find(self)) corvane::CheckMusicInfo(self, views);
  return nullptr;
}

id checkNumber(id self, SEL, id) {
  NowPlayingViews views;
  if (views.find(self)) corvane::checkNumber(self, views);
  return nullptr;
}

// --- launch page ---------------------------------------------------------------------

// Wraps the brightness slider into a two-page pager on the first layout pass;
// the second page is the button that launches the app.
id brightnessViewDidLayoutSubviews(id self, SEL cmd, id arg) {
  if (previousBrightnessViewDidLayoutSubviews)
    previousBrightnessViewDidLayoutSubviews(self, cmd, arg);
  UIView* slider = viewField<UIView>(self, "_slider");
  if (!slider) return nullptr;
  objc::Ref<UIView> container(slider->superview());
  if (!container) {
    reportOnce("the brightness slider has no container; no launch page");
    return nullptr;
  }
  if (container->isKindOfClass(UIScrollView::classObject())) return nullptr;

  CGSize size = container->frame().size;
  auto pager = objc::make<CVScrollView>(CGRectMake(0, 0, size.width, size.height));
  pager->setShowsHorizontalScrollIndicator(false);
  pager->setShowsVerticalScrollIndicator(false);
  pager->setPagingEnabled(true);
  pager->setContentSize(CGSizeMake(pager->frame().size.width, 2 * pager->frame().size.height));
  container->addSubview(pager);
  objc::Ref<UIView> keepSlider(slider);
  slider->removeFromSuperview();
  pager->addSubview(slider);

  CGSize content = pager->contentSize();
  auto button =
      objc::make<UIButton>(CGRectMake(0, content.height / 2, content.width, content.height / 2));
  button->addTarget(self, "LaunchCorvane", UIControlEventTouchUpInside);
  button->setTitle("Tap to Launch App", UIControlStateNormal);
  button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
  button->titleLabel()->setFont(UIFont::fontWithName("Futura", 18));
  pager->addSubview(button);
  return nullptr;
}

// Starts the launcher and returns at once; it brings the app to the front.
id LaunchCorvane(id, SEL, id) {
  std::string program = ns::hostPath(kLauncherPath);
  std::string path = kLauncherPath;
  std::string bundle = kAppBundleIdentifier;
  std::string process = "PROCESS=2";
  char* argv[] = {path.data(), bundle.data(), nullptr};
  char* envp[] = {process.data(), nullptr};
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_init(&actions);
  pid_t pid;
  posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, envp);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return nullptr;
}

// --- pass-through hooks ------------------------------------------------------------------

id stopUpdatingTimeInformation(id self, SEL cmd, id arg) {
  return previousStopUpdatingTimeInformation ? previousStopUpdatingTimeInformation(self, cmd, arg)
                                             : nullptr;
}

id controlCenterWillBeginTransition(id self, SEL cmd, id arg) {
  return previousControlCenterWillBeginTransition
             ? previousControlCenterWillBeginTransition(self, cmd, arg)
             : nullptr;
}

// --- installation -----------------------------------------------------------------------

void hook(objc::Class* cls, const char* selector, IMP replacement, IMP* previous) {
  if (cls) MSHookMessageEx(cls, objc::sel_registerName(selector), replacement, previous);
}

void add(objc::Class* cls, const char* selector, IMP implementation) {
  if (cls && !objc::class_addMethod(cls, objc::sel_registerName(selector), implementation, "v@"))
    reportOnce(std::string(objc::class_getName(cls)) + " already has " + selector);
}

__attribute__((constructor)) void installCorvane() {
  hook(hostClass("SpringBoard"), "applicationDidFinishLaunching:", applicationDidFinishLaunching,
       &previousApplicationDidFinishLaunching);
  hook(hostClass("MPUNowPlayingController"), "_stopUpdatingTimeInformation",
       stopUpdatingTimeInformation, &previousStopUpdatingTimeInformation);
  objc::Class* brightness = hostClass("SBCCBrightnessSectionController");
  hook(brightness, "viewDidLayoutSubviews", brightnessViewDidLayoutSubviews,
       &previousBrightnessViewDidLayoutSubviews);
  add(brightness, "LaunchCorvane", LaunchCorvane);
  objc::Class* media = hostClass("SBCCMediaControlsSectionController");
  hook(media, "viewDidLoad", mediaViewDidLoad, &previousMediaViewDidLoad);
  add(media, "FirstMedia", FirstMedia);
  add(media, "checkNumber", checkNumber);
  add(media, "CheckMusicInfo", CheckMusicInfo);
  hook(hostClass("SBControlCenterContentView"), "controlCenterWillBeginTransition",
       controlCenterWillBeginTransition, &previousControlCenterWillBeginTransition);
}

}  // namespace
