// The application object, its delegate and the application's main function.
#pragma once

#include <functional>
#include <string>

#include "UIKit/UIKitForward.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIWindow.h"

// The application's delegate: an objc object (usually a UIResponder) that
// also implements this interface. Every method has the platform's default.
class UIApplicationDelegate {
 public:
  virtual ~UIApplicationDelegate() = default;
  virtual bool applicationDidFinishLaunchingWithOptions(UIApplication*, objc::Object* /*options*/) {
    return true;
  }
  virtual void applicationWillResignActive(UIApplication*) {}
  virtual void applicationDidEnterBackground(UIApplication*) {}
  virtual void applicationWillEnterForeground(UIApplication*) {}
  virtual void applicationDidBecomeActive(UIApplication*) {}
  virtual void applicationWillTerminate(UIApplication*) {}
  virtual void applicationDidReceiveMemoryWarning(UIApplication*) {}
  // The delegate's window property: the main interface's window is stored
  // here at launch. A delegate without the property keeps the defaults, and
  // the application holds the window instead.
  virtual UIWindow* window() const { return nullptr; }
  virtual void setWindow(UIWindow*) {}
};

enum class UIApplicationState { Active, Inactive, Background };

class UIApplication : public UIResponder {
  OBJC_CLASS(UIApplication)
 public:
  UIApplication();
  ~UIApplication() override;

  // The running application (made by UIApplicationMain), or null.
  static UIApplication* sharedApplication();

  // Owned by the application for its whole life (the platform's delegate
  // property is weak, but UIApplicationMain keeps the object it made).
  objc::Object* delegate() const { return delegate_.get(); }
  UIApplicationDelegate* typedDelegate() const;
  void setDelegate(objc::Object* delegate);

  UIWindow* keyWindow() const { return UIWindow::keyWindow(); }
  std::vector<UIWindow*> windows() const { return UIWindow::allWindows(); }
  UIApplicationState applicationState() const { return state_; }

  // Sends action to target (null target: up the responder chain from
  // sender). True when some object took it.
  bool sendAction(objc::SEL action, objc::Object* target, objc::Object* sender);

  // Tells the delegate and the key window's view controllers.
  void simulateMemoryWarning();

  UIResponder* nextResponder() const override;

 private:
  friend int UIApplicationMain(int, char**, const char*, const char*);
  objc::Ref<objc::Object> delegate_;
  objc::Ref<UIWindow> interfaceWindow_;
  UIApplicationState state_ = UIApplicationState::Inactive;
};

// The main interface set in code: the class name of the view controller
// that the application's window gets as its root at launch. Empty (the
// default): the bundle declares it, or there is none (see UIApplicationMain).
void UIApplicationSetMainInterface(const std::string& rootViewControllerClassName);
const std::string& UIApplicationMainInterface();

// What runs the application once it has launched: returns
// UIApplicationMain's status. Empty: the main run loop runs until stopped.
void UIApplicationSetRunner(std::function<int()> runner);

// What UIApplicationMain returns.
enum : int {
  UIApplicationExitSuccess = 0,
  // The delegate class (or the principal class) cannot be made, or an
  // automation script stopped at a bad command.
  UIApplicationExitFailure = 1,
  // The main interface is declared but cannot be used: its file is
  // missing or unreadable, or names a class nobody can make.
  UIApplicationExitBadMainInterface = 3,
};

// Starts the application: makes the application object (principalClassName,
// a UIApplication subclass, or UIApplication when null), the delegate from
// delegateClassName (both by name, see UIClassFactory.h), the main
// interface's window with its root view controller, then calls
// applicationDidFinishLaunchingWithOptions, makes the window key and
// visible, sends "applicationDidFinishLaunching:" to the application object
// when its class answers it, and applicationDidBecomeActive.
//
// The main interface: the class set with UIApplicationSetMainInterface,
// else the one the main bundle (Foundation/NSBundle.h) declares. Its
// Info.plist key "UIMainStoryboardFile" names an interface file
// "<name>.storyboard.plist" in the bundle, a property-list dictionary whose
// "UIInitialViewController" is the root view controller's class name. No
// Info.plist, or no such key: no window is made. A broken Info.plist or
// interface file, or a class that cannot be made, is reported on standard
// error and UIApplicationMain returns UIApplicationExitBadMainInterface.
//
// Then it hands over to the runner set with UIApplicationSetRunner (the
// desktop host, UIKitHost/UIApplicationHost.h: a window, an automation
// script or headless) and returns its status; without a runner it runs the
// main run loop until the loop is stopped. Before returning it tells the
// delegate applicationWillTerminate and releases the application.
int UIApplicationMain(int argc, char** argv, const char* principalClassName,
                      const char* delegateClassName);
