// Single-line text fields. A tap makes the field the first responder; typed
// text (from the keyboard or the automation driver) goes in at the end, and
// Return asks the delegate's textFieldShouldReturn:.
#pragma once

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
  // Sets the text without asking the delegate or sending events.
  void setText(const std::string& text) { text_ = text; }
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

  // UIKeyInput. Text goes in at the end of the field.
  bool hasText() const override { return !text_.empty(); }
  void insertText(const std::string& text) override;
  // Removes the last character (a whole UTF-8 sequence).
  void deleteBackward() override;
  // textFieldShouldReturn:, then (when it answers true) the
  // editing-did-end-on-exit event.
  void insertReturn() override;

  void touchesEnded(UITouch* touch, UIEvent* event) override;
  std::optional<std::string> displayedText() const override { return text_; }

  void drawContent(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  UITextFieldDelegate* typedDelegate() const;
  std::string text_;
  std::string placeholder_;
  objc::Ref<UIFont> font_;
  objc::Ref<UIColor> textColor_;
  NSTextAlignment alignment_ = NSTextAlignmentLeft;
  UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
  objc::Weak<objc::Object> delegate_;
};
