#include "UIKit/UITextField.h"

#include <algorithm>

#include "UIKit/UIDrawing.h"

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

void UITextField::drawContent(UIDrawing& drawing, CGRect bounds) const {
  CGContext& context = drawing.context();
  CGRect box = bounds;
  if (borderStyle_ == UITextBorderStyleRoundedRect) {
    context.fillRoundedRect(bounds, 5, {1, 1, 1, 1});
    context.strokeRoundedRect(bounds, 5, 0.5, UIDrawing::kSeparatorGrey);
    box = CGRectInset(bounds, 7, 0);
  } else if (borderStyle_ != UITextBorderStyleNone) {
    context.strokeRoundedRect(bounds, 0, 1, {0, 0, 0, 1});
    box = CGRectInset(bounds, 4, 0);
  }
  bool placeholder = text_.empty();
  const std::string& text = placeholder ? placeholder_ : text_;
  CGTextStyle style = UIDrawing::textStyleFor(font_.get(), CGColorOf(textColor_.get()));
  if (placeholder) style.color = UIDrawing::kPlaceholderGrey;
  style.alignment = UIDrawing::alignmentOf(alignment_);
  context.drawText(text, style, box);
  if (!isFirstResponder()) return;
  // The caret after the last character.
  double width = placeholder ? 0 : context.measureText(text, style).width;
  width = std::min<double>(width, box.size.width);
  double x = box.origin.x;
  if (style.alignment == CGTextAlignment::Center)
    x += (box.size.width + width) / 2;
  else if (style.alignment == CGTextAlignment::Right)
    x += box.size.width;
  else
    x += width;
  double h = style.pointSize * 1.2;
  double y = box.origin.y + (box.size.height - h) / 2;
  x = std::min<double>(x + 1, box.origin.x + box.size.width - 2);
  context.fillRect(CGRectMake(x, y, 2, h), UIDrawing::kCaretBlue);
}

void UITextField::digestContent(UIDigest& d) const {
  d.text(text_);
  d.text(placeholder_);
  d.font(font_.get());
  d.color(CGColorOf(textColor_.get()));
  d.number(static_cast<double>(alignment_));
  d.number(static_cast<double>(borderStyle_));
  d.number(isFirstResponder());
}
