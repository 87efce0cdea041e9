// A row of the lists: its labels, and the taps on its two halves.
#include "AppFixture.h"
#include "CellView.h"

class Row : public AppTest {
 protected:
  Row() {
    window->makeKeyAndVisible();
    row = objc::make<CellView>(CGRectMake(0, 100, 272.34, 44));
    window->addSubview(row);
    row->setMusicName(std::string("Song"));
    row->setMusicAlbum(std::string("Artist-Album"));
    row->setMinNum(150);
    row->setPercent(12.34);
    row->PutValueDone();
  }
  void tapRight() { window->tap(CGPointMake(250, 122)); }
  std::string info() { return row->InfoLabel()->text(); }

  objc::Ref<UIWindow> window = objc::make<UIWindow>();
  objc::Ref<CellView> row;
};

TEST_F(Row, LabelsAndFontsFollowTheScreenWidth) {
  EXPECT_EQ(row->MusicLabel()->text(), "Song");
  EXPECT_EQ(info(), "2.5min");
  EXPECT_NEAR(row->MusicLabel()->font()->pointSize(), 17.07, 0.005);
  EXPECT_EQ(row->MusicLabel()->font()->fontName(), ".HelveticaNeueInterface-Regular");
  EXPECT_NEAR(row->MusicLabel()->frame().origin.x, 17.07, 0.005);
  EXPECT_NEAR(row->MusicLabel()->center().y, 44 / 1.7, 0.005);
  EXPECT_EQ(row->InfoLabel()->textAlignment(), NSTextAlignmentRight);
  // The right label reaches one point past the row's right edge.
  EXPECT_NEAR(row->InfoLabel()->frame().origin.x + row->InfoLabel()->frame().size.width, 273.34,
              0.01);
}

TEST_F(Row, RightHalfFadesToThePercentageAndBack) {
  tapRight();
  EXPECT_EQ(info(), "2.5min");
  run(0.1);
  EXPECT_EQ(info(), "12.3%");
  EXPECT_FALSE(row->isPercent());
  run(0.1);
  EXPECT_EQ(row->InfoLabel()->alpha(), 1);
  tapRight();
  run(0.2);
  EXPECT_EQ(info(), "2.5min");
  EXPECT_TRUE(row->isPercent());
}

TEST_F(Row, TwoQuickTapsEndAsOneAndARefillKeepsTheToggle) {
  tapRight();
  run(0.05);
  tapRight();  // the flag is unchanged until the fade-out ends
  run(0.5);
  EXPECT_EQ(info(), "12.3%");
  // Refilled while the percentage shows: the value, and the next tap fades
  // to the value again.
  row->setMinNum(30);
  row->PutValueDone();
  EXPECT_EQ(info(), "30.0s");
  tapRight();
  run(0.3);
  EXPECT_EQ(info(), "30.0s");
  tapRight();
  run(0.3);
  EXPECT_EQ(info(), "12.3%");
}

TEST_F(Row, LeftHalfShowsTheSongAlertAnywhere) {
  window->tap(CGPointMake(5, 122));  // the margin left of the title
  EXPECT_EQ(takeAlerts(), (std::vector<std::string>{"Song|Artist-Album|Okay"}));
  window->tap(CGPointMake(130, 122));
  EXPECT_EQ(takeAlerts().size(), 1u);
  EXPECT_EQ(info(), "2.5min");
}
