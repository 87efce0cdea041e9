// View controllers. The view is made on first use: loadView (a plain view
// covering the screen, by default), then viewDidLoad. The life-cycle calls
// are dispatched by selector ("loadView", "viewDidLoad",
// "viewWillLayoutSubviews", "viewDidLayoutSubviews",
// "didReceiveMemoryWarning", "viewWillAppear:", "viewDidAppear:"), so a hook
// installed on a controller class with class_replaceMethod sees them; each
// selector's implementation on UIViewController calls the virtual method of
// the same name.
#pragma once

#include <string>

#include "UIKit/UIResponder.h"
#include "UIKit/UIView.h"

class UIViewController : public UIResponder {
  OBJC_CLASS(UIViewController)
 public:
  UIViewController();
  ~UIViewController() override;

  // Loads the view if needed.
  UIView* view();
  bool isViewLoaded() const { return view_; }
  UIView* viewIfLoaded() const { return view_.get(); }
  // Replaces the view (null unloads it).
  void setView(UIView* view);
  void loadViewIfNeeded() { view(); }

  const std::string& title() const { return title_; }
  void setTitle(const std::string& t) { title_ = t; }

  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewWillAppear(bool /*animated*/) {}
  virtual void viewDidAppear(bool /*animated*/) {}
  virtual void viewWillLayoutSubviews() {}
  virtual void viewDidLayoutSubviews() {}
  virtual void didReceiveMemoryWarning() {}

  UIResponder* nextResponder() const override;

 private:
  objc::Ref<UIView> view_;
  std::string title_;
};
