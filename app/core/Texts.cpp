#include "Texts.h"

#include "Foundation/TextValue.h"

namespace corvane::app {

std::string valueText(double value, bool plays) {
  if (plays) return ns::stringWithFormat("%0.0f", value);
  if (value > 61) return ns::stringWithFormat("%0.1fmin", value / 60);
  return ns::stringWithFormat("%0.1fs", value);
}

std::string percentText(double percent) {
  return ns::stringWithFormat("%0.1f%%", percent);
}

std::string countUpText(int percent) {
  return ns::stringWithFormat("%d%%", percent);
}

}  // namespace corvane::app
