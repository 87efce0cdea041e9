#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Foundation/RunLoop.h"
#include "QuartzCore/QuartzCore.h"
#include "TestSupport.h"

namespace {

constexpr double kPi = M_PI;

// --- paths ---------------------------------------------------------------------

TEST(CGPath, ArcsTurnClockwiseOnAScreenWithYDown) {
  CGPath quarter;
  quarter.addArc(CGPointMake(100, 100), 50, 0, kPi / 2, true);
  // From the right-hand point down to the bottom point.
  EXPECT_EQ(quarter.boundingBox(), CGRectMake(100, 100, 50, 50));
  EXPECT_NEAR(quarter.currentPoint().x, 100, 1e-3);
  EXPECT_NEAR(quarter.currentPoint().y, 150, 1e-3);

  CGPath longWay;
  longWay.addArc(CGPointMake(100, 100), 50, 0, kPi / 2, false);
  // Counter-clockwise goes up and round: three quarters of the circle.
  EXPECT_EQ(longWay.boundingBox(), CGRectMake(50, 50, 100, 100));
  EXPECT_NEAR(longWay.elements()[0].sweep, -1.5 * kPi, 1e-6);
  EXPECT_NEAR(longWay.length(), 1.5 * kPi * 50, 0.5);
}

TEST(CGPath, ArcSweepLimits) {
  auto sweep = [](double start, double end, bool clockwise) {
    CGPath p;
    p.addArc(CGPointZero, 10, start, end, clockwise);
    return p.elements()[0].sweep;
  };
  EXPECT_EQ(sweep(0, 0, true), 0);  // an empty arc: the ring card's 0 %
  EXPECT_NEAR(sweep(0, 2 * kPi, true), 2 * kPi, 1e-12);
  EXPECT_NEAR(sweep(0, 5 * kPi, true), 2 * kPi, 1e-12);  // never more than a turn
  EXPECT_NEAR(sweep(kPi, kPi / 2, true), 1.5 * kPi, 1e-12);
  EXPECT_NEAR(sweep(0, -2 * kPi, true), 2 * kPi, 1e-12);
}

TEST(CGPath, RectsAndRoundedRects) {
  CGPath rect;
  rect.addRect(CGRectMake(10, 20, 30, -40));  // negative heights are measured upwards
  EXPECT_EQ(rect.boundingBox(), CGRectMake(10, -20, 30, 40));
  ASSERT_EQ(rect.flatten().size(), 1u);
  EXPECT_NEAR(rect.length(), 140, 1e-3);

  CGPath rounded;
  rounded.addRoundedRect(CGRectMake(0, 0, 100, 50), 10);
  EXPECT_EQ(rounded.boundingBox(), CGRectMake(0, 0, 100, 50));
  EXPECT_NEAR(rounded.length(), 2 * (80 + 30) + 2 * kPi * 10, 0.2);
  CGPath huge;
  huge.addRoundedRect(CGRectMake(0, 0, 100, 50), 1000);  // clamps to a stadium
  EXPECT_NEAR(huge.length(), 2 * 50 + kPi * 50, 0.3);
}

// --- layers --------------------------------------------------------------------

TEST(CALayer, FrameIsDerivedFromPositionAndBounds) {
  auto layer = CALayer::layer();
  layer->setFrame(CGRectMake(10, 20, 100, 50));
  EXPECT_EQ(layer->position(), CGPointMake(60, 45));
  EXPECT_EQ(layer->bounds(), CGRectMake(0, 0, 100, 50));
  layer->setBounds(CGRectMake(5, 5, 40, 10));  // keeps the position
  EXPECT_EQ(layer->frame(), CGRectMake(40, 40, 40, 10));
  layer->setFrame(CGRectMake(0, 0, 10, 10));  // keeps the bounds origin
  EXPECT_EQ(layer->bounds().origin, CGPointMake(5, 5));
}

TEST(CALayer, ZeroSizeFrameIsPlacedByItsPosition) {
  // How the ring card puts the centre of its circle paths.
  auto shape = CAShapeLayer::layer();
  shape->setFrame(CGRectMake(0, 151.6, 0, 0));
  EXPECT_EQ(shape->position(), CGPointMake(0, 151.6));
  EXPECT_EQ(shape->frame(), CGRectMake(0, 151.6, 0, 0));
  auto parent = CALayer::layer();
  parent->addSublayer(shape);
  EXPECT_EQ(shape->convertPointToLayer(CGPointMake(123.08, 0), parent), CGPointMake(123.08, 151.6));
}

TEST(CALayer, TreeOwnsSublayersAndKeepsOrder) {
  auto root = CALayer::layer();
  auto a = CALayer::layer(), b = CALayer::layer(), c = CALayer::layer();
  root->addSublayer(a);
  root->addSublayer(b);
  root->insertSublayerBelow(c, a);
  EXPECT_EQ(root->sublayers(), (std::vector<objc::Ref<CALayer>>{c, a, b}));
  root->addSublayer(c);  // moves to the top
  EXPECT_EQ(root->sublayers(), (std::vector<objc::Ref<CALayer>>{a, b, c}));
  root->insertSublayerAbove(c, a);
  EXPECT_EQ(root->sublayers(), (std::vector<objc::Ref<CALayer>>{a, c, b}));
  root->insertSublayer(b, 0);
  EXPECT_EQ(root->sublayers(), (std::vector<objc::Ref<CALayer>>{b, a, c}));
  int before = a->retainCount();
  a->removeFromSuperlayer();
  EXPECT_EQ(a->superlayer(), nullptr);
  EXPECT_EQ(a->retainCount(), before - 1);
  b->addSublayer(root);  // no cycles: the root cannot go under its child
  EXPECT_EQ(root->superlayer(), nullptr);

  // A dying layer lets go of its sublayers.
  {
    auto temp = CALayer::layer();
    temp->addSublayer(c);
    EXPECT_EQ(c->superlayer(), temp.get());
  }
  EXPECT_EQ(c->superlayer(), nullptr);
}

TEST(CAMediaTimingFunction, Curves) {
  EXPECT_DOUBLE_EQ(CAMediaTimingFunction::linear().evaluate(0.3), 0.3);
  EXPECT_NEAR(CAMediaTimingFunction::easeInEaseOut().evaluate(0.5), 0.5, 1e-6);
  EXPECT_LT(CAMediaTimingFunction::easeInEaseOut().evaluate(0.2), 0.2);
  EXPECT_LT(CAMediaTimingFunction::easeIn().evaluate(0.5), 0.5);
  EXPECT_GT(CAMediaTimingFunction::easeOut().evaluate(0.5), 0.5);
  EXPECT_EQ(CAMediaTimingFunction::easeIn().evaluate(-1), 0);
  EXPECT_EQ(CAMediaTimingFunction::easeIn().evaluate(2), 1);
  EXPECT_EQ(CAMediaTimingFunction::functionWithName("easeOut"), CAMediaTimingFunction::easeOut());
}

// --- animations -------------------------------------------------------------------

class LayerAnimation : public ::testing::Test {
 protected:
  testsupport::VirtualClock clock;
  ns::RunLoop& loop = ns::RunLoop::main();
};

TEST_F(LayerAnimation, StrokeEndRunsOnTheClockAndStaysWhenNotRemoved) {
  auto shape = CAShapeLayer::layer();
  auto anim = CABasicAnimation::animationWithKeyPath("strokeEnd");
  anim->setFromValue(0);
  anim->setToValue(1);
  anim->setDuration(0.7);
  anim->setRemovedOnCompletion(false);
  anim->setFillMode(kCAFillModeForwards);
  shape->setStrokeEnd(0.25);  // the model, shown after the end only without fill
  shape->addAnimation(anim);
  EXPECT_DOUBLE_EQ(shape->presentationStrokeEnd(), 0);
  clock.advance(0.35);
  EXPECT_NEAR(shape->presentationStrokeEnd(), 0.5, 1e-6);
  clock.advance(1);
  EXPECT_DOUBLE_EQ(shape->presentationStrokeEnd(), 1);
  EXPECT_EQ(shape->animationKeys().size(), 1u);
  shape->removeAllAnimations();
  EXPECT_DOUBLE_EQ(shape->presentationStrokeEnd(), 0.25);
  EXPECT_TRUE(shape->animationKeys().empty());
}

TEST_F(LayerAnimation, EndedAnimationWithoutFillShowsTheModel) {
  auto shape = CAShapeLayer::layer();
  auto anim = CABasicAnimation::animationWithKeyPath("strokeEnd");
  anim->setFromValue(0);
  anim->setToValue(0.5);
  anim->setDuration(1);
  anim->setRemovedOnCompletion(false);
  shape->addAnimation(anim, "ring");
  clock.advance(2);
  EXPECT_DOUBLE_EQ(shape->presentationStrokeEnd(), 1);  // the model value
  EXPECT_NE(shape->animationForKey("ring"), nullptr);   // still attached
}

TEST_F(LayerAnimation, ALayerStoresACopySoOneAnimationServesManyStarts) {
  auto shape = CAShapeLayer::layer();
  auto anim = CABasicAnimation::animationWithKeyPath("strokeEnd");
  anim->setFromValue(0);
  anim->setToValue(1);
  anim->setDuration(1);
  CAAnimation* stored = shape->addAnimation(anim);
  EXPECT_NE(stored, anim.get());
  anim->setDuration(10);  // changes nothing already added
  clock.advance(0.5);
  EXPECT_NEAR(shape->presentationStrokeEnd(), 0.5, 1e-6);
  shape->addAnimation(anim);  // a second start, with its own time
  clock.advance(1);
  EXPECT_NEAR(shape->presentationStrokeEnd(), 0.1, 1e-6);
}

TEST_F(LayerAnimation, StopHandlersRunFromTheRunLoopOnly) {
  auto layer = CALayer::layer();
  std::vector<std::string> events;
  auto anim = CABasicAnimation::animationWithKeyPath("opacity");
  anim->setFromValue(1);
  anim->setToValue(0);
  anim->setDuration(0.5);
  layer->addAnimation(anim, "fade");
  layer->setAnimationStopHandler("fade", [&](bool f) { events.push_back(f ? "end" : "cut"); });
  clock.advance(0.49);
  EXPECT_TRUE(events.empty());
  clock.advance(0.01);
  EXPECT_EQ(events, std::vector<std::string>{"end"});
  EXPECT_TRUE(layer->animationKeys().empty());  // removed on completion

  events.clear();
  layer->addAnimation(anim, "fade");
  layer->setAnimationStopHandler("fade", [&](bool f) { events.push_back(f ? "end1" : "cut1"); });
  clock.advance(0.2);
  layer->addAnimation(anim, "fade");  // same key: replaces the first
  layer->setAnimationStopHandler("fade", [&](bool f) { events.push_back(f ? "end2" : "cut2"); });
  EXPECT_TRUE(events.empty());  // not inside the call
  clock.advance(0);
  EXPECT_EQ(events, std::vector<std::string>{"cut1"});
  layer->removeAllAnimations();
  EXPECT_EQ(events.size(), 1u);
  clock.advance(5);
  EXPECT_EQ(events, (std::vector<std::string>{"cut1", "cut2"}));
}

TEST_F(LayerAnimation, ReplacementStartsFromThePresentationValue) {
  auto layer = CALayer::layer();
  auto a = CABasicAnimation::animationWithKeyPath("position");
  a->setFromValue(CGPointMake(0, 0));
  a->setToValue(CGPointMake(100, 0));
  a->setDuration(1);
  layer->addAnimation(a, "move");
  clock.advance(0.5);
  auto b = CABasicAnimation::animationWithKeyPath("position");  // no fromValue
  b->setToValue(CGPointMake(0, 0));
  b->setDuration(1);
  layer->addAnimation(b, "move");
  EXPECT_NEAR(layer->presentationValueForKeyPath("position").point().x, 50, 1e-3);
  clock.advance(0.5);
  EXPECT_NEAR(layer->presentationValueForKeyPath("position").point().x, 25, 1e-3);
}

class DelegateProbe : public objc::Object, public CAAnimationDelegate {
  OBJC_CLASS(DelegateProbe)
 public:
  void animationDidStart(CAAnimation*) override { log.push_back("start"); }
  void animationDidStop(CAAnimation*, bool finished) override {
    log.push_back(finished ? "stop" : "cut");
  }
  std::vector<std::string> log;
};

TEST_F(LayerAnimation, DelegateHearsStartAndStopAndADyingLayerCutsItsAnimations) {
  auto probe = objc::make<DelegateProbe>();
  auto anim = CABasicAnimation::animationWithKeyPath("strokeEnd");
  anim->setDuration(0.3);
  anim->setDelegate(probe);
  {
    auto shape = CAShapeLayer::layer();
    shape->addAnimation(anim);
    clock.advance(0.3);
    EXPECT_EQ(probe->log, (std::vector<std::string>{"start", "stop"}));
    shape->addAnimation(anim);
    clock.advance(0.1);
  }
  EXPECT_EQ(probe->log.size(), 3u);  // start; the cut comes from the run loop
  clock.advance(0);
  EXPECT_EQ(probe->log, (std::vector<std::string>{"start", "stop", "start", "cut"}));
}

TEST_F(LayerAnimation, PresentationStateCoversColoursAndDelays) {
  auto layer = CALayer::layer();
  auto fade = CABasicAnimation::animationWithKeyPath("backgroundColor");
  fade->setToValue(CGColorMake(1, 0, 0, 1));  // from no colour: from transparent red
  fade->setDuration(1);
  fade->setBeginTime(CACurrentMediaTime() + 1);
  fade->setFillMode(kCAFillModeBackwards);
  layer->addAnimation(fade);
  layer->setBackgroundColor(CGColorMake(1, 0, 0, 1));
  EXPECT_FALSE(layer->presentationState().backgroundColor.has_value());  // waiting: the start
  clock.advance(1.5);
  auto mid = layer->presentationState().backgroundColor;
  ASSERT_TRUE(mid.has_value());
  EXPECT_EQ(mid->red, 1);
  EXPECT_NEAR(mid->alpha, 0.5, 1e-6);
  clock.advance(1);
  EXPECT_EQ(layer->presentationState().backgroundColor, CGColorMake(1, 0, 0, 1));
}

}  // namespace

OBJC_CLASS_IMPL(DelegateProbe, objc::Object, nullptr)
