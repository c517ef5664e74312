#include "cli/TextTable.h"

#include <algorithm>

namespace quillmark::cli {
namespace {

// The code points a terminal shows two columns wide: the East Asian wide and
// full-width ranges (Hangul Jamo, CJK, kana, Hangul syllables, full-width forms).
bool Wide(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},  {0x3400, 0x4DBF},
                                    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
                                    {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x20000, 0x2FFFD},
                                    {0x30000, 0x3FFFD}};
  for (const Range& range : kWide)
    if (c >= range.first && c <= range.last) return true;
  return false;
}

}  // namespace

// Cells are UTF-8: a column is as wide as its cells take terminal columns.
std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && at + k < text.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    width += Wide(c) ? 2 : 1;
    at += length;
  }
  return width;
}

namespace {

void PrintLine(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths,
               const std::vector<bool>& rightAligned, std::ostream& out) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::string padding(widths[i] - DisplayWidth(cells[i]), ' ');
    if (i > 0) line += "  ";
    line += i < rightAligned.size() && rightAligned[i] ? padding + cells[i] : cells[i] + padding;
  }
  line.erase(line.find_last_not_of(' ') + 1);
  out << line << "\n";
}

}  // namespace

void PrintTable(const TextTable& table, std::ostream& out) {
  std::vector<std::size_t> widths;
  for (const std::string& name : table.header) widths.push_back(DisplayWidth(name));
  for (const auto& row : table.rows)
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
      widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  PrintLine(table.header, widths, table.rightAligned, out);
  for (const auto& row : table.rows) PrintLine(row, widths, table.rightAligned, out);
}

}  // namespace quillmark::cli
