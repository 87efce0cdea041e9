// Everything of the view toolkit.
#pragma once

#include "QuartzCore/QuartzCore.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIClassFactory.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIControl.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UISlider.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIView.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"
#if __has_include("UIKit/NSIndexPath.h")
#include "UIKit/NSIndexPath.h"
#endif
#if __has_include("UIKit/UIScrollView.h")
#include "UIKit/UIScrollView.h"
#endif
#if __has_include("UIKit/UITableView.h")
#include "UIKit/UITableView.h"
#endif
#if __has_include("UIKit/UITableViewCell.h")
#include "UIKit/UITableViewCell.h"
#endif
