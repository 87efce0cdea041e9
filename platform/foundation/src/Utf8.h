// UTF-8 decoding shared by the text helpers and the property-list writer.
// Invalid input is split into "maximal subparts" the way the WHATWG and
// Unicode recommend, so every consumer counts and replaces it identically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ns::utf8 {

struct Step {
  char32_t codePoint;  // meaningful only when valid
  size_t length;       // bytes consumed, at least 1
  bool valid;
};

// Decodes the sequence that starts at text[i] (i < text.size()).
inline Step decode(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return {b0, 1, true};

  size_t needed;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    needed = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    needed = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    needed = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    return {0, 1, false};  // stray continuation byte, C0/C1 or F5..FF
  }

  size_t k = 1;
  for (; k <= needed; ++k) {
    if (i + k >= text.size()) return {0, k, false};  // truncated
    const unsigned char b = byte(i + k);
    const unsigned char min = k == 1 ? lo : 0x80;
    const unsigned char max = k == 1 ? hi : 0xBF;
    if (b < min || b > max) return {0, k, false};  // the bad byte starts the next step
    cp = (cp << 6) | (b & 0x3F);
  }
  return {cp, k, true};
}

// Characters XML 1.0 can carry: TAB, LF, CR, U+0020..U+D7FF, U+E000..U+FFFD
// and U+10000..U+10FFFF (surrogates never decode as valid).
inline bool isXmlChar(char32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  return c != 0xFFFE && c != 0xFFFF;
}

}  // namespace ns::utf8
