#include "Table.h"

#include <algorithm>
#include <cstdint>

namespace corvane::storetool {

namespace {

// One code point from text at i, moving i past it; an invalid byte reads as
// itself with length one (returned as 0xFFFD's width class: one column).
char32_t nextCodePoint(const std::string& text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = length == 1 ? b : b & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  i += length;
  return c;
}

struct Range {
  char32_t first, last;
};

bool inRanges(char32_t c, const Range* ranges, size_t n) {
  for (size_t k = 0; k < n; ++k)
    if (c >= ranges[k].first && c <= ranges[k].last) return true;
  return false;
}

// Combining marks, joiners and other characters that take no column.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0670, 0x0670}, {0x06D6, 0x06DC}, {0x0900, 0x0902}, {0x093C, 0x093C}, {0x0941, 0x0948},
    {0x094D, 0x094D}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, and emoji presentation.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x26AA, 0x26AB},
    {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26F2, 0x26F5},   {0x2705, 0x2705},
    {0x270A, 0x270B},   {0x2728, 0x2728},   {0x274C, 0x274C},   {0x2753, 0x2755},
    {0x2795, 0x2797},   {0x2B1B, 0x2B1C},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x18AFF}, {0x1B000, 0x1B2FF},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A},
    {0x1F200, 0x1F251}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB},
    {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x3FFFD},
};

size_t codePointWidth(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
  if (inRanges(c, kZeroWidth, std::size(kZeroWidth))) return 0;
  return inRanges(c, kWide, std::size(kWide)) ? 2 : 1;
}

}  // namespace

size_t displayWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) width += codePointWidth(nextCodePoint(text, i));
  return width;
}

std::string validUtf8(const std::string& text) {
  std::string valid;
  valid.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const char32_t c = nextCodePoint(text, i);
    const bool replaced = c == 0xFFFD && !(i - start == 3 && text.compare(start, 3, "\uFFFD") == 0);
    if (replaced)
      valid += "\uFFFD";
    else
      valid.append(text, start, i - start);
  }
  return valid;
}

std::string oneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const char32_t c = nextCodePoint(text, i);
    // C0 and C1 controls, and the line and paragraph separators.
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029)
      line += ' ';
    else
      line.append(text, start, i - start);
  }
  return line;
}

std::string cutToWidth(const std::string& text, size_t columns) {
  if (displayWidth(text) <= columns) return text;
  if (columns == 0) return "";
  std::string cut;
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const size_t w = codePointWidth(nextCodePoint(text, i));
    if (width + w > columns - 1) break;  // one column stays for the ellipsis
    width += w;
    cut.append(text, start, i - start);
  }
  return cut + "\u2026";
}

void Table::add(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  for (size_t c = 0; c < cells.size(); ++c) {
    cells[c] = oneLine(cells[c]);
    if (columns_[c].maxWidth) cells[c] = cutToWidth(cells[c], columns_[c].maxWidth);
  }
  rows_.push_back(std::move(cells));
}

void Table::print(std::FILE* out, const std::string& indent, size_t gap) const {
  std::vector<size_t> widths;
  for (const Column& column : columns_)
    widths.push_back(std::max(column.minWidth, displayWidth(column.heading)));
  for (const auto& row : rows_)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));

  auto line = [&](const std::vector<std::string>& cells) {
    std::string text = indent;
    for (size_t c = 0; c < cells.size(); ++c) {
      const bool last = c + 1 == cells.size();
      const std::string padding(widths[c] - displayWidth(cells[c]), ' ');
      if (c) text.append(gap, ' ');
      if (columns_[c].align == Align::Right) text += padding;
      text += cells[c];
      if (columns_[c].align == Align::Left && !last) text += padding;
    }
    while (text.size() > indent.size() && text.back() == ' ') text.pop_back();
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), out);
  };
  std::vector<std::string> headings;
  for (const Column& column : columns_) headings.push_back(column.heading);
  line(headings);
  for (const auto& row : rows_) line(row);
}

}  // namespace corvane::storetool
