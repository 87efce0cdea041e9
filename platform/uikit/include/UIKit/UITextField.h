// Single-line text fields. A tap makes the field the first responder with
// the caret at the end, so typed text (from the keyboard or the automation
// driver) goes in at the end, and Return asks the delegate's
// textFieldShouldReturn:. On a desktop the field also edits as desktops do:
// a click places the caret where it lands, a double click selects the word
// (a run of non-blank characters, so a day key is one word), a triple click
// or selectAll everything; typing replaces the selection; the caret moves
// by character or to either end, with or without extending the selection.
// Offsets are byte offsets into the UTF-8 text, always on a character's
// first byte.
#pragma once

#include <algorithm>
#include <string>

#include "UIKit/UIControl.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIKitForward.h"
#include "UIKit/UILabel.h"

// The field's delegate: an objc object that also implements this interface.
// Every method has the platform's default answer.
class UITextFieldDelegate {
 public:
  virtual ~UITextFieldDelegate() = default;
  virtual bool textFieldShouldBeginEditing(UITextField*) { return true; }
  virtual void textFieldDidBeginEditing(UITextField*) {}
  virtual bool textFieldShouldEndEditing(UITextField*) { return true; }
  virtual void textFieldDidEndEditing(UITextField*) {}
  // Before text is inserted or deleted; false keeps the text as it is.
  virtual bool textFieldShouldChangeCharacters(UITextField*, const std::string& /*replacement*/) {
    return true;
  }
  virtual bool textFieldShouldClear(UITextField*) { return true; }
  virtual bool textFieldShouldReturn(UITextField*) { return true; }
};

using UITextBorderStyle = NSInteger;
enum : NSInteger {
  UITextBorderStyleNone = 0,
  UITextBorderStyleLine = 1,
  UITextBorderStyleBezel = 2,
  UITextBorderStyleRoundedRect = 3,
};

class UITextField : public UIControl, public UIKeyInput {
  OBJC_CLASS(UITextField)
 public:
  explicit UITextField(CGRect frame = CGRectZero);

  const std::string& text() const { return text_; }
  // Sets the text without asking the delegate or sending events; the caret
  // goes to the end.
  void setText(const std::string& text);
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(const std::string& p) { placeholder_ = p; }
  // The system font at 17 points unless set.
  UIFont* font() const { return font_.get(); }
  void setFont(UIFont* font);
  // Black unless set.
  UIColor* textColor() const { return textColor_.get(); }
  void setTextColor(UIColor* color);
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment a) { alignment_ = a; }
  UITextBorderStyle borderStyle() const { return borderStyle_; }
  void setBorderStyle(UITextBorderStyle s) { borderStyle_ = s; }
  bool isEditing() const { return isFirstResponder(); }

  // Held weakly, as on the platform: the delegate usually owns the field, and
  // a strong reference would keep both alive for ever. An object that does
  // not implement UITextFieldDelegate gets the default answers.
  objc::Object* delegate() const { return delegate_.get(); }
  void setDelegate(objc::Object* delegate) { delegate_ = delegate; }

  bool canBecomeFirstResponder() const override { return isEnabled(); }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;

  // UIKeyInput. Text replaces the selection, or goes in at the caret.
  bool hasText() const override { return !text_.empty(); }
  void insertText(const std::string& text) override;
  // Removes the selection, else the character before the caret (a whole
  // UTF-8 sequence).
  void deleteBackward() override;
  // Removes the selection, else the character after the caret.
  void deleteForward();

  // --- caret and selection ---------------------------------------------------
  // The selection runs from the anchor to the caret; empty when they meet.
  size_t caret() const { return caret_; }
  size_t selectionStart() const { return std::min(anchor_, caret_); }
  size_t selectionEnd() const { return std::max(anchor_, caret_); }
  std::string selectedText() const;
  // Offsets are brought onto the text and onto a character's start.
  void setSelection(size_t anchor, size_t caret);
  void selectAll() { setSelection(0, text_.size()); }
  // The run of non-blank characters at offset (the blanks there when it
  // falls on blanks).
  void selectWordAt(size_t offset);
  enum class CaretMove { Left, Right, Home, End };
  // Moves the caret; extending keeps the anchor (Shift), else a selection
  // collapses to its side for Left and Right, as desktops do.
  void moveCaret(CaretMove move, bool extend);
  // The offset of the character boundary nearest to x (field points).
  size_t offsetAtX(double x) const;
  // A mouse click at point (field points) on a field that is the first
  // responder: 1 places the caret (extend: moves it, keeping the anchor),
  // 2 selects the word, 3 or more all.
  void clickAt(CGPoint point, int clickCount, bool extend);
  // textFieldShouldReturn:, then (when it answers true) the
  // editing-did-end-on-exit event.
  void insertReturn() override;

  void touchesEnded(UITouch* touch, UIEvent* event) override;
  std::optional<std::string> displayedText() const override { return text_; }

  void drawContent(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  UITextFieldDelegate* typedDelegate() const;
  // The box the text is drawn in, and its style.
  CGRect textBox(CGRect bounds) const;
  // Replaces the selection with text when the delegate agrees.
  void replaceSelection(const std::string& text);
  std::string text_;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  std::string placeholder_;
  objc::Ref<UIFont> font_;
  objc::Ref<UIColor> textColor_;
  NSTextAlignment alignment_ = NSTextAlignmentLeft;
  UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
  objc::Weak<objc::Object> delegate_;
};
