// Dates on the main run loop's clock, formatted in the local time zone.
#pragma once

#include <string>

namespace ns {

// Formats a time (seconds since the epoch) in the local time zone (TZ is
// honoured) with a date pattern; the patterns the system uses are
// "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss".
std::string formatDate(double time, const std::string& pattern);

// "yyyy-MM-dd" of the clock's current date: the key of one day.
std::string currentDayKey();

}  // namespace ns
