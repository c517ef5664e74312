// Rows printed as text for people (aligned blocks), CSV or JSON lines. The
// writers take one row at a time and hold at most one block of text rows, so
// a table of any size streams through them.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace quillmark::cli {

// The columns the rows are printed under (UTF-8 names); numbers line up on the
// right in the text format.
struct RowColumns {
  std::vector<std::string> names;
  std::vector<bool> rightAligned;
};

class RowWriter {
 public:
  virtual ~RowWriter() = default;
  // One text per column, UTF-8.
  virtual void Row(const std::vector<std::string>& cells) = 0;
  virtual void Finish() {}
};

// text: aligned blocks of 100 rows, one-line cells, then the row count; csv:
// RFC 4180 with CRLF line ends and a header line; jsonl: the names as a JSON
// array, then one array of texts per row. Throws CliError for another format.
std::unique_ptr<RowWriter> MakeRowWriter(const std::string& format, const RowColumns& columns, std::ostream& out);

// A cell on one line: a line break shows as "↵", other control characters as a
// blank, and a cell longer than 40 code points ends in "…".
std::string OneLineCell(const std::string& text);
std::vector<std::string> OneLineCells(const std::vector<std::string>& texts);

}  // namespace quillmark::cli
