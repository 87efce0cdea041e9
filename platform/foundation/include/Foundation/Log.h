// The system log: one line per message on standard error, prefixed with the
// date on the run loop's clock (so logs follow the virtual clock in tests),
// the process name and its id:
//   2015-03-05 12:00:00.000 corvane[4242] message
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void NSLogv(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Collects the messages (without prefix) logged while it lives. Captures
// nest: only the innermost one receives. While any capture is active the
// lines reach standard error only when CORVANE_LOG_ECHO is set.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  // Whether any captured message contains text.
  bool contains(std::string_view text) const;
  void clear() { lines_.clear(); }

 private:
  friend void NSLogv(const char*, va_list);
  LogCapture* outer_;
  std::vector<std::string> lines_;
};

}  // namespace ns
