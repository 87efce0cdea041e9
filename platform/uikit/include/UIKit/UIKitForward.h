// The toolkit's classes by name, for headers that only point at them: a
// header that names a type does not pull in its definition (and the
// definitions' own includes).
#pragma once

class NSIndexPath;
class UIAlertView;
class UIAlertViewDelegate;
class UIApplication;
class UIApplicationDelegate;
class UIBezierPath;
class UIButton;
class UIColor;
class UIControl;
class UIDigest;
class UIDrawing;
class UIEvent;
class UIFont;
class UIGestureRecognizer;
class UIImage;
class UIImageCache;
class UIImageView;
class UIKeyInput;
class UILabel;
class UILayoutScheduler;
class UIPanGestureRecognizer;
class UIResponder;
class UIScreen;
class UIScrollView;
class UIScrollViewDelegate;
class UISlider;
class UITableView;
class UITableViewCell;
class UITableViewDataSource;
class UITableViewDelegate;
class UITapGestureRecognizer;
class UITextField;
class UITextFieldDelegate;
class UITouch;
class UIView;
class UIViewController;
class UIWindow;
