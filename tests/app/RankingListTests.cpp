// The ranking list: loading a day by time and by plays, its alerts, the
// card it drives and the wave that brings its rows in.
#include "AppFixture.h"
#include "CellView.h"
#include "DateCellView.h"
#include "UITableView+Wave.h"
#include "showDataTableView.h"

namespace {

// Answers the one card the list drives.
class CardHolder : public objc::Object, public getScrollViewProtocol {
 public:
  DateCellView* getScrollView() override { return card.get(); }
  objc::Ref<DateCellView> card = objc::make<DateCellView>(CGRectMake(0, 0, 246.15, 254));
};

}  // namespace

class RankingList : public AppTest {
 protected:
  RankingList() {
    writeTitles({{"3", "Three"}, {"7", "Seven"}, {"9", "Nine"}});
    writeDays({"2015-03-04", "2015-03-05"});
    writeDay("2015-03-04", {{"3", "120"}, {"7", "300"}, {"9", "60"}}, {{"3", "2"}, {"9", "5"}});
    writeDay("2015-03-05", {{"3", "10"}});
    window->makeKeyAndVisible();
  }
  // The list as the main screen makes it, wired to a card.
  showDataTableView* makeList() {
    list = objc::make<showDataTableView>(CGRectMake(14.55, 359.16, 290.91, 195.86));
    window->addSubview(list);
    list->setDelegate(holder);
    return list.get();
  }
  void show(const std::string& day) {
    holder->card->DateLabel()->setText(day);
    list->freshDataTableView(holder->card);
    run(2);
  }
  // The rows on screen: "title value" each.
  std::string rows() {
    std::string out;
    for (UITableViewCell* cell : list->tableView()->visibleCells()) {
      auto* row = dynamic_cast<CellView*>(objc::objc_getAssociatedObject(cell, kCellViewKey));
      out += (out.empty() ? "" : ", ") + row->MusicLabel()->text() + " " + row->InfoLabel()->text();
    }
    return out;
  }

  objc::Ref<UIWindow> window = objc::make<UIWindow>();
  objc::Ref<CardHolder> holder = objc::make<CardHolder>();
  objc::Ref<showDataTableView> list;
};

TEST_F(RankingList, FirstLoadIsTheNewestDayByTimeAndReachesNoCard) {
  makeList();
  run(2);
  EXPECT_EQ(list->dateString(), "2015-03-05");
  EXPECT_EQ(rows(), "Three 10.0s");
  EXPECT_EQ(holder->card->percentLabel()->text(), "");  // wired only afterwards
  EXPECT_TRUE(takeAlerts().empty());
}

TEST_F(RankingList, RanksADayAndDrivesTheCard) {
  makeList();
  show("2015-03-04");
  EXPECT_EQ(list->MusicDataTimeArray(), (std::vector<std::string>{"7:300", "3:120", "9:60"}));
  EXPECT_EQ(list->MusicTotal(), 480);
  EXPECT_EQ(rows(), "Seven 5.0min, Three 2.0min, Nine 60.0s");
  EXPECT_NEAR(holder->card->toAngle(), 3.927, 0.0005);
  EXPECT_EQ(holder->card->percent(), 62);
  EXPECT_EQ(holder->card->name(), "Seven");
  EXPECT_EQ(holder->card->percentLabel()->text(), "62%");
  auto* top = dynamic_cast<CellView*>(
      objc::objc_getAssociatedObject(list->tableView()->visibleCells()[0], kCellViewKey));
  EXPECT_EQ(top->Percent(), 62.5);
  EXPECT_EQ(top->MusicAlbum(), "Artist 7-Album");
  EXPECT_EQ(
      list->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)).size.height, 50);
}

TEST_F(RankingList, SwitchingModesKeepsTheDay) {
  makeList();
  show("2015-03-04");
  ns::LogCapture log;
  list->freshToNumber();
  run(2);
  EXPECT_EQ(list->dateString(), "2015-03-04");
  EXPECT_EQ(rows(), "Nine 5, Three 2");
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"(\n    \"9:5\",\n    \"3:2\"\n)"}));
  // Moving to another day keeps the mode.
  show("2015-03-05");
  EXPECT_TRUE(list->isNumber());
  EXPECT_EQ(takeAlerts(),
            (std::vector<std::string>{"No Data|Go to listen to the music in your iPhone|Okay"}));
  list->freshToTime();
  run(2);
  EXPECT_EQ(rows(), "Three 10.0s");
}

TEST_F(RankingList, MissingAndEmptyDaysGiveTheirAlerts) {
  makeList();
  show("2015-03-04");
  show("2015-02-01");
  EXPECT_EQ(takeAlerts(), (std::vector<std::string>{
                              "Can't Found Data|please reboot your iOS device or reinstail in "
                              "Cydia|ok"}));
  EXPECT_EQ(list->dateString(), "2015-02-01");
  EXPECT_EQ(list->MusicDataTimeArray().size(), 3u);  // the ranking is kept
  EXPECT_EQ(list->tableView()->alpha(), 1);

  writeDay("2015-03-06", {});
  show("2015-03-06");
  EXPECT_EQ(takeAlerts(),
            (std::vector<std::string>{"No Data|Go to listen to the music in your iPhone|Okay"}));
  EXPECT_EQ(list->tableView()->alpha(), 0);
  EXPECT_EQ(holder->card->percentLabel()->text(), "0%");
  EXPECT_EQ(holder->card->nameLabel()->text(), "");
  show("2015-03-04");
  EXPECT_EQ(list->tableView()->alpha(), 1);
  // A day whose values are all zero shows no "nan".
  writeDay("2015-03-07", {{"3", "0"}, {"7", "0"}});
  show("2015-03-07");
  EXPECT_EQ(holder->card->percent(), 0);
  EXPECT_EQ(rows(), "Three 0.0s, Seven 0.0s");
}

TEST_F(RankingList, ASongWithoutTitleStillRanksAndDamagedFilesNeverCrash) {
  makeList();
  writeDay("2015-03-08", {{"12", "400"}, {"3", "abc"}});
  show("2015-03-08");
  EXPECT_EQ(rows(), " 6.7min, Three 0.0s");
  EXPECT_EQ(holder->card->name(), std::nullopt);
  EXPECT_EQ(holder->card->percent(), 100);
  // Titles unreadable, a day file of the wrong type, a FIFO-free garbage file.
  testsupport::writeHostFile(root.host(corvane::kIntMusicDataPath), "garbage");
  show("2015-03-04");
  EXPECT_EQ(rows(), " 5.0min,  2.0min,  60.0s");
  testsupport::writeHostFile(root.host(corvane::musicTimePath("2015-03-09")), "");
  ns::createDirectoryAtPath(corvane::dayFolderPath("2015-03-09"), true);
  ns::writeToFile(ns::PlistArray{"x"}, corvane::musicTimePath("2015-03-09"));
  show("2015-03-09");
  EXPECT_EQ(takeAlerts().size(), 1u);
}

TEST_F(RankingList, EmptyDayListLoadsNoDayAndSaysThereIsNoData) {
  writeDays({});
  makeList();
  run(2);
  EXPECT_EQ(list->dateString(), "");
  EXPECT_EQ(takeAlerts(),
            (std::vector<std::string>{"No Data|Go to listen to the music in your iPhone|Okay"}));
}

TEST_F(RankingList, UnreadableDayListLooksForTheDayError) {
  testsupport::writeHostFile(root.host(corvane::kDateArrayPath), "<plist><dict/></plist>");
  makeList();
  EXPECT_EQ(list->dateArray(), (std::vector<std::string>{"Error"}));
  EXPECT_EQ(takeAlerts().at(0).substr(0, 16), "Can't Found Data");
}

TEST_F(RankingList, TheWaveHidesTheRowsThenBringsThemInOneByOne) {
  makeList();
  run(2);
  holder->card->DateLabel()->setText("2015-03-04");
  list->freshDataTableView(holder->card);
  // The zero-length loads finish on the run loop; the table hides for 0.2 s.
  run(0.001);
  EXPECT_TRUE(list->tableView()->isHidden());
  run(0.2);
  EXPECT_FALSE(list->tableView()->isHidden());
  auto cells = list->tableView()->visibleCells();
  ASSERT_EQ(cells.size(), 3u);
  for (auto* cell : cells) EXPECT_TRUE(cell->isHidden());
  float restX = cells[0]->center().x;
  // Row i starts 0.1 (i + 1) s after the table shows, half a width to the
  // right, and rests at its centre 0.25 s after its start.
  run(0.1);
  EXPECT_FALSE(cells[0]->isHidden());
  EXPECT_TRUE(cells[1]->isHidden());
  EXPECT_NE(cells[0]->presentationCenter().x, restX);
  run(0.1);
  EXPECT_FALSE(cells[1]->isHidden());
  run(0.15);
  EXPECT_FLOAT_EQ(cells[0]->presentationCenter().x, restX);
  EXPECT_NE(cells[1]->presentationCenter().x, restX);
  run(0.2);
  for (auto* cell : cells) {
    EXPECT_FALSE(cell->isHidden());
    EXPECT_FLOAT_EQ(cell->presentationCenter().x, restX);
  }
}

TEST_F(RankingList, WaveOfAnEmptyTableSchedulesNothing) {
  auto table = objc::make<UITableView>(CGRectMake(0, 0, 100, 100));
  window->addSubview(table);
  objc::objc_msgSend(table.get(),
                     "reloadDataAnimateWithWave:", ns::NSNumber::numberWithInt(1).get());
  run(0.3);
  EXPECT_FALSE(table->isHidden());
  EXPECT_TRUE(table->visibleCells().empty());
}

TEST_F(RankingList, RowsScrolledInDuringTheWaveAreNotLeftHidden) {
  makeList();
  Values many;
  for (int i = 0; i < 12; ++i) many[std::to_string(i)] = std::to_string(100 - i);
  writeDay("2015-03-10", many);
  holder->card->DateLabel()->setText("2015-03-10");
  list->freshDataTableView(holder->card);
  run(0.25);  // the rows on screen are hidden, waiting for their turn
  // Scrolled before their turn: their cells go to the pool and come back for
  // other rows, which must show.
  list->tableView()->setContentOffset(CGPointMake(0, 300));
  run(2);
  auto cells = list->tableView()->visibleCells();
  ASSERT_FALSE(cells.empty());
  for (auto* cell : cells) EXPECT_FALSE(cell->isHidden());
}

TEST_F(RankingList, AnEmptyDayHidesTheListInBothModes) {
  makeList();
  show("2015-03-04");
  list->freshToNumber();
  run(1);
  writeDay("2015-03-11", {});
  show("2015-03-11");
  EXPECT_EQ(list->tableView()->alpha(), 0);  // no stale rows under the alert
  takeAlerts();
  show("2015-03-04");
  EXPECT_EQ(list->tableView()->alpha(), 1);
  EXPECT_EQ(rows(), "Nine 5, Three 2");
}
