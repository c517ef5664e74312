// Records set out as a table: a header row, then one row per record, each
// column as wide as its widest cell.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quillmark::cli {

struct TextTable {
  std::vector<std::string> header;
  std::vector<bool> rightAligned;  // per column; numbers line up on the right
  std::vector<std::vector<std::string>> rows;
};

// Columns are padded by display width: a wide (CJK) character takes two
// terminal columns, any other code point one.
void PrintTable(const TextTable& table, std::ostream& out);

// The terminal columns a UTF-8 text takes.
std::size_t DisplayWidth(const std::string& text);

}  // namespace quillmark::cli
