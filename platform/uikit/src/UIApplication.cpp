#include "UIKit/UIApplication.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>

#include "ForegroundRequests.h"
#include "Foundation/Log.h"
#include "Foundation/NSBundle.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "UIKit/SDLWindowHost.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIAutomation.h"
#include "UIKit/UIClassFactory.h"
#include "UIKit/UIRenderer.h"
#include "UIKit/UIViewController.h"

OBJC_CLASS_IMPL(UIApplication, UIResponder, nullptr)

namespace {
UIApplication*& shared() {
  static UIApplication* app = nullptr;
  return app;
}
std::string& mainInterface() {
  static auto* name = new std::string;
  return *name;
}

// The virtual clock's start for a script: CORVANE_CLOCK as a local
// "YYYY-MM-DDTHH:MM:SS", else the real time now.
double automationStartTime() {
  const char* env = std::getenv("CORVANE_CLOCK");
  std::tm tm{};
  if (env && std::sscanf(env, "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                         &tm.tm_hour, &tm.tm_min, &tm.tm_sec) == 6) {
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t != static_cast<std::time_t>(-1)) return static_cast<double>(t);
  }
  if (env)
    std::fprintf(stderr, "CORVANE_CLOCK=\"%s\" is not YYYY-MM-DDTHH:MM:SS; using now\n", env);
  return ns::RunLoop::main().now();
}

// The whole content of a host file; nullopt with errno set when it cannot
// be read.
std::optional<std::string> readHostFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.append(buffer, n);
    if (bytes.size() > ns::kMaxPropertyListBytes) {
      std::fclose(file);
      errno = EFBIG;
      return std::nullopt;
    }
  }
  bool failed = std::ferror(file);
  std::fclose(file);
  if (failed) {
    errno = EIO;
    return std::nullopt;
  }
  return bytes;
}

// A property-list dictionary read from a host file, or a reason.
std::optional<ns::PlistDictionary> readDictionary(const std::string& path, std::string* why) {
  auto bytes = readHostFile(path);
  if (!bytes) {
    *why = "cannot read \"" + path + "\": " + std::strerror(errno);
    return std::nullopt;
  }
  auto value = ns::parsePropertyList(*bytes);
  if (!value || !value->isDictionary()) {
    *why = "\"" + path + "\" is not a property-list dictionary";
    return std::nullopt;
  }
  return *value->dictionary();
}

// The root view controller's class name that the main bundle declares
// ("" for none); false with a reason when the declaration is unusable.
bool declaredMainInterface(std::string* className, std::string* why) {
  className->clear();
  const std::string bundle = ns::mainBundlePath();
  if (bundle.empty()) return true;
  const std::string infoPath = bundle + "/Info.plist";
  if (access(infoPath.c_str(), F_OK) != 0 && errno == ENOENT) return true;
  auto info = readDictionary(infoPath, why);
  if (!info) return false;
  auto entry = info->find("UIMainStoryboardFile");
  if (entry == info->end()) return true;
  const std::string* name = entry->second.string();
  // The interface file is one file of the bundle itself.
  if (!name || name->empty() || name->find('/') != std::string::npos) {
    *why = "\"" + infoPath + "\": UIMainStoryboardFile is not the name of a file of the bundle";
    return false;
  }
  const std::string interfacePath = bundle + "/" + *name + ".storyboard.plist";
  auto interface = readDictionary(interfacePath, why);
  if (!interface) return false;
  const std::string* root = ns::stringForKey(*interface, "UIInitialViewController");
  if (!root || root->empty()) {
    *why = "\"" + interfacePath + "\" names no UIInitialViewController";
    return false;
  }
  *className = *root;
  return true;
}

// CORVANE_EXIT_AFTER_FIRST_FRAME (any value but "" and "0"): the
// application ends once its first frame is drawn, so a cold start can be
// timed from outside.
bool exitAfterFirstFrame() {
  const char* v = std::getenv("CORVANE_EXIT_AFTER_FIRST_FRAME");
  return v && *v && std::strcmp(v, "0") != 0;
}

// Brings the application to the front for the launcher.
void bringToFront() {
  SDLWindowHost::raiseWindow();
  ns::NSLog("brought to the front");
}

void takeForegroundRequests() {
  if (ForegroundRequests::take()) bringToFront();
}

// Runs the main run loop: the automation script on the virtual clock, a
// desktop window, or headless; returns UIApplicationMain's status.
int runMainLoop() {
  ns::RunLoop& loop = ns::RunLoop::main();
  if (const char* script = std::getenv("CORVANE_AUTOMATION"); script && *script) {
    if (!loop.isVirtual()) loop.useVirtualClock(automationStartTime());
    // Nothing waits on the virtual clock, so requests are looked for on it.
    ns::RunLoop::TaskId check = 0;
    std::function<void()> lookForRequests = [&] {
      takeForegroundRequests();
      check = loop.performAfter(0.05, lookForRequests);
    };
    check = loop.performAfter(0, lookForRequests);
    loop.runUntil(loop.now());
    std::string message;
    auto result = UIAutomation::runScriptFile(script, &message);
    loop.cancel(check);
    if (result == UIAutomation::Status::Error) {
      std::fprintf(stderr, "automation: %s\n", message.c_str());
      return UIApplicationExitFailure;
    }
    return UIApplicationExitSuccess;
  }
  const bool firstFrameOnly = exitAfterFirstFrame();
  if (SDLWindowHost::wantsWindow()) {
    std::string error;
    if (SDLWindowHost::runMainLoop(&error, takeForegroundRequests, firstFrameOnly))
      return UIApplicationExitSuccess;
    std::fprintf(stderr, "UIApplicationMain: no window (%s); running without one\n", error.c_str());
  }
  if (firstFrameOnly) {
    // Headless, the frame a window would show first is drawn off-screen,
    // as a window draws it: before anything else runs.
    UIRenderer().renderScreen();
    return UIApplicationExitSuccess;
  }
  // Headless: the request pipe is one more descriptor the loop waits on, so
  // a request wakes it and nothing else does.
  // With no screen every alert is said on standard error, as it would show.
  UIAlertView::setAppearanceHandler([](UIAlertView* alert) {
    ns::NSLog("alert \"%s\": %s", alert->title().c_str(), alert->message().c_str());
  });
  ns::RunLoop::WatchId requests = 0;
  if (ForegroundRequests::fd() >= 0)
    requests = loop.watchDescriptor(ForegroundRequests::fd(), POLLIN, takeForegroundRequests);
  takeForegroundRequests();
  loop.run();
  if (requests) loop.unwatchDescriptor(requests);
  UIAlertView::setAppearanceHandler(nullptr);
  return UIApplicationExitSuccess;
}
}  // namespace

void UIApplicationSetMainInterface(const std::string& name) {
  mainInterface() = name;
}
const std::string& UIApplicationMainInterface() {
  return mainInterface();
}

UIApplication::UIApplication() {
  if (!shared()) shared() = this;
}

UIApplication::~UIApplication() {
  if (shared() == this) shared() = nullptr;
}

UIApplication* UIApplication::sharedApplication() {
  return shared();
}

UIApplicationDelegate* UIApplication::typedDelegate() const {
  return dynamic_cast<UIApplicationDelegate*>(delegate_.get());
}

void UIApplication::setDelegate(objc::Object* delegate) {
  delegate_ = delegate;
}

UIResponder* UIApplication::nextResponder() const {
  return dynamic_cast<UIResponder*>(delegate_.get());
}

bool UIApplication::sendAction(objc::SEL action, objc::Object* target, objc::Object* sender) {
  if (!action) return false;
  if (target) {
    if (!target->respondsToSelector(action)) return false;
    objc::objc_msgSend(target, action, sender);
    return true;
  }
  UIResponder* start = UIResponder::currentFirstResponder();
  if (!start) start = dynamic_cast<UIResponder*>(sender);
  for (UIResponder* r = start; r; r = r->nextResponder()) {
    if (r->respondsToSelector(action)) {
      objc::objc_msgSend(r, action, sender);
      return true;
    }
  }
  return false;
}

void UIApplication::simulateMemoryWarning() {
  objc::Ref<UIApplication> keep(this);
  if (auto* d = typedDelegate()) d->applicationDidReceiveMemoryWarning(this);
  for (UIWindow* w : UIWindow::allWindows())
    if (UIViewController* vc = w->rootViewController())
      objc::objc_msgSend(vc, "didReceiveMemoryWarning");
}

int UIApplicationMain(int, char**, const char* principalClassName, const char* delegateClassName) {
  ForegroundRequests::Scope foregroundRequests;
  objc::Ref<objc::Object> delegate = UICreateInstanceOfClassNamed(delegateClassName);
  if (!delegate) {
    const char* name = delegateClassName ? delegateClassName : "(null)";
    if (delegateClassName && objc::objc_getClass(delegateClassName))
      std::fprintf(stderr, "UIApplicationMain: class \"%s\" has no UIKIT_CLASS_FACTORY\n", name);
    else
      std::fprintf(stderr, "UIApplicationMain: no class named \"%s\"\n", name);
    return UIApplicationExitFailure;
  }
  objc::Ref<UIApplication> app;
  if (principalClassName) {
    objc::Ref<objc::Object> object = UICreateInstanceOfClassNamed(principalClassName);
    app = dynamic_cast<UIApplication*>(object.get());
    if (!app) {
      std::fprintf(stderr, "UIApplicationMain: \"%s\" is not an application class\n",
                   principalClassName);
      return UIApplicationExitFailure;
    }
  } else {
    app = objc::make<UIApplication>();
  }
  shared() = app;
  app->setDelegate(delegate);
  UIApplicationDelegate* typed = app->typedDelegate();

  // The main interface: a window with its root view controller.
  std::string rootClass = mainInterface();
  std::string why;
  if (rootClass.empty() && !declaredMainInterface(&rootClass, &why)) {
    std::fprintf(stderr, "UIApplicationMain: main interface unusable: %s\n", why.c_str());
    return UIApplicationExitBadMainInterface;
  }
  if (!rootClass.empty()) {
    objc::Ref<objc::Object> object = UICreateInstanceOfClassNamed(rootClass.c_str());
    auto* vc = dynamic_cast<UIViewController*>(object.get());
    if (!vc) {
      std::fprintf(stderr, "UIApplicationMain: cannot make the root view controller \"%s\"\n",
                   rootClass.c_str());
      return UIApplicationExitBadMainInterface;
    }
    auto window = objc::make<UIWindow>();
    window->setRootViewController(vc);
    app->interfaceWindow_ = window;
    if (typed) typed->setWindow(window);
  }
  if (typed) typed->applicationDidFinishLaunchingWithOptions(app, nullptr);
  UIWindow* window = typed && typed->window() ? typed->window() : app->interfaceWindow_.get();
  if (window && (window->isHidden() || !window->isKeyWindow())) window->makeKeyAndVisible();
  if (app->respondsToSelector(objc::sel_registerName("applicationDidFinishLaunching:")))
    objc::objc_msgSend(app, "applicationDidFinishLaunching:", app);
  app->state_ = UIApplicationState::Active;
  if (typed) typed->applicationDidBecomeActive(app);

  int status = runMainLoop();

  if (typed) typed->applicationWillTerminate(app);
  app->state_ = UIApplicationState::Background;
  UIAlertView::removeAll();
  app->interfaceWindow_ = nullptr;
  app->delegate_ = nullptr;
  if (shared() == app.get()) shared() = nullptr;
  return status;
}
