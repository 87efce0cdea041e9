#include "Foundation/Log.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"

namespace ns {

namespace {

std::mutex gMutex;
LogCapture* gInnermost = nullptr;  // guarded by gMutex

const char* processName() {
#ifdef __GLIBC__
  return program_invocation_short_name;
#else
  return getprogname();
#endif
}

std::string prefix() {
  const double now = currentTime();
  const double whole = std::floor(now);
  const int millis = std::min(static_cast<int>((now - whole) * 1000), 999);
  const time_t seconds = static_cast<time_t>(whole);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return stringWithFormat("%04d-%02d-%02d %02d:%02d:%02d.%03d %s[%ld] ", tm.tm_year + 1900,
                          tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis,
                          processName(), static_cast<long>(getpid()));
}

void writeLine(const std::string& line) {
  // One write() so lines of concurrent writers never interleave; the loop
  // only continues after a short write.
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

LogCapture::LogCapture() {
  std::lock_guard lock(gMutex);
  outer_ = gInnermost;
  gInnermost = this;
}

LogCapture::~LogCapture() {
  std::lock_guard lock(gMutex);
  // Unlink this capture even if captures end out of order.
  for (LogCapture** p = &gInnermost; *p; p = &(*p)->outer_) {
    if (*p == this) {
      *p = outer_;
      break;
    }
  }
}

bool LogCapture::contains(std::string_view text) const {
  for (const std::string& line : lines_)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

void NSLogv(const char* format, va_list args) {
  std::string message = stringWithFormatV(format, args);
  bool echo = true;
  {
    std::lock_guard lock(gMutex);
    if (gInnermost) {
      gInnermost->lines_.push_back(message);
      echo = std::getenv("CORVANE_LOG_ECHO") != nullptr;
    }
  }
  if (!echo) return;
  std::string line = prefix() + message;
  if (line.empty() || line.back() != '\n') line += '\n';
  writeLine(line);
}

void NSLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  NSLogv(format, args);
  va_end(args);
}

}  // namespace ns
