#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "UIKitFixture.h"

namespace {

// A data source and delegate that counts what the table asks of it.
class FakeRows : public objc::Object, public UITableViewDataSource, public UITableViewDelegate {
 public:
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override { return rows; }
  objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* table,
                                                            NSIndexPath* path) override {
    ++cellRequests;
    if (giveNoCell) return nullptr;
    objc::Ref<UITableViewCell> cell = table->dequeueReusableCellWithIdentifier("Cell");
    if (!cell) {
      cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
      ++cellsMade;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%ld.%ld", path->section(), path->row());
    cell->textLabel()->setText(text);
    auto clearSelection = objc::make<UIView>(cell->frame());
    clearSelection->setBackgroundColor(UIColor::clearColor());
    cell->setSelectedBackgroundView(clearSelection);
    return cell;
  }
  CGFloat tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath*) override { return height; }
  void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath* path) override {
    selections.push_back(path->row());
  }
  void scrollViewDidScroll(UIScrollView* scroll) override {
    auto rows = static_cast<UITableView*>(scroll)->indexPathsForVisibleRows();
    firstRowSeenWhileScrolling = rows.empty() ? -1 : rows.front()->row();
  }

  NSInteger rows = 20;
  CGFloat height = 50;
  bool giveNoCell = false;
  int cellRequests = 0;
  int cellsMade = 0;
  std::vector<NSInteger> selections;
  NSInteger firstRowSeenWhileScrolling = -2;
};

// The table's cells as they sit among its subviews, one line each.
std::string cellsOf(UITableView* table) {
  std::string text;
  for (const auto& view : table->subviews()) {
    if (!view->isKindOfClass(UITableViewCell::classObject())) continue;
    auto* cell = static_cast<UITableViewCell*>(view.get());
    CGRect f = cell->frame();
    char line[96];
    std::snprintf(line, sizeof line, "%s at %g,%g %gx%g\n", cell->textLabel()->text().c_str(),
                  f.origin.x, f.origin.y, f.size.width, f.size.height);
    text += line;
  }
  return text;
}

std::string rowsOf(const std::vector<objc::Ref<NSIndexPath>>& paths) {
  std::string text;
  for (const auto& p : paths)
    text += std::to_string(p->section()) + "." + std::to_string(p->row()) + " ";
  return text;
}

objc::Ref<NSIndexPath> row(NSInteger r, NSInteger section = 0) {
  return NSIndexPath::indexPathForRow(r, section);
}

class TableViewTest : public UIKitTest {
 protected:
  void SetUp() override {
    table = objc::make<UITableView>(CGRectMake(0, 0, 320, 200), UITableViewStylePlain);
    rows = objc::make<FakeRows>();
    table->setDataSource(rows);
    table->setDelegate(rows);
  }

  // The visible rows and how many cells were asked for and made so far.
  std::string seen() {
    std::string visible = rowsOf(table->indexPathsForVisibleRows());  // lays out first
    return visible + "| asked " + std::to_string(rows->cellRequests) + ", made " +
           std::to_string(rows->cellsMade);
  }

  objc::Ref<UITableView> table;
  objc::Ref<FakeRows> rows;
};

TEST_F(TableViewTest, FillsOnlyTheRowsInsideItsBounds) {
  EXPECT_EQ(seen(), "0.0 0.1 0.2 0.3 | asked 4, made 4");
  EXPECT_EQ(cellsOf(table),
            "0.0 at 0,0 320x50\n"
            "0.1 at 0,50 320x50\n"
            "0.2 at 0,100 320x50\n"
            "0.3 at 0,150 320x50\n");
  EXPECT_EQ(table->contentSize(), CGSizeMake(320, 1000));
  EXPECT_NE(table->cellForRowAtIndexPath(row(3)), nullptr);
  EXPECT_EQ(table->cellForRowAtIndexPath(row(4)), nullptr);
  EXPECT_EQ(table->rectForRowAtIndexPath(row(4)), CGRectMake(0, 200, 320, 50));
  EXPECT_EQ(table->indexPathForRowAtPoint(CGPointMake(10, 260))->row(), 5);
  EXPECT_EQ(seen(), "0.0 0.1 0.2 0.3 | asked 4, made 4");
}

TEST_F(TableViewTest, ScrollingRecyclesTheCellsOfRowsThatLeave) {
  table->layoutIfNeeded();
  table->setContentOffset(CGPointMake(0, 50));
  EXPECT_EQ(rows->firstRowSeenWhileScrolling, 1);
  EXPECT_EQ(seen(), "0.1 0.2 0.3 0.4 | asked 5, made 4");
  // Half rows at both ends: five rows, and the pool is empty, so a new cell.
  table->setContentOffset(CGPointMake(0, 25));
  EXPECT_EQ(seen(), "0.0 0.1 0.2 0.3 0.4 | asked 6, made 5");
  table->setContentOffset(CGPointMake(0, 600));
  EXPECT_EQ(cellsOf(table),
            "0.12 at 0,600 320x50\n"
            "0.13 at 0,650 320x50\n"
            "0.14 at 0,700 320x50\n"
            "0.15 at 0,750 320x50\n");
  EXPECT_EQ(seen(), "0.12 0.13 0.14 0.15 | asked 10, made 5");
  EXPECT_EQ(table->reusableCellCount("Cell"), 1u);
  EXPECT_EQ(table->cellForRowAtIndexPath(row(0)), nullptr);
}

TEST_F(TableViewTest, DraggingScrollsAndRecycles) {
  table->layoutIfNeeded();
  table->beginDrag(CGPointMake(100, 190));
  for (int i = 1; i <= 10; ++i) {
    clock.advance(0.1);
    table->moveDrag(CGPointMake(100, 190 - 12 * i));
  }
  clock.advance(0.5);
  table->endDrag(CGPointMake(100, 70));
  clock.advance(1);
  EXPECT_EQ(table->contentOffset(), CGPointMake(0, 120));
  EXPECT_EQ(seen(), "0.2 0.3 0.4 0.5 0.6 | asked 7, made 5");
}

TEST_F(TableViewTest, ReloadDataReadsTheRowsAgainAndReusesTheCells) {
  table->layoutIfNeeded();
  table->selectRowAtIndexPath(row(1), false);
  rows->rows = 2;
  table->reloadData();
  EXPECT_EQ(table->indexPathForSelectedRow(), nullptr);
  EXPECT_EQ(seen(), "0.0 0.1 | asked 6, made 4");
  EXPECT_EQ(table->reusableCellCount("Cell"), 2u);
  EXPECT_EQ(table->contentSize(), CGSizeMake(320, 100));
  for (UITableViewCell* cell : table->visibleCells()) EXPECT_FALSE(cell->isSelected());
  rows->rows = 0;
  table->reloadData();
  EXPECT_EQ(seen(), "| asked 6, made 4");
  EXPECT_EQ(cellsOf(table), "");
}

// A short day shown after a long one that was scrolled down.
TEST_F(TableViewTest, FewerRowsBringTheOffsetBackAtTheNextLayout) {
  auto window = objc::make<UIWindow>(CGRectMake(0, 0, 320, 568));
  window->makeKeyAndVisible();
  window->addSubview(table);
  rows->rows = 30;
  table->reloadData();
  table->layoutIfNeeded();
  table->setContentOffset(CGPointMake(0, 1300));
  EXPECT_EQ(rowsOf(table->indexPathsForVisibleRows()), "0.26 0.27 0.28 0.29 ");

  rows->rows = 3;
  table->reloadData();
  rows->firstRowSeenWhileScrolling = -2;
  clock.advance(0);  // the layout pass
  EXPECT_EQ(table->contentOffset(), CGPointZero);
  EXPECT_FALSE(table->isDecelerating());
  // scrollViewDidScroll was sent, with the new rows already in place.
  EXPECT_EQ(rows->firstRowSeenWhileScrolling, 0);
  EXPECT_EQ(rowsOf(table->indexPathsForVisibleRows()), "0.0 0.1 0.2 ");
  EXPECT_EQ(cellsOf(table),
            "0.0 at 0,0 320x50\n"
            "0.1 at 0,50 320x50\n"
            "0.2 at 0,100 320x50\n");

  // Short content does not move under a drag, unless asked to bounce; then
  // it stretches and springs back.
  auto drag = [&](double dy) {
    table->beginDrag(CGPointMake(100, 100));
    for (int i = 1; i <= 5; ++i) {
      clock.advance(1.0 / 60);
      table->moveDrag(CGPointMake(100, 100 + dy * i / 5));
    }
    table->endDrag(CGPointMake(100, 100 + dy));
    return table->contentOffset().y;
  };
  EXPECT_EQ(drag(-100), 0);
  table->setAlwaysBounceVertical(true);
  double pulled = drag(100);
  EXPECT_LT(pulled, -20);
  EXPECT_GT(pulled, -100);
  EXPECT_TRUE(table->isDecelerating());
  clock.advance(1);
  EXPECT_EQ(table->contentOffset(), CGPointZero);
  window->tap(CGPointMake(100, 75));
  EXPECT_EQ(rows->selections, std::vector<NSInteger>{1});

  // A reload under a finger waits for the lift.
  rows->rows = 30;
  table->reloadData();
  table->setContentOffset(CGPointMake(0, 1300));
  table->beginDrag(CGPointMake(100, 100));
  rows->rows = 5;
  table->reloadData();
  clock.advance(0);
  EXPECT_EQ(table->contentOffset(), CGPointMake(0, 1300));
  table->endDrag(CGPointMake(100, 100));
  clock.advance(1);
  EXPECT_EQ(table->contentOffset(), CGPointMake(0, 50));
  EXPECT_EQ(rowsOf(table->indexPathsForVisibleRows()), "0.1 0.2 0.3 0.4 ");
}

TEST_F(TableViewTest, CellsTakeTheRowsSizeAndKeepTheirRowViews) {
  // Without a delegate every row is 44 points; the table is 300 wide.
  auto narrow = objc::make<UITableView>(CGRectMake(0, 0, 300, 100));
  narrow->setDataSource(rows);
  ASSERT_EQ(narrow->visibleCells().size(), 3u);
  UITableViewCell* second = narrow->visibleCells()[1];
  UIView* rowView = addView(second, CGRectMake(0, 0, 272.34f, 44));
  EXPECT_EQ(second->frame(), CGRectMake(0, 44, 300, 44));
  EXPECT_EQ(rowView->frame(), CGRectMake(0, 0, 272.34f, 44));
  narrow->setDelegate(rows);
  narrow->layoutIfNeeded();
  EXPECT_EQ(narrow->visibleCells()[0]->contentView()->frame(), CGRectMake(0, 0, 300, 50));
}

TEST_F(TableViewTest, ATapOnARowSelectsItADragDoesNot) {
  auto window = objc::make<UIWindow>(CGRectMake(0, 0, 320, 568));
  window->makeKeyAndVisible();
  table->setFrame(CGRectMake(0, 100, 320, 200));
  window->addSubview(table);

  window->tap(CGPointMake(200, 100 + 75));
  ASSERT_EQ(rows->selections, std::vector<NSInteger>{1});
  ASSERT_NE(table->indexPathForSelectedRow(), nullptr);
  EXPECT_EQ(table->indexPathForSelectedRow()->row(), 1);
  UITableViewCell* cell = table->cellForRowAtIndexPath(row(1));
  EXPECT_TRUE(cell->isSelected());
  EXPECT_EQ(cell->selectedBackgroundView()->superview(), cell);
  table->deselectRowAtIndexPath(row(1), true);
  EXPECT_FALSE(cell->isSelected());
  EXPECT_EQ(cell->selectedBackgroundView()->superview(), nullptr);
  EXPECT_EQ(table->indexPathForSelectedRow(), nullptr);

  // A drag that scrolls the table selects nothing.
  window->touchDown(CGPointMake(200, 250));
  for (int i = 1; i <= 5; ++i) {
    clock.advance(0.1);
    window->touchMove(CGPointMake(200, 250 - 20 * i));
  }
  clock.advance(0.5);
  window->touchUp(CGPointMake(200, 150));
  EXPECT_EQ(table->contentOffset(), CGPointMake(0, 100));
  EXPECT_EQ(rows->selections.size(), 1u);

  // A tap that stops a deceleration only stops it.
  window->touchDown(CGPointMake(200, 250));
  clock.advance(0.05);
  window->touchMove(CGPointMake(200, 200));
  window->touchUp(CGPointMake(200, 200));
  clock.advance(0.1);
  ASSERT_TRUE(table->isDecelerating());
  window->tap(CGPointMake(200, 150));
  EXPECT_FALSE(table->isDecelerating());
  EXPECT_EQ(rows->selections.size(), 1u);
}

TEST_F(TableViewTest, AReusedCellComesBackUnselected) {
  table->layoutIfNeeded();
  table->selectRowAtIndexPath(row(0), false);
  UITableViewCell* cell = table->cellForRowAtIndexPath(row(0));
  ASSERT_TRUE(cell->isSelected());
  table->setContentOffset(CGPointMake(0, 50));
  EXPECT_EQ(table->cellForRowAtIndexPath(row(4)), cell);
  EXPECT_FALSE(cell->isSelected());
  // The selection is the table's: the row is selected again when it returns.
  table->setContentOffset(CGPointMake(0, 0));
  EXPECT_TRUE(table->cellForRowAtIndexPath(row(0))->isSelected());
}

TEST_F(TableViewTest, SurvivesALostDataSourceAndMissingCells) {
  rows->giveNoCell = true;
  EXPECT_EQ(table->visibleCells().size(), 4u);

  rows = nullptr;
  EXPECT_EQ(table->dataSource(), nullptr);
  table->reloadData();
  EXPECT_TRUE(table->visibleCells().empty());
  EXPECT_EQ(table->contentSize(), CGSizeMake(320, 0));
}

}  // namespace
