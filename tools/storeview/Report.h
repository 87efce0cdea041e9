// A year in review as one self-contained HTML page: the totals, the calendar
// (inline SVG), the longest streak, the most repeated song of a day and the
// top songs and records, all as text a browser can search, copy and read aloud.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "StoreReading.h"

namespace corvane::storetool {

int writeReport(int year, const std::vector<RecordedDay>& days, std::FILE* out, Reporter& reporter);

// Text as HTML (and XML) character data or attribute value: the five
// special characters as references; bytes that are not UTF-8, control
// characters and the two noncharacters XML refuses become U+FFFD or spaces.
std::string htmlText(const std::string& text);

}  // namespace corvane::storetool
