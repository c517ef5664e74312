// "name = value" cells set in columns, the way a page dump lays out its fields.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::cli {

using Field = std::pair<std::string, std::string>;

// One line: every cell but the last padded to a column of 36.
void PrintRow(const std::vector<Field>& fields, std::ostream& out);
// `perRow` cells to a line.
void PrintInRows(const std::vector<Field>& fields, std::size_t perRow, std::ostream& out);

}  // namespace quillmark::cli
