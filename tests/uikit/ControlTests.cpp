#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

objc::id recordPressed(objc::id self, objc::SEL cmd, objc::id sender) {
  auto* p = static_cast<ActionProbe*>(self);
  p->calls.push_back(objc::sel_getName(cmd));
  p->senders.push_back(sender);
  return nullptr;
}

void setupActionProbe(objc::Class* cls) {
  for (const char* name : {"pressed:", "tapped:", "panned:", "LaunchCorvane"})
    cls->addMethod(objc::sel_registerName(name), recordPressed, "v@:@");
}

class Controls : public UIKitTest {
 protected:
  Controls() {
    window->makeKeyAndVisible();
    window->addSubview(content);
  }
  objc::Ref<UIWindow> window = objc::make<UIWindow>();
  objc::Ref<UIView> content = objc::make<UIView>(CGRectMake(0, 0, 320, 568));
  objc::Ref<ActionProbe> probe = objc::make<ActionProbe>();
};

TEST_F(Controls, ButtonFiresOnLiftInsideThroughTheRuntime) {
  auto* button = addView<UIButton>(content, CGRectMake(0, 50, 300, 50));
  button->addTarget(probe, "LaunchCorvane", UIControlEventTouchUpInside);
  button->setTitle("Tap to Launch App", UIControlStateNormal);

  window->touchDown(CGPointMake(150, 75));
  EXPECT_TRUE(button->isHighlighted());
  EXPECT_EQ(button->displayedText(), "Tap to Launch App");  // the normal state's title
  EXPECT_TRUE(probe->calls.empty());
  window->touchUp(CGPointMake(150, 75));
  EXPECT_EQ(probe->calls, std::vector<std::string>{"LaunchCorvane"});
  EXPECT_EQ(probe->senders.back(), button);
  EXPECT_FALSE(button->isHighlighted());

  // The slack around a button: a lift 60 points below still counts, 80 does not.
  window->touchDown(CGPointMake(150, 75));
  window->touchMove(CGPointMake(150, 160));
  window->touchUp(CGPointMake(150, 160));
  EXPECT_EQ(probe->calls.size(), 2u);
  window->touchDown(CGPointMake(150, 75));
  window->touchUp(CGPointMake(150, 181));
  EXPECT_EQ(probe->calls.size(), 2u);
}

TEST_F(Controls, GoneTargetsAndDisabledControlsDoNothing) {
  auto* button = addView<UIButton>(content, CGRectMake(0, 0, 100, 100));
  button->addTarget(objc::make<ActionProbe>(), "pressed:", UIControlEventTouchUpInside);
  window->tap(CGPointMake(10, 10));  // the target is not owned and gone
  EXPECT_EQ(button->targetCount(), 1u);
  button->addTarget(probe, "pressed:", UIControlEventAllTouchEvents);
  button->setEnabled(false);
  window->tap(CGPointMake(10, 10));
  EXPECT_TRUE(probe->calls.empty());
}

TEST_F(Controls, TapRecogniserFiresOnALiftWithoutMovingFar) {
  UIView* card = addView(content, CGRectMake(0, 0, 200, 200));
  auto tap = objc::make<UITapGestureRecognizer>(probe, "tapped:");
  card->addGestureRecognizer(tap);
  window->touchDown(CGPointMake(50, 50));
  window->touchMove(CGPointMake(55, 55));
  window->touchUp(CGPointMake(55, 55));
  EXPECT_EQ(probe->calls, std::vector<std::string>{"tapped:"});
  EXPECT_EQ(probe->senders.back(), tap.get());
  EXPECT_EQ(tap->state(), UIGestureRecognizerState::Possible);  // reset for the next touch

  window->touchDown(CGPointMake(50, 50));
  window->touchMove(CGPointMake(80, 50));
  window->touchUp(CGPointMake(50, 50));  // moved too far on the way
  EXPECT_EQ(probe->calls.size(), 1u);

  // A tap on a label (no interaction) inside the card reaches the card.
  addView<UILabel>(card, CGRectMake(0, 0, 100, 100));
  window->tap(CGPointMake(10, 10));
  EXPECT_EQ(probe->calls.size(), 2u);
}

TEST_F(Controls, AButtonKeepsItsTapFromAnAncestorsRecogniser) {
  UIView* card = addView(content, CGRectMake(0, 0, 200, 200));
  card->addGestureRecognizer(objc::make<UITapGestureRecognizer>(probe, "tapped:"));
  addView<UIButton>(card, CGRectMake(0, 0, 100, 100))
      ->addTarget(probe, "pressed:", UIControlEventTouchUpInside);
  window->tap(CGPointMake(10, 10));
  EXPECT_EQ(probe->calls, std::vector<std::string>{"pressed:"});
  window->tap(CGPointMake(150, 150));
  EXPECT_EQ(probe->calls, (std::vector<std::string>{"pressed:", "tapped:"}));
}

// A delegate that owns the field it is the delegate of, as the carousel does.
class FieldOwner : public UIView, public UITextFieldDelegate {
  OBJC_CLASS(FieldOwner)
 public:
  FieldOwner() : UIView(CGRectMake(0, 0, 320, 100)) {
    field = objc::make<UITextField>(CGRectMake(0, 0, 200, 50));
    field->setDelegate(this);
    addSubview(field);
  }
  bool textFieldShouldReturn(UITextField* f) override {
    returned.push_back(f->text());
    f->resignFirstResponder();
    return true;
  }
  void textFieldDidBeginEditing(UITextField*) override { ++began; }
  objc::Ref<UITextField> field;
  std::vector<std::string> returned;
  int began = 0;
};

TEST_F(Controls, TextFieldTypingAndReturn) {
  auto owner = objc::make<FieldOwner>();
  content->addSubview(owner);
  UITextField* field = owner->field;
  field->setText("2015-03-0");
  window->tap(CGPointMake(20, 20));
  EXPECT_TRUE(field->isFirstResponder());
  EXPECT_EQ(owner->began, 1);
  field->insertText("5");
  EXPECT_EQ(field->text(), "2015-03-05");
  field->deleteBackward();
  field->insertText("日");
  field->deleteBackward();  // a whole UTF-8 character
  EXPECT_EQ(field->text(), "2015-03-0");
  field->insertText("4");
  field->insertReturn();
  EXPECT_EQ(owner->returned, std::vector<std::string>{"2015-03-04"});
  EXPECT_FALSE(field->isFirstResponder());
  EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);

  // The delegate is not owned: the owner and its field go away together.
  objc::Weak<UITextField> weakField = field;
  owner->removeFromSuperview();
  owner = nullptr;
  EXPECT_FALSE(weakField);
}

// Desktop editing: caret, selection, words, and what typing does to them.
TEST_F(Controls, TextFieldSelectsAndEditsAsOnADesktop) {
  auto owner = objc::make<FieldOwner>();
  content->addSubview(owner);
  UITextField* field = owner->field;
  field->setText("2015-03-05 東京");
  window->tap(CGPointMake(20, 20));  // a touch: the caret at the end
  EXPECT_EQ(field->caret(), field->text().size());

  field->selectWordAt(3);
  EXPECT_EQ(field->selectedText(), "2015-03-05");
  field->insertText("2015-03-04");  // typing replaces the selection
  EXPECT_EQ(field->text(), "2015-03-04 東京");
  EXPECT_EQ(field->caret(), 10u);
  field->selectWordAt(field->text().size());
  EXPECT_EQ(field->selectedText(), "東京");

  using Move = UITextField::CaretMove;
  field->moveCaret(Move::End, false);
  field->moveCaret(Move::Left, true);  // Shift+Left: one whole character
  EXPECT_EQ(field->selectedText(), "京");
  field->moveCaret(Move::Left, false);  // collapses to the selection's start
  EXPECT_EQ(field->selectedText(), "");
  field->deleteForward();
  field->deleteBackward();
  EXPECT_EQ(field->text(), "2015-03-04 ");
  field->moveCaret(Move::Home, false);
  field->moveCaret(Move::Right, false);
  field->moveCaret(Move::End, true);
  EXPECT_EQ(field->selectedText(), "015-03-04 ");
  field->deleteBackward();
  EXPECT_EQ(field->text(), "2");
  field->selectAll();
  field->insertText("x");
  EXPECT_EQ(field->text(), "x");
  field->setSelection(7, 7);  // brought onto the text
  EXPECT_EQ(field->caret(), 1u);

  // Clicks: left of the text the caret goes to its start, far right to its
  // end; two clicks select the word, three all.
  field->setText("ab cd");
  field->clickAt(CGPointMake(-50, 10), 1, false);
  EXPECT_EQ(field->caret(), 0u);
  field->clickAt(CGPointMake(1000, 10), 1, true);  // Shift: extends
  EXPECT_EQ(field->selectedText(), "ab cd");
  field->clickAt(CGPointMake(1000, 10), 2, false);
  EXPECT_EQ(field->selectedText(), "cd");
  field->clickAt(CGPointMake(0, 10), 3, false);
  EXPECT_EQ(field->selectedText(), "ab cd");
  field->setText("mmmm");
  size_t between = field->offsetAtX(12);
  EXPECT_GT(between, 0u);
  EXPECT_LT(between, 4u);
}

TEST_F(Controls, FirstResponderMovesAndLeavesWithTheWindow) {
  auto* a = addView<UITextField>(content, CGRectMake(0, 0, 100, 30));
  auto* b = addView<UITextField>(content, CGRectMake(0, 40, 100, 30));
  EXPECT_TRUE(a->becomeFirstResponder());
  EXPECT_TRUE(b->becomeFirstResponder());
  EXPECT_FALSE(a->isFirstResponder());
  b->setEnabled(false);
  EXPECT_FALSE(a->isFirstResponder());
  b->removeFromSuperview();  // off screen: the keyboard goes
  EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
  EXPECT_FALSE(objc::make<UIView>()->becomeFirstResponder());
}

}  // namespace

OBJC_CLASS_IMPL(ActionProbe, objc::Object, setupActionProbe)
OBJC_CLASS_IMPL(FieldOwner, UIView, nullptr)
