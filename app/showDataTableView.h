// The ranking list: the songs of one day ranked by seconds listened (time
// mode) or by plays (number mode), one row each, and the top song's share
// handed to the day's card. It reads the day's files at every load; the
// ranking itself is plain logic (core/DayRanking.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Foundation/PropertyListCache.h"
#include "Protocols.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIView.h"
#include "core/StoreReader.h"

class showDataTableView : public UIView,
                          public UITableViewDataSource,
                          public UITableViewDelegate,
                          public DataTableViewRefreshProtocol,
                          public TimeOfNumberRefreshProtocol {
  OBJC_CLASS(showDataTableView)
 public:
  // initWithShowView: reads the day list and loads the newest day by time.
  explicit showDataTableView(CGRect frame);
  ~showDataTableView() override;

  // DataTableViewRefreshProtocol: shows the day named on the card, in the
  // current mode.
  void freshDataTableView(DateCellView* card) override;
  // TimeOfNumberRefreshProtocol: loads dateString by seconds / by plays.
  void freshToTime() override;
  void freshToNumber() override;

  // --- properties -------------------------------------------------------------
  UITableView* tableView() const { return tableView_.get(); }
  void setTableView(UITableView* t) { tableView_ = t; }
  // Nullopt when the file could not be read (nil).
  const std::optional<corvane::app::TextTable>& MusicNameDic() const { return MusicNameDic_; }
  void setMusicNameDic(std::optional<corvane::app::TextTable> d) { MusicNameDic_ = std::move(d); }
  const std::optional<corvane::app::TextTable>& MusicAlbumDic() const { return MusicAlbumDic_; }
  void setMusicAlbumDic(std::optional<corvane::app::TextTable> d) { MusicAlbumDic_ = std::move(d); }
  // The ranking entries of the current day in the current mode, best first.
  const std::vector<std::string>& MusicDataTimeArray() const { return MusicDataTimeArray_; }
  void setMusicDataTimeArray(std::vector<std::string> a) { MusicDataTimeArray_ = std::move(a); }
  const std::vector<std::string>& dateArray() const { return dateArray_; }
  void setDateArray(std::vector<std::string> a) { dateArray_ = std::move(a); }
  const std::string& dateString() const { return dateString_; }
  void setDateString(std::string s) { dateString_ = std::move(s); }
  double MusicTotal() const { return MusicTotal_; }
  void setMusicTotal(double t) { MusicTotal_ = t; }
  bool isNumber() const { return isNumber_; }
  void setIsNumber(bool n) { isNumber_ = n; }
  // The carousel; held strongly (the main screen breaks the cycle).
  objc::Object* delegate() const { return delegate_.get(); }
  void setDelegate(objc::Object* d) { delegate_ = d; }

  // --- table ------------------------------------------------------------------
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override;
  CGFloat tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath*) override { return 50.0; }
  objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* table,
                                                            NSIndexPath* indexPath) override;
  void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath*) override {}

 private:
  void loadDay(bool plays);

  objc::Ref<UITableView> tableView_;
  std::optional<corvane::app::TextTable> MusicNameDic_;
  std::optional<corvane::app::TextTable> MusicAlbumDic_;
  std::vector<std::string> MusicDataTimeArray_;
  // Made empty at construction and never used: kept so the view's
  // properties are the ones the other views and tests expect.
  corvane::app::TextMap MusicDataNumberDic_;
  corvane::app::TextMap MusicDataPercentDic_;
  std::vector<std::string> dateArray_;
  std::string dateString_;
  double MusicTotal_ = 0;
  bool isNumber_ = false;
  objc::Ref<objc::Object> delegate_;
  // IntMusicData.plist is read at every load of a day but parsed again
  // only when it changed.
  ns::PropertyListCache titlesFile_;
};
