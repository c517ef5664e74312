#include "cli/RowWriters.h"

#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/TextTable.h"

namespace quillmark::cli {
namespace {

constexpr std::size_t kBlockRows = 100;
constexpr std::size_t kCellWidth = 40;  // code points, the "…" included

// RFC 4180: CRLF line ends, a field holding a comma, quote or line break quoted
// with its quotes doubled.
class CsvWriter : public RowWriter {
 public:
  CsvWriter(const std::vector<std::string>& names, std::ostream& out) : out_(out) { Row(names); }
  void Row(const std::vector<std::string>& cells) override {
    for (const std::string& text : cells) Field(text);
    EndLine();
  }

 private:
  void Field(const std::string& text) {
    if (!atLineStart_) line_ += ',';
    atLineStart_ = false;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
      line_ += text;
      return;
    }
    line_ += '"';
    for (char c : text) {
      if (c == '"') line_ += '"';
      line_ += c;
    }
    line_ += '"';
  }
  void EndLine() {
    line_ += "\r\n";
    out_ << line_;
    line_.clear();
    atLineStart_ = true;
  }

  std::ostream& out_;
  std::string line_;
  bool atLineStart_ = true;
};

// The names as a JSON array on the first line, then one array of texts per row.
class JsonLinesWriter : public RowWriter {
 public:
  JsonLinesWriter(const std::vector<std::string>& names, std::ostream& out) : out_(out) { Row(names); }
  void Row(const std::vector<std::string>& cells) override {
    out_ << nlohmann::json(cells).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }

 private:
  std::ostream& out_;
};

// Aligned tables of up to kBlockRows rows, each under the column names: the
// rows stream, so each block is as wide as its own cells.
class TextWriter : public RowWriter {
 public:
  TextWriter(const RowColumns& columns, std::ostream& out) : out_(out) {
    table_.header = OneLineCells(columns.names);
    table_.rightAligned = columns.rightAligned;
  }
  void Row(const std::vector<std::string>& cells) override {
    table_.rows.push_back(OneLineCells(cells));
    ++count_;
    if (table_.rows.size() == kBlockRows) PrintBlock();
  }
  void Finish() override {
    if (!table_.rows.empty() || blocks_ == 0) PrintBlock();
    out_ << count_ << (count_ == 1 ? " row\n" : " rows\n");
  }

 private:
  void PrintBlock() {
    if (blocks_++ > 0) out_ << "\n";
    PrintTable(table_, out_);
    table_.rows.clear();
  }

  std::ostream& out_;
  TextTable table_;
  std::size_t count_ = 0;
  std::size_t blocks_ = 0;
};

}  // namespace

std::string OneLineCell(const std::string& text) {
  std::string shown;
  std::size_t points = 0;
  std::size_t lastFit = 0;  // where the last code point that fits before "…" starts
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) {
      if (++points == kCellWidth) lastFit = shown.size();
      if (points > kCellWidth) return shown.substr(0, lastFit) + "…";
    }
    if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      --points;  // CR LF is one line break
    } else if (byte == '\r' || byte == '\n') {
      shown += "↵";
    } else {
      shown += byte < 0x20 ? ' ' : text[i];
    }
  }
  return shown;
}

std::vector<std::string> OneLineCells(const std::vector<std::string>& texts) {
  std::vector<std::string> cells;
  cells.reserve(texts.size());
  for (const std::string& text : texts) cells.push_back(OneLineCell(text));
  return cells;
}

std::unique_ptr<RowWriter> MakeRowWriter(const std::string& format, const RowColumns& columns, std::ostream& out) {
  if (format == "text") return std::make_unique<TextWriter>(columns, out);
  if (format == "csv") return std::make_unique<CsvWriter>(columns.names, out);
  if (format == "jsonl") return std::make_unique<JsonLinesWriter>(columns.names, out);
  throw CliError("unknown format '" + format + "': expected text, csv or jsonl");
}

}  // namespace quillmark::cli
