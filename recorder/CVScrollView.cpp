#include "CVScrollView.h"

OBJC_CLASS_IMPL(CVScrollView, UIScrollView, nullptr)
