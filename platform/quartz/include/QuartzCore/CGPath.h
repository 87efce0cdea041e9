// A path as a list of elements, kept symbolically (arcs stay arcs) so that
// tests can read back what was built and a renderer can draw it exactly.
// Coordinates are those of the layer that draws it, y growing downwards.
#pragma once

#include <vector>

#include "QuartzCore/CGGeometry.h"

struct CGPathElement {
  enum class Type { MoveTo, LineTo, Arc, Close };
  Type type = Type::MoveTo;
  CGPoint point;          // MoveTo, LineTo: the point; Arc: the centre
  double radius = 0;      // Arc
  double startAngle = 0;  // Arc, radians; 0 points right, positive turns down
  double sweep = 0;       // Arc: signed angle swept, positive = clockwise on screen
};

class CGPath {
 public:
  CGPath() = default;

  void moveTo(CGPoint p);
  void lineTo(CGPoint p);
  // An arc from startAngle to endAngle around centre. Clockwise (on a screen
  // whose y axis points down) sweeps through increasing angles. The sweep is
  // at most one full turn; equal angles give an empty arc.
  void addArc(CGPoint centre, double radius, double startAngle, double endAngle, bool clockwise);
  void addRect(CGRect rect);
  // A rounded rectangle: four lines joined by quarter arcs.
  void addRoundedRect(CGRect rect, double cornerRadius);
  void closeSubpath();

  const std::vector<CGPathElement>& elements() const { return elements_; }
  bool isEmpty() const { return elements_.empty(); }
  CGPoint currentPoint() const { return current_; }
  // The smallest rectangle holding every point the path passes through.
  CGRect boundingBox() const;
  // The path as a polyline with segments of at most maxStep points along
  // arcs; each subpath is one vector.
  std::vector<std::vector<CGPoint>> flatten(double maxStep = 1.0) const;
  // Total length of the flattened path.
  double length() const;

  bool operator==(const CGPath&) const;

 private:
  std::vector<CGPathElement> elements_;
  CGPoint current_;
  CGPoint subpathStart_;
};

bool operator==(const CGPathElement& a, const CGPathElement& b);
