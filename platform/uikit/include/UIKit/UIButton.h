// Buttons of the custom kind: a title, a title colour and a background image
// per control state (the normal state serves any state without its own), and
// a title label whose font can be set. The title label is the button's own
// (not one of its subviews); renderers read it through titleLabel().
#pragma once

#include <map>
#include <string>

#include "UIKit/UIControl.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"

using UIButtonType = NSInteger;
enum : NSInteger {
  UIButtonTypeCustom = 0,
  UIButtonTypeSystem = 1,
  UIButtonTypeRoundedRect = UIButtonTypeSystem,
};

class UIButton : public UIControl {
  OBJC_CLASS(UIButton)
 public:
  // initWithFrame: a custom button.
  explicit UIButton(CGRect frame = CGRectZero);
  static objc::Ref<UIButton> buttonWithType(UIButtonType type);

  UIButtonType buttonType() const { return type_; }

  void setTitle(const std::string& title, UIControlState state);
  // Null title: the state has none (and falls back to the normal state).
  const std::string* titleForState(UIControlState state) const;
  void setTitleColor(UIColor* color, UIControlState state);
  UIColor* titleColorForState(UIControlState state) const;
  void setBackgroundImage(UIImage* image, UIControlState state);
  UIImage* backgroundImageForState(UIControlState state) const;
  void setImage(UIImage* image, UIControlState state);
  UIImage* imageForState(UIControlState state) const;

  // What the button shows in its current state.
  std::string currentTitle() const;
  UIColor* currentTitleColor() const;
  UIImage* currentBackgroundImage() const;
  UIImage* currentImage() const;

  // Holds the current title and colour; its font is the title's font.
  UILabel* titleLabel() const;

  std::optional<std::string> displayedText() const override;

  void drawContent(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  template <class T>
  using PerState = std::map<UIControlState, T>;
  UIButtonType type_ = UIButtonTypeCustom;
  PerState<std::string> titles_;
  PerState<objc::Ref<UIColor>> titleColors_;
  PerState<objc::Ref<UIImage>> backgroundImages_;
  PerState<objc::Ref<UIImage>> images_;
  objc::Ref<UILabel> titleLabel_;
};
