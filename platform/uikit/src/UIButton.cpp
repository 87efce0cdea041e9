#include "UIKit/UIButton.h"

#include "UIKit/UIDrawing.h"

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

namespace {
// Sets an object for a state; nil removes it, so the normal state's shows.
template <class Map, class T>
void storeForState(Map& map, T* object, UIControlState state) {
  if (object)
    map[state] = object;
  else
    map.erase(state);
}
template <class Map>
auto objectForState(const Map& map, UIControlState state) {
  auto* found = lookup(map, state);
  return found ? found->get() : nullptr;
}
}  // namespace

void UIButton::setTitleColor(UIColor* color, UIControlState state) {
  storeForState(titleColors_, color, state);
}
UIColor* UIButton::titleColorForState(UIControlState state) const {
  return objectForState(titleColors_, state);
}

void UIButton::setBackgroundImage(UIImage* image, UIControlState state) {
  storeForState(backgroundImages_, image, state);
}
UIImage* UIButton::backgroundImageForState(UIControlState state) const {
  return objectForState(backgroundImages_, state);
}

void UIButton::setImage(UIImage* image, UIControlState state) {
  storeForState(images_, image, state);
}
UIImage* UIButton::imageForState(UIControlState state) const {
  return objectForState(images_, state);
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

void UIButton::drawContent(UIDrawing& drawing, CGRect bounds) const {
  CGContext& context = drawing.context();
  double darken = isHighlighted() ? 0.3 : 0;
  if (const CGImage* image = drawing.imageFor(currentBackgroundImage()))
    context.drawImage(*image, bounds, darken);
  if (UIImage* picture = currentImage())
    if (const CGImage* image = drawing.imageFor(picture))
      context.drawImage(
          *image, UIDrawing::placeImage(picture->size(), bounds, UIViewContentModeCenter), darken);
  std::string title = currentTitle();
  if (title.empty()) return;
  CGTextStyle style = UIDrawing::textStyleFor(titleLabel()->font(), CGColorOf(currentTitleColor()));
  switch (contentHorizontalAlignment()) {
    case UIControlContentHorizontalAlignment::Left:
      style.alignment = CGTextAlignment::Left;
      break;
    case UIControlContentHorizontalAlignment::Right:
      style.alignment = CGTextAlignment::Right;
      break;
    default:
      style.alignment = CGTextAlignment::Center;
  }
  if (isHighlighted() && type_ == UIButtonTypeSystem)
    style.color = UIDrawing::withAlpha(style.color, 0.2);
  context.drawText(title, style, bounds);
}

void UIButton::digestContent(UIDigest& d) const {
  d.text(currentTitle());
  d.color(CGColorOf(currentTitleColor()));
  d.pointer(currentBackgroundImage());
  d.pointer(currentImage());
  d.number(isHighlighted());
  d.font(titleLabel()->font());
}
