#include "cli/TextTable.h"

#include <algorithm>

namespace quillmark::cli {
namespace {

// Cells are UTF-8: a column is as wide as its cells have code points.
std::size_t DisplayWidth(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

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
