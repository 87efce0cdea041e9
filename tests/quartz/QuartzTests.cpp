#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Foundation/RunLoop.h"
#include "QuartzCore/QuartzCore.h"
#include "TestSupport.h"

namespace {

constexpr double kPi = M_PI;

// --- paths ---------------------------------------------------------------------

TEST(CGPath, ArcSweepLimits) {
  auto sweep = [](double start, double end) {
    CGPath p;
    p.addArc(CGPointZero, 10, start, end, true);
    return p.elements()[0].sweep;
  };
  EXPECT_EQ(sweep(0, 0), 0);  // an empty arc: the ring card's 0 %
  EXPECT_NEAR(sweep(0, 2 * kPi), 2 * kPi, 1e-12);
  EXPECT_NEAR(sweep(0, 5 * kPi), 2 * kPi, 1e-12);  // never more than a turn
  EXPECT_NEAR(sweep(kPi, kPi / 2), 1.5 * kPi, 1e-12);
  EXPECT_NEAR(sweep(0, -2 * kPi), 2 * kPi, 1e-12);
}

// --- animations -------------------------------------------------------------------

class LayerAnimation : public ::testing::Test {
 protected:
  testsupport::VirtualClock clock;
};

objc::Ref<CABasicAnimation> animation(const char* keyPath, CAValue from, CAValue to,
                                      double duration) {
  auto anim = CABasicAnimation::animationWithKeyPath(keyPath);
  anim->setFromValue(from);
  anim->setToValue(to);
  anim->setDuration(duration);
  return anim;
}

TEST_F(LayerAnimation, StrokeEndRunsOnTheClockAndAfterTheEndFillDecides) {
  auto filled = CAShapeLayer::layer(), plain = CAShapeLayer::layer();
  for (CAShapeLayer* shape : {filled.get(), plain.get()}) {
    auto anim = animation("strokeEnd", 0.0, 1.0, 0.7);
    anim->setRemovedOnCompletion(false);
    if (shape == filled.get()) anim->setFillMode(kCAFillModeForwards);
    shape->setStrokeEnd(0.25);
    shape->addAnimation(anim, "ring");
  }
  EXPECT_DOUBLE_EQ(filled->presentationStrokeEnd(), 0);
  clock.advance(0.35);
  EXPECT_NEAR(filled->presentationStrokeEnd(), 0.5, 1e-6);
  clock.advance(1);
  EXPECT_DOUBLE_EQ(filled->presentationStrokeEnd(), 1);
  EXPECT_DOUBLE_EQ(plain->presentationStrokeEnd(), 0.25);  // the model value
  EXPECT_NE(plain->animationForKey("ring"), nullptr);      // still attached
  filled->removeAllAnimations();
  EXPECT_DOUBLE_EQ(filled->presentationStrokeEnd(), 0.25);
  EXPECT_TRUE(filled->animationKeys().empty());
}

TEST_F(LayerAnimation, ALayerStoresACopySoOneAnimationServesManyStarts) {
  auto shape = CAShapeLayer::layer();
  auto anim = animation("strokeEnd", 0.0, 1.0, 1);
  EXPECT_NE(shape->addAnimation(anim), anim.get());
  anim->setDuration(10);  // changes nothing already added
  clock.advance(0.5);
  EXPECT_NEAR(shape->presentationStrokeEnd(), 0.5, 1e-6);
  shape->addAnimation(anim);  // a second start, with its own time
  clock.advance(1);
  EXPECT_NEAR(shape->presentationStrokeEnd(), 0.1, 1e-6);
}

TEST_F(LayerAnimation, PresentationStateCoversColoursAndDelays) {
  auto layer = CALayer::layer();
  // From no colour: from transparent red.
  auto fade = animation("backgroundColor", CAValue(), CGColorMake(1, 0, 0, 1), 1);
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
