// The store tool's commands: the day-by-day printout, period rankings, the
// export and the history generator. The executable is a thin main over run()
// so the benchmarks can time a command without starting a process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace corvane::storetool {

// Runs one command line (the arguments after the program name) on the
// device root of the environment; returns the process exit status: 0 done,
// 1 the store or the output failed, 2 bad input.
int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// Days are counted from 1970-01-01 so that periods are integer ranges.
// A "yyyy-MM-dd" text that names a real day of the Gregorian calendar.
std::optional<int32_t> parseDay(const std::string& text);
std::string dayText(int32_t day);
// The same day of the month `months` months earlier, or that month's last
// day when it is shorter.
int32_t monthsBefore(int32_t day, int months);

}  // namespace corvane::storetool
