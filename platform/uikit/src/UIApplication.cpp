#include "UIKit/UIApplication.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "Foundation/RunLoop.h"
#include "UIKit/SDLWindowHost.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIAutomation.h"
#include "UIKit/UIClassFactory.h"
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
  objc::Ref<objc::Object> delegate = UICreateInstanceOfClassNamed(delegateClassName);
  if (!delegate) {
    const char* name = delegateClassName ? delegateClassName : "(null)";
    if (delegateClassName && objc::objc_getClass(delegateClassName))
      std::fprintf(stderr, "UIApplicationMain: class \"%s\" has no UIKIT_CLASS_FACTORY\n", name);
    else
      std::fprintf(stderr, "UIApplicationMain: no class named \"%s\"\n", name);
    return 1;
  }
  objc::Ref<UIApplication> app;
  if (principalClassName) {
    objc::Ref<objc::Object> object = UICreateInstanceOfClassNamed(principalClassName);
    app = dynamic_cast<UIApplication*>(object.get());
    if (!app) {
      std::fprintf(stderr, "UIApplicationMain: \"%s\" is not an application class\n",
                   principalClassName);
      return 1;
    }
  } else {
    app = objc::make<UIApplication>();
  }
  shared() = app;
  app->setDelegate(delegate);
  UIApplicationDelegate* typed = app->typedDelegate();

  // The main interface: a window with its root view controller.
  if (!mainInterface().empty()) {
    objc::Ref<objc::Object> object = UICreateInstanceOfClassNamed(mainInterface().c_str());
    auto* vc = dynamic_cast<UIViewController*>(object.get());
    if (!vc) {
      std::fprintf(stderr, "UIApplicationMain: cannot make the root view controller \"%s\"\n",
                   mainInterface().c_str());
      return 1;
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

  int status = 0;
  ns::RunLoop& loop = ns::RunLoop::main();
  if (const char* script = std::getenv("CORVANE_AUTOMATION"); script && *script) {
    if (!loop.isVirtual()) loop.useVirtualClock(automationStartTime());
    loop.runUntil(loop.now());
    std::string message;
    if (UIAutomation::runScriptFile(script, &message) == UIAutomation::Status::Error) {
      std::fprintf(stderr, "automation: %s\n", message.c_str());
      status = 1;
    }
  } else if (SDLWindowHost::wantsWindow()) {
    std::string error;
    if (!SDLWindowHost::runMainLoop(&error)) {
      std::fprintf(stderr, "UIApplicationMain: no window (%s); running without one\n",
                   error.c_str());
      loop.run();
    }
  } else {
    loop.run();
  }

  if (typed) typed->applicationWillTerminate(app);
  app->state_ = UIApplicationState::Background;
  UIAlertView::removeAll();
  app->interfaceWindow_ = nullptr;
  app->delegate_ = nullptr;
  if (shared() == app.get()) shared() = nullptr;
  return status;
}
