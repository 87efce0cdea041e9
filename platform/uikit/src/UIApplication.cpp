#include "UIKit/UIApplication.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "Foundation/NSBundle.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "UIKit/UIAlertView.h"
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
std::function<int()>& runner() {
  static auto* run = new std::function<int()>;
  return *run;
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

}  // namespace

void UIApplicationSetMainInterface(const std::string& name) {
  mainInterface() = name;
}
const std::string& UIApplicationMainInterface() {
  return mainInterface();
}

void UIApplicationSetRunner(std::function<int()> run) {
  runner() = std::move(run);
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

  int status = UIApplicationExitSuccess;
  if (runner()) {
    status = runner()();
  } else {
    ns::RunLoop::main().run();
  }

  if (typed) typed->applicationWillTerminate(app);
  app->state_ = UIApplicationState::Background;
  UIAlertView::removeAll();
  app->interfaceWindow_ = nullptr;
  app->delegate_ = nullptr;
  if (shared() == app.get()) shared() = nullptr;
  return status;
}
