// Text-to-number conversions, printf formatting and UTF-16 lengths as the
// platform's string class has them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ns {

// Skips leading white space (space, \t, \n, \v, \f, \r), takes an optional
// sign and the leading decimal digits; anything else reads as 0. Values
// beyond the 32-bit range saturate to INT32_MAX or INT32_MIN.
int32_t intValue(std::string_view text);

// The same with a decimal point and an exponent, independent of the C
// locale. A magnitude too large for a double gives +/-infinity, one too
// small gives 0; "inf", "nan" and hexadecimal forms read as 0.
double doubleValue(std::string_view text);

// printf formatting into a string; a null format gives "".
std::string stringWithFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string stringWithFormatV(const char* format, va_list args)
    __attribute__((format(printf, 1, 0)));

// What "%@" prints for an optional string: its text, or "(null)".
std::string describeOrNull(const std::string* text);

// Length in UTF-16 units: characters above U+FFFF count 2. Each invalid
// UTF-8 subpart counts 1, as the U+FFFD that would replace it.
size_t utf16Length(std::string_view utf8);

// The bytes of the first `units` UTF-16 units; stops before a character
// whose surrogate pair would be cut in half.
std::string utf16Prefix(std::string_view utf8, size_t units);

}  // namespace ns
