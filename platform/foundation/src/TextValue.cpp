#include "Foundation/TextValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include "Utf8.h"

namespace ns {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Index of the first non-blank character, and the sign after it.
size_t skipBlanksAndSign(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

// Whether a decimal number from_chars found out of range was too large
// (rather than too small): its order of magnitude decides.
bool isTooLarge(std::string_view number) {
  const size_t e = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, e);
  long long exponent = 0;
  if (e != std::string_view::npos) {
    size_t i = e + 1;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
    for (; i < number.size() && isDigit(number[i]); ++i)
      exponent = std::min(exponent * 10 + (number[i] - '0'), 1'000'000'000'000LL);
    if (negative) exponent = -exponent;
  }
  const size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  size_t dot = mantissa.find('.');
  if (dot == std::string_view::npos) dot = mantissa.size();
  const long long order =
      first < dot ? static_cast<long long>(dot - first - 1) : -static_cast<long long>(first - dot);
  return order + exponent > 0;
}

}  // namespace

int32_t intValue(std::string_view text) {
  bool negative;
  size_t i = skipBlanksAndSign(text, &negative);
  constexpr int64_t kLimit = int64_t{1} << 31;  // |INT32_MIN|
  int64_t value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i)
    value = std::min(value * 10 + (text[i] - '0'), kLimit);
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

double doubleValue(std::string_view text) {
  bool negative;
  const size_t i = skipBlanksAndSign(text, &negative);
  // from_chars takes no sign of its own and would accept "inf" and "nan".
  if (i >= text.size() || !(isDigit(text[i]) || text[i] == '.')) return 0;
  const char* begin = text.data() + i;
  const char* end = text.data() + text.size();
  double value = 0;
  const auto [stop, err] = std::from_chars(begin, end, value, std::chars_format::general);
  if (err == std::errc::invalid_argument) return 0;
  if (err == std::errc::result_out_of_range)
    value = isTooLarge(std::string_view(begin, static_cast<size_t>(stop - begin)))
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  return negative ? -value : value;
}

std::string stringWithFormatV(const char* format, va_list args) {
  if (!format) return {};
  char small[256];
  va_list probe;
  va_copy(probe, args);
  const int n = std::vsnprintf(small, sizeof small, format, probe);
  va_end(probe);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, args);
  return out;
}

std::string stringWithFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = stringWithFormatV(format, args);
  va_end(args);
  return out;
}

std::string describeOrNull(const std::string* text) {
  return text ? *text : "(null)";
}

size_t utf16Length(std::string_view text) {
  size_t units = 0;
  for (size_t i = 0; i < text.size();) {
    const utf8::Step step = utf8::decode(text, i);
    units += step.valid && step.codePoint > 0xFFFF ? 2 : 1;
    i += step.length;
  }
  return units;
}

std::string utf16Prefix(std::string_view text, size_t units) {
  size_t i = 0;
  while (i < text.size()) {
    const utf8::Step step = utf8::decode(text, i);
    const size_t need = step.valid && step.codePoint > 0xFFFF ? 2 : 1;
    if (need > units) break;
    units -= need;
    i += step.length;
  }
  return std::string(text.substr(0, i));
}

}  // namespace ns
