#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

// A target whose actions are real run-time methods, as the system's are.
class ActionProbe : public objc::Object {
  OBJC_CLASS(ActionProbe)
 public:
  std::vector<std::string> calls;
  std::vector<objc::Object*> senders;
};

objc::id recordPressed(objc::id self, objc::SEL cmd, objc::id sender) {
  auto* p = static_cast<ActionProbe*>(self);
  p->calls.push_back(objc::sel_getName(cmd));
  p->senders.push_back(sender);
  return nullptr;
}

void setupActionProbe(objc::Class* cls) {
  for (const char* name : {"pressed:", "tapped:", "panned:", "LaunchCorvane", "returned:"})
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
  auto button = objc::make<UIButton>(CGRectMake(0, 50, 300, 50));
  button->addTarget(probe, "LaunchCorvane", UIControlEventTouchUpInside);
  button->setTitle("Tap to Launch App", UIControlStateNormal);
  button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
  button->titleLabel()->setFont(UIFont::fontWithName("Futura", 18));
  content->addSubview(button);

  window->touchDown(CGPointMake(150, 75));
  EXPECT_TRUE(button->isHighlighted());
  EXPECT_TRUE(probe->calls.empty());
  window->touchUp(CGPointMake(150, 75));
  EXPECT_EQ(probe->calls, std::vector<std::string>{"LaunchCorvane"});
  EXPECT_EQ(probe->senders.back(), button.get());
  EXPECT_FALSE(button->isHighlighted());

  // The slack around a button: a lift 60 points below still counts, 80 does not.
  window->touchDown(CGPointMake(150, 75));
  window->touchMove(CGPointMake(150, 160));
  window->touchUp(CGPointMake(150, 160));
  EXPECT_EQ(probe->calls.size(), 2u);
  window->touchDown(CGPointMake(150, 75));
  window->touchUp(CGPointMake(150, 181));
  EXPECT_EQ(probe->calls.size(), 2u);

  // The title label keeps the font; the title colour and text follow the state.
  EXPECT_EQ(button->titleLabel()->font()->fontName(), "Futura");
  EXPECT_EQ(button->titleLabel()->font()->pointSize(), 18);
  EXPECT_EQ(button->titleLabel()->text(), "Tap to Launch App");
  EXPECT_TRUE(button->titleLabel()->textColor()->isEqual(UIColor::whiteColor()));
  EXPECT_EQ(button->displayedText(), "Tap to Launch App");
}

TEST_F(Controls, TargetsAreNotOwned) {
  auto button = objc::make<UIButton>(CGRectMake(0, 0, 100, 100));
  content->addSubview(button);
  {
    auto gone = objc::make<ActionProbe>();
    button->addTarget(gone, "pressed:", UIControlEventTouchUpInside);
  }
  window->tap(CGPointMake(10, 10));  // the target is gone: nothing happens
  EXPECT_EQ(button->targetCount(), 1u);
}

TEST_F(Controls, ButtonImagesAndTitlesFallBackToTheNormalState) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 29);
  testsupport::writeHostFile(root.host("/Applications/Corvane.app/menuIcon.png"), png);
  auto button = objc::make<UIButton>(CGRectMake(0, 0, 31.56, 31.56));
  auto icon = UIImage::imageWithContentsOfFile("/Applications/Corvane.app/menuIcon.png");
  button->setBackgroundImage(icon, UIControlStateNormal);
  EXPECT_EQ(button->currentBackgroundImage(), icon.get());
  button->setHighlighted(true);
  EXPECT_EQ(button->currentBackgroundImage(), icon.get());
  EXPECT_EQ(button->displayedText(), std::nullopt);  // no title at all
}

TEST_F(Controls, TapRecogniserFiresOnALiftWithoutMovingFar) {
  auto card = objc::make<UIView>(CGRectMake(0, 0, 200, 200));
  auto tap = objc::make<UITapGestureRecognizer>(probe, "tapped:");
  card->addGestureRecognizer(tap);
  content->addSubview(card);
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
  auto label = objc::make<UILabel>(CGRectMake(0, 0, 100, 100));
  card->addSubview(label);
  window->tap(CGPointMake(10, 10));
  EXPECT_EQ(probe->calls.size(), 2u);
}

TEST_F(Controls, AButtonKeepsItsTapFromAnAncestorsRecogniser) {
  auto card = objc::make<UIView>(CGRectMake(0, 0, 200, 200));
  card->addGestureRecognizer(objc::make<UITapGestureRecognizer>(probe, "tapped:"));
  auto button = objc::make<UIButton>(CGRectMake(0, 0, 100, 100));
  button->addTarget(probe, "pressed:", UIControlEventTouchUpInside);
  card->addSubview(button);
  content->addSubview(card);
  window->tap(CGPointMake(10, 10));
  EXPECT_EQ(probe->calls, std::vector<std::string>{"pressed:"});
  window->tap(CGPointMake(150, 150));
  EXPECT_EQ(probe->calls, (std::vector<std::string>{"pressed:", "tapped:"}));
}

TEST_F(Controls, ARecogniserThatTakesTheTouchCancelsTheControl) {
  auto pager = objc::make<UIView>(CGRectMake(0, 0, 300, 100));
  auto pan = objc::make<UIPanGestureRecognizer>(probe, "panned:");
  pager->addGestureRecognizer(pan);
  auto button = objc::make<UIButton>(CGRectMake(0, 0, 300, 100));
  button->addTarget(probe, "pressed:", UIControlEventTouchUpInside | UIControlEventTouchCancel);
  pager->addSubview(button);
  content->addSubview(pager);

  window->touchDown(CGPointMake(100, 50));
  window->touchMove(CGPointMake(95, 50));  // under the threshold: still the button's
  EXPECT_TRUE(button->isHighlighted());
  clock.advance(0.1);
  window->touchMove(CGPointMake(80, 50));
  EXPECT_EQ(pan->state(), UIGestureRecognizerState::Began);
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_EQ(pan->translationInView(pager), CGPointMake(-20, 0));
  EXPECT_NEAR(pan->velocityInView(pager).x, -150, 1e-3);  // 15 points in 0.1 s
  window->touchUp(CGPointMake(80, 50));
  // The pan began (its action first), the button heard only the cancel, then
  // the pan ended.
  EXPECT_EQ(probe->calls, (std::vector<std::string>{"panned:", "pressed:", "panned:"}));
  EXPECT_EQ(pan->state(), UIGestureRecognizerState::Possible);
}

TEST_F(Controls, TouchesGoUpTheResponderChainToTheController) {
  struct Recorder : UIViewController {
    void touchesBegan(UITouch* t, UIEvent*) override { where = t->locationInView(view()); }
    CGPoint where;
  };
  auto vc = objc::make<Recorder>();
  vc->view()->setFrame(CGRectMake(20, 20, 100, 100));
  content->addSubview(vc->view());
  auto plain = objc::make<UIView>(CGRectMake(10, 10, 30, 30));
  vc->view()->addSubview(plain);
  window->touchDown(CGPointMake(35, 35));  // on the plain view, which does not handle it
  EXPECT_EQ(vc->where, CGPointMake(15, 15));
  window->touchCancel();
  EXPECT_EQ(window->currentTouch(), nullptr);
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

TEST_F(Controls, FirstResponderMovesAndLeavesWithTheWindow) {
  auto a = objc::make<UITextField>(CGRectMake(0, 0, 100, 30));
  auto b = objc::make<UITextField>(CGRectMake(0, 40, 100, 30));
  content->addSubview(a);
  content->addSubview(b);
  EXPECT_TRUE(a->becomeFirstResponder());
  EXPECT_TRUE(b->becomeFirstResponder());
  EXPECT_FALSE(a->isFirstResponder());
  b->setEnabled(false);
  EXPECT_FALSE(a->isFirstResponder());
  b->removeFromSuperview();  // off screen: the keyboard goes
  EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
  EXPECT_FALSE(objc::make<UIView>()->becomeFirstResponder());
}

TEST_F(Controls, SliderValueIsClampedAndTracksTheFinger) {
  auto slider = objc::make<UISlider>(CGRectMake(0, 0, 200, 40));
  slider->addTarget(probe, "pressed:", UIControlEventValueChanged);
  content->addSubview(slider);
  slider->setValue(2);
  EXPECT_EQ(slider->value(), 1);
  slider->setMinimumValue(0.5);
  slider->setValue(0);
  EXPECT_EQ(slider->value(), 0.5f);
  EXPECT_TRUE(probe->calls.empty());  // only touches send value-changed
  window->touchDown(CGPointMake(150, 20));
  EXPECT_FLOAT_EQ(slider->value(), 0.875f);
  window->touchUp(CGPointMake(150, 20));
  EXPECT_EQ(probe->calls.size(), 1u);
}

TEST_F(Controls, DisabledControlsSwallowTouches) {
  auto button = objc::make<UIButton>(CGRectMake(0, 0, 100, 100));
  button->addTarget(probe, "pressed:", UIControlEventAllTouchEvents);
  button->setEnabled(false);
  content->addSubview(button);
  window->tap(CGPointMake(10, 10));
  EXPECT_TRUE(probe->calls.empty());
}

}  // namespace

OBJC_CLASS_IMPL(ActionProbe, objc::Object, setupActionProbe)
OBJC_CLASS_IMPL(FieldOwner, UIView, nullptr)
