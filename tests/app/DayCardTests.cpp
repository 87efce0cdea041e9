// The day card: its geometry, the count-up and the ring's arc.
#include <cmath>

#include "AppFixture.h"
#include "DateCellView.h"
#include "Foundation/TextValue.h"

namespace {
std::string frameText(UIView* v) {
  CGRect f = v->frame();
  return ns::stringWithFormat("%.2f,%.2f %.2fx%.2f", f.origin.x, f.origin.y, f.size.width,
                              f.size.height);
}
}  // namespace

class DayCard : public AppTest {
 protected:
  objc::Ref<DateCellView> card = objc::make<DateCellView>(CGRectMake(0, 0, 246.15, 254));
};

TEST_F(DayCard, GeometryOfA320By568Screen) {
  EXPECT_NEAR(card->radius(), 85.33, 0.005);
  EXPECT_EQ(frameText(card->DateLabel()), "41.03,0.00 164.10x57.73");
  EXPECT_NEAR(card->DateLabel()->center().x, 123.075, 0.001);
  EXPECT_NEAR(card->DateLabel()->font()->pointSize(), 25.59, 0.005);
  EXPECT_EQ(card->DateLabel()->font()->fontName(), "Futura");
  // The ring's centre: the track layer sits at (0, h - 1.2 r) with zero size
  // and its circle is centred at (w / 2, 0) inside it.
  EXPECT_NEAR(card->trackLayer()->frame().origin.y, 151.6, 0.005);
  CGRect circle = card->trackLayer()->path().boundingBox();
  EXPECT_NEAR(circle.origin.x + circle.size.width / 2, 123.08, 0.01);
  EXPECT_EQ(frameText(card->percentLabel()), "67.13,91.35 111.89x84.67");
  EXPECT_NEAR(card->percentLabel()->center().y, 133.68, 0.005);
  EXPECT_NEAR(card->percentLabel()->font()->pointSize(), 38.40, 0.005);
  EXPECT_EQ(frameText(card->nameLabel()), "61.54,143.42 123.07x63.50");
  EXPECT_NEAR(card->nameLabel()->center().y, 175.17, 0.005);
  EXPECT_NEAR(card->nameLabel()->font()->pointSize(), 17.07, 0.005);
  // A fresh card: no arc, an empty percentage, the title hidden.
  EXPECT_EQ(card->progressLayer()->superlayer(), nullptr);
  EXPECT_EQ(card->percentLabel()->text(), "");
  EXPECT_EQ(card->nameLabel()->alpha(), 0);
}

TEST_F(DayCard, CountsUpOneStepEvery10msAndStopsTheTickAfterThePercent) {
  card->setToAngle(M_PI);
  card->setPercent(37);
  card->setName(std::string("Song"));
  card->startAni();
  EXPECT_EQ(card->percentLabel()->text(), "0%");
  EXPECT_EQ(card->nameLabel()->text(), "Song");
  EXPECT_EQ(card->nameLabel()->alpha(), 1);
  EXPECT_EQ(card->progressLayer()->superlayer(), card->layer());
  // Looked at half-way between ticks.
  run(0.015);
  EXPECT_EQ(card->percentLabel()->text(), "1%");
  run(0.10);
  EXPECT_EQ(card->percentLabel()->text(), "11%");
  run(0.26);
  EXPECT_EQ(card->percentLabel()->text(), "37%");
  EXPECT_TRUE(card->labelAniTimer()->isValid());  // stops on the next tick
  run(0.01);
  EXPECT_FALSE(card->labelAniTimer()->isValid());
  run(1);
  EXPECT_EQ(card->percentLabel()->text(), "37%");
  // The arc is drawn in over 0.7 s to its end.
  EXPECT_EQ(card->progressLayer()->presentationStrokeEnd(), 1);
}

TEST_F(DayCard, ASecondStartRestartsWithOneTimerAndRemoveHidesTheArc) {
  card->setPercent(50);
  card->startAni();
  run(0.205);
  EXPECT_EQ(card->percentLabel()->text(), "20%");
  objc::Ref<ns::NSTimer> first(card->labelAniTimer());
  card->startAni();
  EXPECT_FALSE(first->isValid());
  EXPECT_EQ(card->percentLabel()->text(), "0%");
  run(0.105);
  EXPECT_EQ(card->percentLabel()->text(), "10%");  // the same speed: one timer
  // The arc starts over too: 0.105 s into its 0.7 s.
  EXPECT_NEAR(card->progressLayer()->presentationStrokeEnd(), 0.15, 0.001);

  card->removeAni();
  EXPECT_EQ(card->progressLayer()->superlayer(), nullptr);
  EXPECT_EQ(card->percentLabel()->alpha(), 0);
  EXPECT_EQ(card->nameLabel()->alpha(), 1);  // the title stays
  run(1);                                    // the count-up runs on unseen and stops
  EXPECT_EQ(card->percentLabel()->text(), "50%");
  EXPECT_FALSE(card->labelAniTimer()->isValid());
}

TEST_F(DayCard, ZeroAndNegativePercentsStopAtOnce) {
  for (int percent : {0, -3}) {
    card->setPercent(percent);
    card->startAni();
    run(0.015);
    EXPECT_FALSE(card->labelAniTimer()->isValid()) << percent;
    EXPECT_EQ(card->percentLabel()->text(), "0%");
  }
}
