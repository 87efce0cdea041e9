#include "UIKit/UITextField.h"

#include <algorithm>
#include <cmath>

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
  anchor_ = caret_ = text_.size();
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

namespace {
bool isContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
// The start of the character before / after offset.
size_t previousBoundary(const std::string& t, size_t offset) {
  if (offset == 0) return 0;
  size_t i = offset - 1;
  while (i > 0 && isContinuation(t[i])) --i;
  return i;
}
size_t nextBoundary(const std::string& t, size_t offset) {
  if (offset >= t.size()) return t.size();
  size_t i = offset + 1;
  while (i < t.size() && isContinuation(t[i])) ++i;
  return i;
}
// Text is measured without a screen: one small context for the process.
CGContext& measuringContext() {
  static auto* context = new CGContext(1, 1, 1);
  return *context;
}
}  // namespace

void UITextField::setText(const std::string& text) {
  text_ = text;
  anchor_ = caret_ = text_.size();
}

std::string UITextField::selectedText() const {
  return text_.substr(selectionStart(), selectionEnd() - selectionStart());
}

void UITextField::setSelection(size_t anchor, size_t caret) {
  auto onText = [this](size_t offset) {
    offset = std::min(offset, text_.size());
    while (offset > 0 && offset < text_.size() && isContinuation(text_[offset])) --offset;
    return offset;
  };
  anchor_ = onText(anchor);
  caret_ = onText(caret);
}

void UITextField::selectWordAt(size_t offset) {
  offset = std::min(offset, text_.size());
  if (text_.empty()) return setSelection(0, 0);
  // At the very end the word is the one before.
  size_t probe = offset == text_.size() ? previousBoundary(text_, offset) : offset;
  bool blank = isBlank(text_[probe]);
  size_t start = probe, end = probe;
  while (start > 0 && isBlank(text_[start - 1]) == blank) --start;
  while (end < text_.size() && isBlank(text_[end]) == blank) ++end;
  setSelection(start, end);
}

void UITextField::moveCaret(CaretMove move, bool extend) {
  size_t to = caret_;
  bool collapse = !extend && anchor_ != caret_;
  switch (move) {
    case CaretMove::Left:
      to = collapse ? selectionStart() : previousBoundary(text_, caret_);
      break;
    case CaretMove::Right:
      to = collapse ? selectionEnd() : nextBoundary(text_, caret_);
      break;
    case CaretMove::Home:
      to = 0;
      break;
    case CaretMove::End:
      to = text_.size();
      break;
  }
  setSelection(extend ? anchor_ : to, to);
}

CGRect UITextField::textBox(CGRect bounds) const {
  if (borderStyle_ == UITextBorderStyleRoundedRect) return CGRectInset(bounds, 7, 0);
  if (borderStyle_ != UITextBorderStyleNone) return CGRectInset(bounds, 4, 0);
  return bounds;
}

size_t UITextField::offsetAtX(double x) const {
  CGTextStyle style = UIDrawing::textStyleFor(font_.get(), CGColorOf(textColor_.get()));
  CGRect box = textBox(bounds());
  CGContext& m = measuringContext();
  double width = m.measureText(text_, style).width;
  double left = box.origin.x;
  if (alignment_ == NSTextAlignmentCenter)
    left += (box.size.width - width) / 2;
  else if (alignment_ == NSTextAlignmentRight)
    left += box.size.width - width;
  // The boundary whose x is nearest.
  size_t best = 0;
  double bestDistance = std::fabs(x - left);
  for (size_t i = nextBoundary(text_, 0); i <= text_.size() && i > 0;) {
    double at = left + m.measureText(text_.substr(0, i), style).width;
    double distance = std::fabs(x - at);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
    if (i == text_.size()) break;
    i = nextBoundary(text_, i);
  }
  return best;
}

void UITextField::clickAt(CGPoint point, int clickCount, bool extend) {
  if (!isFirstResponder()) return;
  if (clickCount >= 3) return selectAll();
  size_t at = offsetAtX(point.x);
  if (clickCount == 2) return selectWordAt(at);
  setSelection(extend ? anchor_ : at, at);
}

void UITextField::replaceSelection(const std::string& text) {
  objc::Ref<UITextField> keep(this);
  if (auto* d = typedDelegate(); d && !d->textFieldShouldChangeCharacters(this, text)) return;
  size_t start = selectionStart(), end = selectionEnd();
  // The delegate may have changed the text; the selection is kept on it.
  start = std::min(start, text_.size());
  end = std::min(end, text_.size());
  text_.replace(start, end - start, text);
  anchor_ = caret_ = start + text.size();
  sendActionsForControlEvents(UIControlEventEditingChanged);
}

void UITextField::insertText(const std::string& text) {
  if (text.empty()) return;
  replaceSelection(text);
}

void UITextField::deleteBackward() {
  if (anchor_ == caret_) {
    if (caret_ == 0) return;
    anchor_ = previousBoundary(text_, caret_);
  }
  replaceSelection("");
}

void UITextField::deleteForward() {
  if (anchor_ == caret_) {
    if (caret_ >= text_.size()) return;
    anchor_ = nextBoundary(text_, caret_);
  }
  replaceSelection("");
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
  if (borderStyle_ == UITextBorderStyleRoundedRect) {
    context.fillRoundedRect(bounds, 5, {1, 1, 1, 1});
    context.strokeRoundedRect(bounds, 5, 0.5, UIDrawing::kSeparatorGrey);
  } else if (borderStyle_ != UITextBorderStyleNone) {
    context.strokeRoundedRect(bounds, 0, 1, {0, 0, 0, 1});
  }
  CGRect box = textBox(bounds);
  bool placeholder = text_.empty();
  const std::string& text = placeholder ? placeholder_ : text_;
  CGTextStyle style = UIDrawing::textStyleFor(font_.get(), CGColorOf(textColor_.get()));
  if (placeholder) style.color = UIDrawing::kPlaceholderGrey;
  style.alignment = UIDrawing::alignmentOf(alignment_);
  double width = placeholder ? 0 : context.measureText(text, style).width;
  double left = box.origin.x;
  if (style.alignment == CGTextAlignment::Center)
    left += (box.size.width - width) / 2;
  else if (style.alignment == CGTextAlignment::Right)
    left += box.size.width - width;
  double h = style.pointSize * 1.2;
  double y = box.origin.y + (box.size.height - h) / 2;
  auto xAt = [&](size_t offset) {
    double at = left + context.measureText(text_.substr(0, offset), style).width;
    return std::clamp(at, double(box.origin.x), double(box.origin.x + box.size.width));
  };
  bool editing = isFirstResponder();
  if (editing && anchor_ != caret_) {
    double from = xAt(selectionStart()), to = xAt(selectionEnd());
    context.fillRect(CGRectMake(from, y, to - from, h), UIDrawing::kSelectionBlue);
  }
  context.drawText(text, style, box);
  if (!editing || anchor_ != caret_) return;
  double x = placeholder ? left : xAt(caret_);
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
  d.number(static_cast<double>(anchor_));
  d.number(static_cast<double>(caret_));
}
