// Table cells. A new cell is 320 x 44 points until its table lays it out at
// the row's height and the table's width. The content view, the background
// view and the selected background view follow the cell's size; views added
// to the cell itself keep their frames.
#pragma once

#include <string>

#include "UIKit/UILabel.h"
#include "UIKit/UIView.h"

using UITableViewCellStyle = NSInteger;
enum : NSInteger {
  UITableViewCellStyleDefault = 0,
  UITableViewCellStyleValue1 = 1,
  UITableViewCellStyleValue2 = 2,
  UITableViewCellStyleSubtitle = 3,
};

using UITableViewCellSelectionStyle = NSInteger;
enum : NSInteger {
  UITableViewCellSelectionStyleNone = 0,
  UITableViewCellSelectionStyleBlue = 1,
  UITableViewCellSelectionStyleGray = 2,
  UITableViewCellSelectionStyleDefault = 3,
};

class UITableViewCell : public UIView {
  OBJC_CLASS(UITableViewCell)
 public:
  // initWithStyle:reuseIdentifier:; an empty identifier means the cell is
  // not reused.
  UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
  ~UITableViewCell() override;

  static constexpr double kDefaultWidth = 320;
  static constexpr double kDefaultHeight = 44;

  UITableViewCellStyle style() const { return style_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  UIView* contentView() const { return contentView_.get(); }
  // Made on first use, inside the content view, 15 points in from each side.
  UILabel* textLabel();

  // The background colour is white unless set, as the platform's plain cells.
  UIView* backgroundView() const { return backgroundView_.get(); }
  void setBackgroundView(UIView* view);

  UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
  // Shown behind the content while the cell is selected. Without one, a
  // selected cell shows a light grey view unless the selection style is none.
  UIView* selectedBackgroundView() const { return selectedBackgroundView_.get(); }
  void setSelectedBackgroundView(UIView* view);

  bool isSelected() const { return selected_; }
  void setSelected(bool selected) { setSelected(selected, false); }
  // Animated or not, the change takes effect at once.
  void setSelected(bool selected, bool animated);

  // Called by the table just before the cell is handed out again by
  // dequeueReusableCellWithIdentifier: clears the selection.
  virtual void prepareForReuse();

  void layoutSubviews() override;
  // The separator of the table the cell is a row of: a hairline along the
  // bottom, 15 points in from the left, unless the table shows none.
  void drawOverlay(UIDrawing& drawing, CGRect bounds) const override;
  void digestContent(UIDigest& digest) const override;

 private:
  // The nearest table among the cell's ancestors, if any.
  UITableView* enclosingTableView() const;
  // The view shown while selected: the one set, or the default grey one.
  UIView* selectionView();
  void updateSelectionView();

  UITableViewCellStyle style_;
  std::string reuseIdentifier_;
  objc::Ref<UIView> contentView_;
  objc::Ref<UILabel> textLabel_;
  objc::Ref<UIView> backgroundView_;
  objc::Ref<UIView> selectedBackgroundView_;
  objc::Ref<UIView> defaultSelectedView_;
  objc::Ref<UIView> shownSelectionView_;  // a subview while selected
  UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleDefault;
  bool selected_ = false;
};
