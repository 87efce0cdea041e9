// The commands behind run(), each given input already checked.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "StoreReading.h"

namespace corvane::storetool {

// Both ends included.
struct Period {
  int32_t from;
  int32_t to;
};

enum class Measure { Time, Plays };
enum class Group { Song, Record };

struct TopRequest {
  Period period;
  Measure by = Measure::Time;
  Group group = Group::Song;
  size_t limit = 20;  // 0: all
};

int printTop(const TopRequest& request, const std::vector<RecordedDay>& days, std::FILE* out,
             Reporter& reporter);

// The app's value text: seconds as "%0.1fmin" above 61, else "%0.1fs";
// plays as a whole number.
std::string valueText(double value, Measure measure);
// The app's share text, "%0.1f%%" of the total; 0 when the total is none.
std::string shareText(double value, double total);

enum class ChartKind { Calendar, Top, Daily };

struct ChartRequest {
  ChartKind kind = ChartKind::Calendar;
  TopRequest top;  // the period (top and daily) and the ranking (top)
  int year = 0;    // calendar
  std::string out;
  bool svg = false;
  double scale = 1.5;  // PNG pixels a point
};

// Draws the chart and replaces `out` with it whole.
int writeChart(const ChartRequest& request, const std::vector<RecordedDay>& days, std::FILE* err,
               Reporter& reporter);

enum class Format { Csv, Json };

int exportDiary(Format format, Period period, const std::vector<RecordedDay>& days, std::FILE* out,
                Reporter& reporter);

struct GenerateRequest {
  int32_t days = 1095;
  int32_t titles = 50000;
  uint64_t seed = 1;
  int32_t start = 0;  // first day
  bool force = false;
};

int generateStore(const GenerateRequest& request, std::FILE* out, std::FILE* err);

// The day-by-day printout of the whole store.
int showStore(std::FILE* out, std::FILE* err);

// Ends the output; a failed write (full disk, closed pipe) is an error.
int finishOutput(std::FILE* out, std::FILE* err);

}  // namespace corvane::storetool
