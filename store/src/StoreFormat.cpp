#include "CorvaneStore/StoreFormat.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"

namespace corvane {

std::string dayFolderPath(const std::string& dayKey) {
  return ns::stringWithFormat("%s/%s", kEverydayDataPath, dayKey.c_str());
}

std::string dayFilePath(const std::string& dayKey, const char* fileName) {
  return ns::stringWithFormat("%s/%s/%s", kEverydayDataPath, dayKey.c_str(), fileName);
}

std::array<std::string, 3> dayFilePaths(const std::string& dayKey) {
  return {dayFilePath(dayKey, kDayFileNames[0]), dayFilePath(dayKey, kDayFileNames[1]),
          dayFilePath(dayKey, kDayFileNames[2])};
}

bool isDayKey(std::string_view s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

std::string numberText(int32_t n) {
  // "%d", without a formatter: every key of a map goes through here.
  char text[16];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, n);
  return std::string(text, end);
}

std::optional<int32_t> songNumber(std::string_view text) {
  // Digits only, no leading zero, within 32 bits: what "%d" gives back.
  if (text.empty() || text.size() > 10 || (text[0] == '0' && text.size() > 1)) return std::nullopt;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(n);
}

namespace {

std::string_view trimmed(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// An <integer>'s value: optional sign, decimal or 0x digits, within 64 bits.
std::optional<std::string> integerText(std::string_view raw) {
  std::string text(trimmed(raw));
  if (text.empty() || text.size() > 64) return std::nullopt;
  const char* start = text.c_str();
  const bool negative = *start == '-';
  if (*start == '-' || *start == '+') ++start;
  int base = 10;
  if (start[0] == '0' && (start[1] == 'x' || start[1] == 'X')) {
    base = 16;
    start += 2;
  }
  if (!std::isxdigit(static_cast<unsigned char>(*start))) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long magnitude = std::strtoull(start, &end, base);
  if (*end || errno == ERANGE || magnitude > static_cast<unsigned long long>(LLONG_MAX))
    return std::nullopt;
  const long long value =
      negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return ns::stringWithFormat("%lld", value);
}

// A <real>'s value in plain decimals, the shortest that reads back as the
// same number: 30.0 gives "30" (a counter stays a whole number), 1e20 its
// 21 digits (never an exponent the count would stop at).
std::optional<std::string> realText(std::string_view raw) {
  std::string text(trimmed(raw));
  if (text.empty() || text.size() > 64) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end || !std::isfinite(value)) return std::nullopt;
  if (value == 0) return "0";
  char out[400];  // the shortest plain decimals of any double fit
  auto [stop, ec] = std::to_chars(out, out + sizeof out, value, std::chars_format::fixed);
  if (ec != std::errc()) return std::nullopt;  // a subnormal: no counter is one
  return std::string(out, stop);
}

}  // namespace

std::optional<std::string> leafText(const ns::PlistValue& value) {
  if (const std::string* s = value.string()) return *s;
  const ns::PlistOther* other = value.other();
  if (!other) return std::nullopt;
  if (other->element == "integer") return integerText(other->text);
  if (other->element == "real") return realText(other->text);
  return std::nullopt;
}

void numbersAsText(ns::PlistDictionary& dictionary) {
  for (auto& [key, value] : dictionary)
    if (!value.isString())
      if (auto text = leafText(value)) value = ns::PlistValue(std::move(*text));
}

int32_t counterCount(std::string_view text) {
  return ns::intValue(text);
}

double counterAmount(std::string_view text) {
  const double v = ns::doubleValue(text);
  return std::isfinite(v) && v > 0 ? v : 0;
}

double leafAmount(const ns::PlistValue& value) {
  auto text = leafText(value);
  return text ? counterAmount(*text) : 0;
}

std::string incrementedCounter(const std::string* text) {
  if (!text) return "1";
  const int32_t value = counterCount(*text);
  return numberText(value == INT32_MAX ? value : value + 1);
}

std::string albumEntry(const std::string* artist, const std::string* album) {
  return ns::describeOrNull(artist) + "-" + ns::describeOrNull(album);
}

}  // namespace corvane
