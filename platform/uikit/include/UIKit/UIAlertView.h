// Modal alerts. show() returns at once; the alert is on screen above
// everything from then on. An alert shown while another is up waits in a
// queue and appears when the ones before it are dismissed. While an alert is
// showing, touches do not reach the windows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "UIKit/UIKitForward.h"
#include "objc/runtime.h"

// The alert's delegate: an objc object that also implements this interface.
class UIAlertViewDelegate {
 public:
  virtual ~UIAlertViewDelegate() = default;
  virtual void alertViewClickedButtonAtIndex(UIAlertView*, long /*buttonIndex*/) {}
  virtual void alertViewWillDismissWithButtonIndex(UIAlertView*, long /*buttonIndex*/) {}
  virtual void alertViewDidDismissWithButtonIndex(UIAlertView*, long /*buttonIndex*/) {}
};

class UIAlertView : public objc::Object {
  OBJC_CLASS(UIAlertView)
 public:
  // initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:nil.
  // An empty text stands for nil. The cancel button, if given, is button 0.
  UIAlertView(std::string title, std::string message, objc::Object* delegate,
              std::string cancelButtonTitle);

  const std::string& title() const { return title_; }
  void setTitle(const std::string& t) { title_ = t; }
  const std::string& message() const { return message_; }
  void setMessage(const std::string& m) { message_ = m; }
  // Held weakly, as on the platform.
  objc::Object* delegate() const { return delegate_.get(); }
  void setDelegate(objc::Object* d) { delegate_ = d; }

  long addButtonWithTitle(const std::string& title);
  long numberOfButtons() const { return static_cast<long>(buttons_.size()); }
  std::string buttonTitleAtIndex(long index) const;
  long cancelButtonIndex() const { return cancelIndex_; }

  // Shows the alert (or queues it behind the one showing). The alert is kept
  // alive until it is dismissed. Showing an alert that is already shown or
  // queued does nothing.
  void show();
  // On screen now (not queued).
  bool isVisible() const;
  // Closes the alert as if that button was tapped (delegate calls included);
  // the next queued alert comes up. An alert still queued just leaves the
  // queue.
  void dismissWithClickedButtonIndex(long index, bool animated);

  // --- for tests and the automation driver -----------------------------------
  // The showing alert, then the queued ones in order.
  static std::vector<UIAlertView*> alerts();
  static UIAlertView* visibleAlert();
  // Taps the cancel button (or the first button) of the showing alert;
  // false when none is showing.
  static bool dismissTopmost();
  // Drops every alert without delegate calls.
  static void removeAll();
  // Called with each alert at the moment it comes on screen (and at once
  // with the one showing): a program without a screen says it in words.
  static void setAppearanceHandler(std::function<void(UIAlertView*)> handler);

 private:
  std::string title_;
  std::string message_;
  objc::Weak<objc::Object> delegate_;
  std::vector<std::string> buttons_;
  long cancelIndex_ = -1;
};
