// The content of one row in the app's two lists: a title on the left and,
// on the right, a value that a tap fades to the share in percent and back.
// A tap on the left half shows the song's title and artist-album text. The
// creator fills the properties; the view reads no files.
#pragma once

#include <optional>
#include <string>

#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIView.h"

// The association key under which a table cell keeps its row view. Keys
// are compared by address: one array, one address, in every file that uses
// it (a pointer to a literal could differ from file to file).
inline constexpr char kCellViewKey[] = "cellView";

class CellView : public UIView {
  OBJC_CLASS(CellView)
 public:
  // initWithCellView:
  explicit CellView(CGRect frame);
  ~CellView() override;

  // Title into the left label, the value text into the right one.
  void PutValueDone();
  // The song alert (left half).
  void alertMusicInfo();
  // Fades the right label between the value and the percentage (right half).
  void numberToTPercent();
  // The title in white into the left label (the date list's rows).
  void freshData();

  double MinNum() const { return MinNum_; }
  void setMinNum(double v) { MinNum_ = v; }
  double Percent() const { return Percent_; }
  void setPercent(double v) { Percent_ = v; }
  // Nullopt is nil.
  const std::optional<std::string>& MusicName() const { return MusicName_; }
  void setMusicName(std::optional<std::string> v) { MusicName_ = std::move(v); }
  UILabel* MusicLabel() const { return MusicLabel_.get(); }
  void setMusicLabel(UILabel* v) { MusicLabel_ = v; }
  UILabel* InfoLabel() const { return InfoLabel_.get(); }
  void setInfoLabel(UILabel* v) { InfoLabel_ = v; }
  bool isNumber() const { return isNumber_; }
  void setIsNumber(bool v) { isNumber_ = v; }
  const std::optional<std::string>& MusicAlbum() const { return MusicAlbum_; }
  void setMusicAlbum(std::optional<std::string> v) { MusicAlbum_ = std::move(v); }

  // For tests: whether the next tap brings the percentage.
  bool isPercent() const { return isPercent_; }

 private:
  void fadeInfoTo(bool toPercent);

  objc::Ref<UIButton> musicButton_;
  objc::Ref<UIButton> infoButton_;
  bool isPercent_ = false;
  bool isNumber_ = false;
  std::optional<std::string> MusicName_;
  objc::Ref<UILabel> MusicLabel_;
  objc::Ref<UILabel> InfoLabel_;
  std::optional<std::string> MusicAlbum_;
  double MinNum_ = 0;
  double Percent_ = 0;
};
