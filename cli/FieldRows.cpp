#include "cli/FieldRows.h"

#include <fmt/format.h>

#include <algorithm>

namespace quillmark::cli {

namespace {
constexpr std::size_t kCellWidth = 36;
}

void PrintRow(const std::vector<Field>& fields, std::ostream& out) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string cell = fmt::format("{} = {}", fields[i].first, fields[i].second);
    line += i + 1 == fields.size() ? cell : fmt::format("{:<{}} ", cell, kCellWidth - 1);
  }
  line.erase(line.find_last_not_of(' ') + 1);  // a field may have an empty value
  out << line << "\n";
}

void PrintInRows(const std::vector<Field>& fields, std::size_t perRow, std::ostream& out) {
  for (std::size_t first = 0; first < fields.size(); first += perRow) {
    auto begin = fields.begin() + static_cast<std::ptrdiff_t>(first);
    PrintRow({begin, begin + static_cast<std::ptrdiff_t>(std::min(perRow, fields.size() - first))}, out);
  }
}

}  // namespace quillmark::cli
