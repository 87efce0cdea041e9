// The main screen as a whole: its geometry, the today button, the carousel,
// the switch, typed days and the date list, driven by touches on the
// virtual clock.
#include <functional>

#include "AppFixture.h"
#include "CellView.h"
#include "Foundation/TextValue.h"
#include "ViewController.h"

namespace {
std::string frameText(CGRect f) {
  return ns::stringWithFormat("%.2f,%.2f %.2fx%.2f", f.origin.x, f.origin.y, f.size.width,
                              f.size.height);
}
std::string centreText(UIView* v) {
  return ns::stringWithFormat("%.2f,%.2f", v->center().x, v->center().y);
}
}  // namespace

class MainScreen : public AppTest {
 protected:
  MainScreen() {
    writeTitles({{"0", "Zero"}, {"1", "One"}, {"2", "Two"}});
    writeDays({"2015-03-01", "2015-03-02", "2015-03-05"});
    writeDay("2015-03-01", {{"0", "100"}});
    writeDay("2015-03-02", {{"1", "200"}, {"0", "50"}}, {{"1", "4"}, {"0", "9"}});
    writeDay("2015-03-05", {{"2", "30"}}, {{"2", "1"}});
  }
  void open() {
    window = objc::make<UIWindow>();
    vc = objc::make<ViewController>();
    window->setRootViewController(vc);
    window->makeKeyAndVisible();
    run(2);
  }
  std::string card() { return vc->dateScorllView()->getScrollView()->DateLabel()->text(); }
  std::string shownDay() { return vc->showTableView()->dateString(); }
  std::string topRow() {
    auto cells = vc->showTableView()->tableView()->visibleCells();
    if (cells.empty()) return "";
    auto* row = dynamic_cast<CellView*>(objc::objc_getAssociatedObject(cells[0], kCellViewKey));
    return row->MusicLabel()->text() + " " + row->InfoLabel()->text();
  }
  // A finger drag in screen points over `seconds`, then a second to settle.
  void swipe(CGPoint from, CGPoint to, double seconds = 0.15) {
    window->touchDown(from);
    int steps = std::max(1, static_cast<int>(seconds * 60));
    for (int i = 1; i <= steps; ++i) {
      run(seconds / steps);
      window->touchMove(
          CGPointMake(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps));
    }
    window->touchUp(to);
    run(1.5);
  }
  void swipeCarousel(double dx) { swipe(CGPointMake(160, 200), CGPointMake(160 + dx, 200)); }
  void swipeSwitch(double dx, double seconds = 0.15) {
    swipe(CGPointMake(160, 314), CGPointMake(160 + dx, 314), seconds);
  }

  objc::Ref<UIWindow> window;
  objc::Ref<ViewController> vc;
};

TEST_F(MainScreen, GeometryOnA320By568Screen) {
  open();
  EXPECT_EQ(frameText(vc->dateScorllView()->frame()), "36.92,20.00 246.15x254.00");
  EXPECT_EQ(frameText(vc->todayButton()->frame()), "278.15,33.23 24.62x36.92");
  EXPECT_EQ(centreText(vc->todayButton()), "290.46,51.69");
  EXPECT_EQ(frameText(vc->dateButton()->frame()), "18.68,35.91 31.56x31.56");
  EXPECT_EQ(centreText(vc->dateButton()), "34.46,51.69");
  EXPECT_EQ(frameText(vc->controlView()->frame()), "26.67,280.81 266.67x67.62");
  EXPECT_EQ(frameText(vc->showTableView()->frame()), "14.55,359.16 290.91x195.86");
  EXPECT_NEAR(vc->controlView()->controlTimeLabel()->font()->pointSize(), 29.89, 0.005);
  // Bottom to top: carousel, today, menu, switch, ranking list.
  std::vector<UIView*> order;
  for (auto& v : vc->view()->subviews()) order.push_back(v.get());
  EXPECT_EQ(order, (std::vector<UIView*>{vc->dateScorllView(), vc->todayButton(), vc->dateButton(),
                                         vc->controlView(), vc->showTableView()}));
}

TEST_F(MainScreen, GeometryOnA320By480Screen) {
  UIScreen::setDeviceProfile(320, 480, 2);
  open();
  EXPECT_NEAR(vc->dateScorllView()->frame().size.height, 210, 0.005);
  EXPECT_NEAR(vc->dateButton()->frame().size.width, 26.67, 0.005);
  EXPECT_NEAR(vc->controlView()->frame().origin.y, 235.76, 0.005);
  EXPECT_NEAR(vc->controlView()->frame().size.height, 57.14, 0.005);
  EXPECT_NEAR(vc->showTableView()->frame().origin.y, 301.96, 0.005);
  EXPECT_NEAR(vc->showTableView()->frame().size.height, 165.52, 0.005);
}

TEST_F(MainScreen, OpensOnTheNewestDayAndTodayLoadsTheLastListedDay) {
  open();
  EXPECT_EQ(card(), "2015-03-05");
  EXPECT_EQ(topRow(), "Two 30.0s");
  // The first load reaches no card: the ring stays empty until a refresh.
  EXPECT_EQ(vc->dateScorllView()->getScrollView()->percentLabel()->text(), "");
  // Days recorded since the start are found: the list is read at each press,
  // and the clock (later than every day) plays no part.
  writeDays({"2015-03-01", "2015-03-02", "2015-03-05", "2015-03-02"});
  window->tap(vc->todayButton()->center());
  run(2);
  EXPECT_EQ(card(), "2015-03-02");
  EXPECT_EQ(shownDay(), "2015-03-02");
  EXPECT_EQ(vc->dateScorllView()->getScrollView()->percentLabel()->text(), "80%");
  // The list holds nothing any more: the card is cleared and the ranking
  // says there is no data rather than looking for a day.
  writeDays({});
  vc->todayEvent();
  run(1);
  EXPECT_EQ(card(), "");
  EXPECT_EQ(takeAlerts(),
            (std::vector<std::string>{"No Data|Go to listen to the music in your iPhone|Okay"}));
}

TEST_F(MainScreen, SwipingTheCarouselMovesBetweenDays) {
  open();
  ns::LogCapture log;
  swipeCarousel(200);  // to the left page: the previous day
  EXPECT_EQ(card(), "2015-03-02");
  EXPECT_EQ(shownDay(), "2015-03-02");
  EXPECT_EQ(topRow(), "One 3.3min");
  EXPECT_TRUE(log.contains("previous，current page:2"));
  swipeCarousel(200);
  EXPECT_EQ(card(), "2015-03-01");
  swipeCarousel(200);  // the oldest day: the page turns, the day stays
  EXPECT_EQ(card(), "2015-03-01");
  swipeCarousel(-200);
  EXPECT_EQ(card(), "2015-03-02");
  EXPECT_TRUE(log.contains("next，current page:"));
  EXPECT_EQ(vc->dateScorllView()->scrollView()->contentOffset().x,
            vc->dateScorllView()->scrollView()->frame().size.width);
  EXPECT_TRUE(takeAlerts().empty());
}

TEST_F(MainScreen, TheSwitchReranksTheShownDayOncePerChange) {
  open();
  swipeCarousel(200);
  ns::LogCapture log;
  swipeSwitch(-200);
  EXPECT_EQ(topRow(), "Zero 9");
  EXPECT_EQ(log.lines().front(), "number");
  swipeSwitch(-200);  // already on the last page: nothing new
  swipeSwitch(-40);   // part-way and back
  EXPECT_EQ(std::count(log.lines().begin(), log.lines().end(), "number"), 1);
  swipeCarousel(-200);  // the mode stays while moving between days
  EXPECT_EQ(topRow(), "Two 1");
  swipeSwitch(200);
  EXPECT_EQ(topRow(), "Two 30.0s");
  EXPECT_TRUE(log.contains("time"));
}

TEST_F(MainScreen, AnOverrunSwipeOfTheSwitchStillReportsWhereItCameToRest) {
  open();
  ns::LogCapture log;
  // A fast swipe far past the last page: it stretches, springs back onto
  // "Number" and the ranking follows.
  swipeSwitch(-420, 0.1);
  EXPECT_EQ(vc->controlView()->controlScrollView()->contentOffset().x,
            vc->controlView()->controlScrollView()->frame().size.width);
  EXPECT_EQ(topRow(), "Two 1");
  // Overrunning again, and past the first page from "Time": nothing new.
  swipeSwitch(-300, 0.1);
  swipeSwitch(400, 0.1);
  EXPECT_EQ(topRow(), "Two 30.0s");
  swipeSwitch(200, 0.1);
  EXPECT_EQ(vc->controlView()->controlScrollView()->contentOffset().x, 0);
  // (The number mode's load logs its ranking too.)
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"number", "(\n    \"2:1\"\n)", "time"}));
}

TEST_F(MainScreen, ALongSwipeAcrossTheCarouselLandsOnADay) {
  open();
  swipe(CGPointMake(40, 200), CGPointMake(300, 200), 0.1);
  swipe(CGPointMake(300, 200), CGPointMake(20, 200), 0.5);
  UIScrollView* strip = vc->dateScorllView()->scrollView();
  EXPECT_EQ(strip->contentOffset().x, strip->frame().size.width);  // at rest in the middle
  EXPECT_EQ(card(), shownDay());
  EXPECT_TRUE(takeAlerts().empty());
}

TEST_F(MainScreen, ATypedDayJumpsThereOrIsRefusedWithTheFieldRestored) {
  open();
  UITextField* field = vc->dateScorllView()->getScrollView()->DateLabel();
  for (const char* typed : {"2015-03-09", "../..", "2015-03-05/../../..", "."}) {
    window->tap(field->convertPointToView(CGPointMake(10, 10), nullptr));
    while (!field->text().empty()) field->deleteBackward();
    field->insertText(typed);
    field->insertReturn();
    run(0.5);
    EXPECT_EQ(takeAlerts(), (std::vector<std::string>{
                                "Can't Found Data|please Enter again         (Note that the "
                                "format:2015-01-01)|Okay"}))
        << typed;
    EXPECT_EQ(field->text(), "2015-03-05");
  }
  window->tap(field->convertPointToView(CGPointMake(10, 10), nullptr));
  while (!field->text().empty()) field->deleteBackward();
  field->insertText("2015-03-01");
  field->insertReturn();
  run(1);
  EXPECT_TRUE(takeAlerts().empty());
  EXPECT_EQ(shownDay(), "2015-03-01");
  EXPECT_FALSE(field->isFirstResponder());
  // Refused after the jump: the field goes back to the day the list shows.
  window->tap(field->convertPointToView(CGPointMake(10, 10), nullptr));
  field->insertText("x");
  field->insertReturn();
  run(0.5);
  EXPECT_EQ(takeAlerts().size(), 1u);
  EXPECT_EQ(field->text(), "2015-03-01");
  EXPECT_EQ(shownDay(), "2015-03-01");
  // The next swipe goes on from where the carousel stood before the jump.
  swipeCarousel(200);
  EXPECT_EQ(card(), "2015-03-02");
}

TEST_F(MainScreen, TheDateListSlidesInAndPicksADayAfterSlidingAway) {
  open();
  window->tap(vc->dateButton()->center());
  showDetailDataTableView* list = vc->showDetailTableView();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->center().y, 284);
  EXPECT_EQ(list->presentationCenter().y, -284);
  run(0.35);
  EXPECT_EQ(list->presentationCenter().y, 284);
  std::vector<std::string> rows;
  for (UITableViewCell* cell : list->tableView()->visibleCells())
    rows.push_back(dynamic_cast<CellView*>(objc::objc_getAssociatedObject(cell, kCellViewKey))
                       ->MusicLabel()
                       ->text());
  EXPECT_EQ(rows, (std::vector<std::string>{"2015-03-05", "2015-03-02", "2015-03-01"}));
  EXPECT_EQ(frameText(list->tableView()->frame()), "8.00,28.40 304.00x511.20");

  // Row two, tapped over its middle dot: the row is picked, not its button.
  window->tap(CGPointMake(250, 28.4 + 75));
  run(0.2);
  EXPECT_EQ(card(), "2015-03-05");  // still sliding away
  EXPECT_LT(list->presentationCenter().y, 284);
  run(0.2);
  EXPECT_EQ(card(), "2015-03-02");
  run(1);
  EXPECT_EQ(shownDay(), "2015-03-02");
  EXPECT_TRUE(takeAlerts().empty());
  EXPECT_EQ(list->superview(), nullptr);  // done with, not left to pile up
}

TEST_F(MainScreen, OpeningTheListManyTimesLeavesNothingBehind) {
  open();
  objc::Weak<showDetailDataTableView> first;
  for (int i = 0; i < 20; ++i) {
    vc->MenuEvent();
    if (i == 0) first = vc->showDetailTableView();
    run(0.4);
    window->tap(CGPointMake(160, 28.4 + 25));
    run(0.5);
  }
  EXPECT_EQ(vc->view()->subviews().size(), 5u);
  EXPECT_FALSE(first);  // released once slid away and replaced
  EXPECT_EQ(card(), "2015-03-05");
}

TEST_F(MainScreen, AnUnreadableDayListShowsErrorEverywhere) {
  testsupport::writeHostFile(root.host(corvane::kDateArrayPath), "not a plist");
  open();
  EXPECT_EQ(card(), "Error");
  for (auto& c : vc->dateScorllView()->fetchContentView())
    EXPECT_EQ(c->DateLabel()->text(), "Error");
  std::vector<std::string> alerts = takeAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].substr(0, 16), "Can't Found Data");
  vc->MenuEvent();
  EXPECT_EQ(takeAlerts(), (std::vector<std::string>{"can't Found Data||ok"}));
  EXPECT_EQ(vc->showDetailTableView()->dateArr(), (std::vector<std::string>{"Error"}));
}

TEST_F(MainScreen, AfterALaunchOnAnEmptyDayListEveryWayToADayShowsIt) {
  // The recorder writes the day list empty before its first day: the
  // ranking starts on "no day", and the first day asked for must be shown.
  struct Way {
    const char* name;
    std::function<void()> go;
    const char* day;
    const char* top;
  };
  UITextField* field = nullptr;
  const Way ways[] = {
      {"typed",
       [&] {
         window->tap(field->convertPointToView(CGPointMake(10, 10), nullptr));
         while (!field->text().empty()) field->deleteBackward();
         field->insertText("2015-03-01");
         field->insertReturn();
       },
       "2015-03-01", "Zero 1.7min"},
      {"today", [&] { window->tap(vc->todayButton()->center()); }, "2015-03-05", "Two 30.0s"},
      {"picked",
       [&] {
         vc->MenuEvent();
         run(0.4);
         window->tap(CGPointMake(250, 28.4 + 75));  // the second row: 2015-03-02
       },
       "2015-03-02", "One 3.3min"},
  };
  for (const Way& way : ways) {
    writeDays({});
    open();
    EXPECT_EQ(shownDay(), "") << way.name;
    EXPECT_EQ(takeAlerts(),
              (std::vector<std::string>{"No Data|Go to listen to the music in your iPhone|Okay"}))
        << way.name;
    writeDays({"2015-03-01", "2015-03-02", "2015-03-05"});
    field = vc->dateScorllView()->getScrollView()->DateLabel();
    way.go();
    run(2);
    EXPECT_TRUE(takeAlerts().empty()) << way.name;
    EXPECT_EQ(shownDay(), way.day) << way.name;
    EXPECT_EQ(topRow(), way.top) << way.name;
  }
}

TEST_F(MainScreen, TheCarouselAndTheListAreReleasedWithTheScreen) {
  open();
  objc::Weak<DateScrollView> carousel(vc->dateScorllView());
  objc::Weak<showDataTableView> ranking(vc->showTableView());
  run(3);  // let the count-ups end
  window = nullptr;
  vc = nullptr;
  EXPECT_FALSE(carousel);
  EXPECT_FALSE(ranking);
}

TEST_F(MainScreen, LettingGoMidCountUpReleasesTheCards) {
  open();
  vc->todayEvent();
  run(0.05);  // the ring's count-up is running
  objc::Weak<DateCellView> card(vc->dateScorllView()->getScrollView());
  ASSERT_TRUE(card->labelAniTimer()->isValid());
  window = nullptr;
  vc = nullptr;
  EXPECT_FALSE(card);
}
