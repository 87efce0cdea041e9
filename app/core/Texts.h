// The texts the app shows for numbers, with printf's rounding.
#pragma once

#include <string>

namespace corvane::app {

// A song's value: plays as a whole number; seconds as minutes with one
// decimal above 61 seconds ("%0.1fmin"), otherwise as seconds ("%0.1fs").
std::string valueText(double value, bool plays);

// A share in percent with one decimal: "%0.1f%%".
std::string percentText(double percent);

// One step of the card's count-up: "%d%%".
std::string countUpText(int percent);

}  // namespace corvane::app
