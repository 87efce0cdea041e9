#include "UIKit/UIButton.h"

OBJC_CLASS_IMPL(UIButton, UIControl, nullptr)

UIButton::UIButton(CGRect frame)
    : UIControl(frame),
      titleLabel_(objc::make<UILabel>(CGRectMake(0, 0, frame.size.width, frame.size.height))) {
  setOpaque(false);
  titleLabel_->setFont(UIFont::systemFontOfSize(15));
  titleLabel_->setTextColor(UIColor::whiteColor());
  titleLabel_->setTextAlignment(NSTextAlignmentCenter);
}

objc::Ref<UIButton> UIButton::buttonWithType(UIButtonType type) {
  auto b = objc::make<UIButton>(CGRectZero);
  b->type_ = type;
  if (type == UIButtonTypeSystem) {
    // The system kind shows its title in the tint colour.
    b->titleColors_[UIControlStateNormal] = UIColor::colorWithRed(0, 0.478, 1, 1);
  }
  return b;
}

namespace {
// The value for a state, else the normal state's.
template <class Map>
auto lookup(const Map& map, UIControlState state) -> const typename Map::mapped_type* {
  auto it = map.find(state);
  if (it == map.end()) it = map.find(UIControlStateNormal);
  return it == map.end() ? nullptr : &it->second;
}
}  // namespace

void UIButton::setTitle(const std::string& title, UIControlState state) {
  titles_[state] = title;
}
const std::string* UIButton::titleForState(UIControlState state) const {
  return lookup(titles_, state);
}

void UIButton::setTitleColor(UIColor* color, UIControlState state) {
  if (color)
    titleColors_[state] = color;
  else
    titleColors_.erase(state);
}
UIColor* UIButton::titleColorForState(UIControlState state) const {
  auto* c = lookup(titleColors_, state);
  return c ? c->get() : nullptr;
}

void UIButton::setBackgroundImage(UIImage* image, UIControlState state) {
  if (image)
    backgroundImages_[state] = image;
  else
    backgroundImages_.erase(state);
}
UIImage* UIButton::backgroundImageForState(UIControlState state) const {
  auto* i = lookup(backgroundImages_, state);
  return i ? i->get() : nullptr;
}

void UIButton::setImage(UIImage* image, UIControlState state) {
  if (image)
    images_[state] = image;
  else
    images_.erase(state);
}
UIImage* UIButton::imageForState(UIControlState state) const {
  auto* i = lookup(images_, state);
  return i ? i->get() : nullptr;
}

std::string UIButton::currentTitle() const {
  const std::string* t = titleForState(state());
  return t ? *t : std::string();
}
UIColor* UIButton::currentTitleColor() const {
  UIColor* c = titleColorForState(state());
  return c ? c : titleLabel_->textColor();
}
UIImage* UIButton::currentBackgroundImage() const {
  return backgroundImageForState(state());
}
UIImage* UIButton::currentImage() const {
  return imageForState(state());
}

UILabel* UIButton::titleLabel() const {
  // The label follows the button's state and size whenever it is asked for.
  titleLabel_->setText(currentTitle());
  if (UIColor* c = titleColorForState(state())) titleLabel_->setTextColor(c);
  titleLabel_->setFrame(CGRectMake(0, 0, bounds().size.width, bounds().size.height));
  return titleLabel_;
}

std::optional<std::string> UIButton::displayedText() const {
  if (titles_.empty()) return std::nullopt;
  return currentTitle();
}
