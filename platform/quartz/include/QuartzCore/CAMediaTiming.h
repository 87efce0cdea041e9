// Timing of layer animations: the clock, timing curves and fill modes.
#pragma once

#include <string>

// The animation clock: the main run loop's clock, in seconds. Animations,
// timers and the date all read this one clock, so tests drive them together.
double CACurrentMediaTime();

// A cubic Bézier timing curve through (0,0), (x1,y1), (x2,y2), (1,1).
class CAMediaTimingFunction {
 public:
  constexpr CAMediaTimingFunction() : CAMediaTimingFunction(0, 0, 1, 1) {}
  constexpr CAMediaTimingFunction(double x1, double y1, double x2, double y2)
      : x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}

  static CAMediaTimingFunction linear() { return {0, 0, 1, 1}; }
  static CAMediaTimingFunction easeIn() { return {0.42, 0, 1, 1}; }
  static CAMediaTimingFunction easeOut() { return {0, 0, 0.58, 1}; }
  static CAMediaTimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }
  // By the platform's names: "linear", "easeIn", "easeOut", "easeInEaseOut",
  // "default"; an unknown name gives linear.
  static CAMediaTimingFunction functionWithName(const std::string& name);

  // Progress (0..1) of the value at time fraction t (0..1).
  double evaluate(double t) const;

  bool operator==(const CAMediaTimingFunction&) const = default;

 private:
  double x1_, y1_, x2_, y2_;
};

inline const char* const kCAMediaTimingFunctionLinear = "linear";
inline const char* const kCAMediaTimingFunctionEaseIn = "easeIn";
inline const char* const kCAMediaTimingFunctionEaseOut = "easeOut";
inline const char* const kCAMediaTimingFunctionEaseInEaseOut = "easeInEaseOut";
inline const char* const kCAMediaTimingFunctionDefault = "default";

// What an animation shows outside its active time.
enum class CAFillMode { Removed, Forwards, Backwards, Both };
inline constexpr CAFillMode kCAFillModeRemoved = CAFillMode::Removed;
inline constexpr CAFillMode kCAFillModeForwards = CAFillMode::Forwards;
inline constexpr CAFillMode kCAFillModeBackwards = CAFillMode::Backwards;
inline constexpr CAFillMode kCAFillModeBoth = CAFillMode::Both;
