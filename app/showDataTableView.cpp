#include "showDataTableView.h"

#include "CellView.h"
#include "CorvaneStore/StoreFormat.h"
#include "DateCellView.h"
#include "Foundation/Log.h"
#include "Foundation/NSArray.h"
#include "Foundation/NSString.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIScreen.h"
#include "UITableView+Wave.h"
#include "core/DayRanking.h"

using namespace corvane::app;

namespace {
void setupShowDataTableView(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("freshToTime"),
                 OBJC_METHOD0(showDataTableView, freshToTime), "v@");
  cls->addMethod(objc::sel_registerName("freshToNumber"),
                 OBJC_METHOD0(showDataTableView, freshToNumber), "v@");
}

std::optional<std::string> lookUp(const std::optional<TextTable>& table, const std::string& key) {
  return table ? table->find(key) : std::nullopt;
}
}  // namespace

OBJC_CLASS_IMPL(showDataTableView, UIView, setupShowDataTableView)

showDataTableView::showDataTableView(CGRect frame) : UIView(frame) {
  dateArray_ = dayListOrError();

  tableView_ = objc::make<UITableView>(CGRectMake(0, 0, frame.size.width, frame.size.height),
                                       UITableViewStylePlain);
  tableView_->setBackgroundColor(UIColor::clearColor());
  tableView_->setDelegate(this);
  tableView_->setDataSource(this);
  addSubview(tableView_);

  // An empty day list (the recorder has not finished its first day yet)
  // has no newest day: the empty text stands for "no day" and loads as a
  // day without data.
  dateString_ = dateArray_.empty() ? "" : dateArray_.back();
  freshToTime();
}

showDataTableView::~showDataTableView() = default;

namespace {
DateCellView* cardOf(objc::Object* delegate) {
  auto* provider = adopting<getScrollViewProtocol>(delegate);
  return provider ? provider->getScrollView() : nullptr;
}
}  // namespace

void showDataTableView::freshDataTableView(DateCellView* card) {
  objc::Ref<showDataTableView> self(this);
  objc::Ref<DateCellView> keepCard(card);
  UIView::animateWithDuration(0.0, [self, keepCard] {
    const std::string cardDay =
        keepCard && keepCard->DateLabel() ? keepCard->DateLabel()->text() : std::string();
    if (self->dateString_.empty()) {
      // "No day" takes the card's day when it names one: a day list that
      // was empty at launch would otherwise keep every later day from view.
      if (corvane::isDayKey(cardDay))
        self->dateString_ = cardDay;
      else
        self->dateString_ = self->dateArray_.empty() ? "" : self->dateArray_.back();
    } else if (keepCard && keepCard->DateLabel()) {
      self->dateString_ = cardDay;
    }
    if (self->isNumber_)
      self->freshToNumber();
    else
      self->freshToTime();
  });
}

void showDataTableView::freshToTime() {
  loadDay(false);
}

void showDataTableView::freshToNumber() {
  loadDay(true);
}

void showDataTableView::loadDay(bool plays) {
  isNumber_ = plays;
  std::optional<DayValues> values = dateString_.empty() ? std::optional<DayValues>(DayValues{})
                                                        : readDayValues(dateString_, plays);
  if (!values) {
    objc::make<UIAlertView>("Can't Found Data",
                            "please reboot your iOS device or reinstail in Cydia", nullptr, "ok")
        ->show();
    return;
  }
  if (values->empty()) {
    // Both modes hide the list for a day without data, so the previous
    // day's rows never stand under the "No Data" alert.
    tableView_->setAlpha(0.0);
    if (DateCellView* card = cardOf(delegate_)) {
      card->setToAngle(0.0);
      card->setPercent(0);
      card->setName(std::string());
      card->startAni();
    }
    objc::make<UIAlertView>("No Data", "Go to listen to the music in your iPhone", nullptr, "Okay")
        ->show();
    return;
  }

  objc::Ref<showDataTableView> self(this);
  auto day = std::make_shared<DayValues>(std::move(*values));
  // The card is asked of the delegate the load was requested under, so the
  // first load, made before the main screen wires the views, updates none.
  objc::Ref<objc::Object> cardProvider = delegate_;
  UIView::animateWithDuration(
      0.0,
      [self, day] {
        self->tableView_->setAlpha(1.0);
        DayRanking ranking = rankDay(*day);
        self->MusicTotal_ = ranking.total;
        self->MusicDataTimeArray_ = std::move(ranking.entries);
        if (self->isNumber_) {
          std::vector<objc::Ref<objc::Object>> texts;
          texts.reserve(self->MusicDataTimeArray_.size());
          for (auto& entry : self->MusicDataTimeArray_) texts.push_back(ns::NSString::make(entry));
          ns::NSLog("%s", ns::describe(ns::NSArray::arrayWithObjects(std::move(texts))).c_str());
        }
        self->MusicNameDic_ = readTitles(self->titlesFile_);
        self->MusicAlbumDic_ = readAlbums(self->dateString_);
      },
      [self, cardProvider](bool) {
        if (DateCellView* card = cardOf(cardProvider)) {
          TopShare top = topShare({self->MusicDataTimeArray_, self->MusicTotal_});
          if (top.hasTop) {
            card->setToAngle(top.angle);
            card->setPercent(top.percent);
            card->setName(lookUp(self->MusicNameDic_, top.number));
          } else {
            card->setToAngle(0.0);
            card->setPercent(0);
            card->setName(std::string());
          }
          card->startAni();
        }
        objc::objc_msgSend(self->tableView_.get(),
                           "reloadDataAnimateWithWave:", ns::NSNumber::numberWithInt(1).get());
      });
}

NSInteger showDataTableView::tableViewNumberOfRowsInSection(UITableView*, NSInteger) {
  return static_cast<NSInteger>(MusicDataTimeArray_.size());
}

objc::Ref<UITableViewCell> showDataTableView::tableViewCellForRowAtIndexPath(
    UITableView* table, NSIndexPath* indexPath) {
  objc::Ref<UITableViewCell> cell = table->dequeueReusableCellWithIdentifier("Cell");
  if (!cell) {
    cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
    double W = UIScreen::mainScreen()->bounds().size.width;
    auto row = objc::make<CellView>(CGRectMake(0, 0, W / 1.175, cell->frame().size.height));
    cell->addSubview(row);
    cell->setBackgroundColor(UIColor::whiteColor()->colorWithAlphaComponent(0.5));
    objc::objc_setAssociatedObject(cell, kCellViewKey, row,
                                   objc::OBJC_ASSOCIATION_RETAIN_NONATOMIC);
  }
  // A cell the wave hid and the table handed out again before its turn
  // would otherwise stay blank.
  cell->setHidden(false);
  auto* row = dynamic_cast<CellView*>(objc::objc_getAssociatedObject(cell, kCellViewKey));
  size_t r = static_cast<size_t>(indexPath->row());
  if (row && r < MusicDataTimeArray_.size()) {
    EntryParts parts = splitEntry(MusicDataTimeArray_[r]);
    row->setMusicAlbum(lookUp(MusicAlbumDic_, parts.number));
    row->setMusicName(lookUp(MusicNameDic_, parts.number));
    row->setIsNumber(isNumber_);
    row->setMinNum(valueOf(parts.value));
    row->setPercent(sharePercent(row->MinNum(), MusicTotal_));
    row->PutValueDone();
  } else if (row) {
    // Asked for a row the new ranking no longer has, between its load and
    // the reload: a blank row until the reload comes.
    row->setMusicName(std::nullopt);
    row->setMusicAlbum(std::nullopt);
    row->MusicLabel()->setText("");
    row->InfoLabel()->setText("");
  }
  auto selected = objc::make<UIView>(cell->frame());
  selected->setBackgroundColor(UIColor::clearColor());
  cell->setSelectedBackgroundView(selected);
  return cell;
}
