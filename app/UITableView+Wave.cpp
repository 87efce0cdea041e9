#include "Foundation/NSArray.h"
#include "UITableView+Wave.h"

namespace wave {

namespace {

int factorOf(objc::id argument) {
  auto* number = dynamic_cast<ns::NSNumber*>(argument);
  return number ? number->intValue() : 0;
}

objc::id reloadIMP(objc::id self, objc::SEL, objc::id argument) {
  if (auto* table = dynamic_cast<UITableView*>(self))
    reloadDataAnimateWithWave(table, factorOf(argument));
  return nullptr;
}
objc::id visibleRowsIMP(objc::id self, objc::SEL, objc::id argument) {
  if (auto* table = dynamic_cast<UITableView*>(self))
    visibleRowsBeginAnimation(table, factorOf(argument));
  return nullptr;
}
objc::id animationStartIMP(objc::id self, objc::SEL, objc::id argument) {
  auto* table = dynamic_cast<UITableView*>(self);
  auto* array = dynamic_cast<ns::NSArray*>(argument);
  if (table && array) animationStart(table, array);
  return nullptr;
}

// The category is part of the app: its methods join the class as the app
// loads, before any table is made.
struct Loader {
  Loader() { installWaveCategory(); }
} loader;

}  // namespace

void installWaveCategory() {
  objc::Class* cls = UITableView::classObject();
  cls->addMethod(objc::sel_registerName("reloadDataAnimateWithWave:"), reloadIMP, "v@:i");
  cls->addMethod(objc::sel_registerName("visibleRowsBeginAnimation:"), visibleRowsIMP, "v@:i");
  cls->addMethod(objc::sel_registerName("animationStart:"), animationStartIMP, "v@:@");
}

void reloadDataAnimateWithWave(UITableView* table, int factor) {
  // Setting the offset to itself stops a scroll or deceleration in progress.
  table->setContentOffset(table->contentOffset());
  objc::Ref<UITableView> keep(table);
  UIView::animateWithDuration(
      0.2,
      [keep] {
        keep->setHidden(true);
        keep->reloadData();
      },
      [keep, factor](bool) {
        keep->setHidden(false);
        objc::objc_msgSend(keep.get(),
                           "visibleRowsBeginAnimation:", ns::NSNumber::numberWithInt(factor).get());
      });
}

void visibleRowsBeginAnimation(UITableView* table, int factor) {
  auto paths = table->indexPathsForVisibleRows();
  for (size_t i = 0; i < paths.size(); ++i) {
    if (UITableViewCell* cell = table->cellForRowAtIndexPath(paths[i])) cell->setHidden(true);
    auto argument = ns::NSArray::arrayWithObjects({paths[i], ns::NSNumber::numberWithInt(factor)});
    ns::performSelectorAfterDelay(table, objc::sel_registerName("animationStart:"), argument,
                                  0.1 * static_cast<double>(i + 1));
  }
}

void animationStart(UITableView* table, ns::NSArray* argument) {
  auto* indexPath = dynamic_cast<NSIndexPath*>(argument->objectAtIndex(0));
  auto* number = dynamic_cast<ns::NSNumber*>(argument->objectAtIndex(1));
  if (!indexPath || !number) return;
  float a = number->floatValue();
  objc::Ref<UITableViewCell> cell(table->cellForRowAtIndexPath(indexPath));
  if (!cell) return;  // the row left the screen before its turn
  CGPoint c = cell->center();
  float width = cell->frame().size.width;
  cell->setCenter(CGPointMake(width * a, c.y));
  UIView::animateWithDuration(
      0.05, 0, UIViewAnimationOptionCurveEaseOut,
      [cell, c, a] {
        cell->setCenter(CGPointMake(c.x - 2 * a, c.y));
        cell->setHidden(false);
      },
      [cell, c, a](bool) {
        UIView::animateWithDuration(
            0.1, 0, UIViewAnimationOptionCurveEaseIn,
            [cell, c, a] { cell->setCenter(CGPointMake(c.x + 2 * a, c.y)); },
            [cell, c](bool) {
              UIView::animateWithDuration(
                  0.1, 0, UIViewAnimationOptionCurveEaseIn, [cell, c] { cell->setCenter(c); },
                  nullptr);
            });
      });
}

}  // namespace wave
