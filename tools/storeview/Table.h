// Text tables for a terminal: columns line up by display width (UTF-8; wide
// East Asian characters take two columns, combining marks none), and every
// cell is one line whatever the store's text holds.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace corvane::storetool {

// Columns a terminal gives the text. Bytes that are not UTF-8 count one each.
size_t displayWidth(const std::string& text);

// The text with each byte that is not UTF-8 replaced by U+FFFD.
std::string validUtf8(const std::string& text);

// Line breaks, tabs and other control characters become spaces.
std::string oneLine(const std::string& text);

// The text cut to at most `columns` columns, ending in "…" when cut; a
// combining mark stays with its letter.
std::string cutToWidth(const std::string& text, size_t columns);

class Table {
 public:
  enum class Align { Left, Right };
  struct Column {
    std::string heading;
    Align align = Align::Left;
    size_t minWidth = 0;
    size_t maxWidth = 0;  // 0: as wide as the widest cell
  };

  explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}
  void add(std::vector<std::string> cells);
  // Each line starts with `indent`; columns are `gap` spaces apart, and the
  // last one is not padded.
  void print(std::FILE* out, const std::string& indent = "", size_t gap = 2) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace corvane::storetool
