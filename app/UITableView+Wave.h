// The wave reload: the table reloads while hidden, then its visible rows
// come in one after another from the side with a small bounce. An extension
// of the toolkit's table view: the three operations are also added to
// UITableView's run-time class under their selectors, and the row starts
// are scheduled through the run loop by selector.
#pragma once

#include "Foundation/NSArray.h"
#include "UIKit/UITableView.h"

namespace wave {

// reloadDataAnimateWithWave:
void reloadDataAnimateWithWave(UITableView* table, int factor);
// visibleRowsBeginAnimation:
void visibleRowsBeginAnimation(UITableView* table, int factor);
// animationStart: with [index path, number of the factor]
void animationStart(UITableView* table, ns::NSArray* argument);

// Adds the operations to UITableView's class (done when the app loads;
// calling again does nothing).
void installWaveCategory();

}  // namespace wave
