// Everything of the layer toolkit.
#pragma once

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CAMediaTiming.h"
#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CAValue.h"
#include "QuartzCore/CGColor.h"
#include "QuartzCore/CGGeometry.h"
#include "QuartzCore/CGPath.h"
