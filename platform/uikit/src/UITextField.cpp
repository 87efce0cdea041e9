#include "UIKit/UITextField.h"

OBJC_CLASS_IMPL(UITextField, UIControl, nullptr)

UITextField::UITextField(CGRect frame)
    : UIControl(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {
  setOpaque(false);
}

void UITextField::setFont(UIFont* font) {
  font_ = font ? objc::Ref<UIFont>(font) : UIFont::systemFontOfSize(17);
}

void UITextField::setTextColor(UIColor* color) {
  textColor_ = color ? objc::Ref<UIColor>(color) : UIColor::blackColor();
}

UITextFieldDelegate* UITextField::typedDelegate() const {
  return dynamic_cast<UITextFieldDelegate*>(delegate_.get());
}

bool UITextField::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  objc::Ref<UITextField> keep(this);
  objc::Ref<objc::Object> keepDelegate(delegate_.get());
  if (auto* d = typedDelegate(); d && !d->textFieldShouldBeginEditing(this)) return false;
  if (!UIControl::becomeFirstResponder()) return false;
  if (auto* d = typedDelegate()) d->textFieldDidBeginEditing(this);
  sendActionsForControlEvents(UIControlEventEditingDidBegin);
  return true;
}

bool UITextField::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  objc::Ref<UITextField> keep(this);
  objc::Ref<objc::Object> keepDelegate(delegate_.get());
  if (auto* d = typedDelegate(); d && !d->textFieldShouldEndEditing(this)) return false;
  UIControl::resignFirstResponder();
  if (auto* d = typedDelegate()) d->textFieldDidEndEditing(this);
  sendActionsForControlEvents(UIControlEventEditingDidEnd);
  return true;
}

void UITextField::insertText(const std::string& text) {
  if (text.empty()) return;
  objc::Ref<UITextField> keep(this);
  if (auto* d = typedDelegate(); d && !d->textFieldShouldChangeCharacters(this, text)) return;
  text_ += text;
  sendActionsForControlEvents(UIControlEventEditingChanged);
}

void UITextField::deleteBackward() {
  if (text_.empty()) return;
  objc::Ref<UITextField> keep(this);
  if (auto* d = typedDelegate(); d && !d->textFieldShouldChangeCharacters(this, "")) return;
  // Back over the continuation bytes to the start of the last character.
  size_t end = text_.size() - 1;
  while (end > 0 && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) --end;
  text_.erase(end);
  sendActionsForControlEvents(UIControlEventEditingChanged);
}

void UITextField::insertReturn() {
  objc::Ref<UITextField> keep(this);
  objc::Ref<objc::Object> keepDelegate(delegate_.get());
  auto* d = typedDelegate();
  if (d && !d->textFieldShouldReturn(this)) return;
  // As on the platform, a field with an action for end-on-exit closes the
  // keyboard after sending it.
  bool exits = allControlEvents() & UIControlEventEditingDidEndOnExit;
  sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
  if (exits) resignFirstResponder();
}

void UITextField::touchesEnded(UITouch* touch, UIEvent* event) {
  objc::Ref<UITextField> keep(this);
  bool inside = isEnabled() && pointInside(touch->locationInView(this), event);
  UIControl::touchesEnded(touch, event);
  if (inside) becomeFirstResponder();
}
