// `rows`: a table's rows as text for people (aligned blocks), CSV or JSON lines.
#include <memory>
#include <nlohmann/json.hpp>

#include "catalog/TypeCode.h"
#include "cli/Commands.h"
#include "cli/TableRows.h"
#include "cli/TextTable.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

constexpr std::size_t kBlockRows = 100;
constexpr std::size_t kCellWidth = 40;  // code points, the "…" included

std::vector<std::string> Utf8Cells(const DecodedRow& row) {
  std::vector<std::string> cells;
  cells.reserve(row.size());
  for (const std::u16string& text : row) cells.push_back(platform::Utf16ToUtf8(text));
  return cells;
}

class RowWriter {
 public:
  virtual ~RowWriter() = default;
  virtual void Row(const DecodedRow& row) = 0;
  virtual void Finish() {}
};

// RFC 4180: CRLF line ends, a field holding a comma, quote or line break quoted
// with its quotes doubled.
class CsvWriter : public RowWriter {
 public:
  CsvWriter(const std::vector<std::string>& names, std::ostream& out) : out_(out) {
    for (const std::string& name : names) Field(name);
    EndLine();
  }
  void Row(const DecodedRow& row) override {
    for (const std::u16string& text : row) Field(platform::Utf16ToUtf8(text));
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
  JsonLinesWriter(const std::vector<std::string>& names, std::ostream& out) : out_(out) { Line(names); }
  void Row(const DecodedRow& row) override { Line(Utf8Cells(row)); }

 private:
  void Line(const std::vector<std::string>& cells) {
    out_ << nlohmann::json(cells).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }

  std::ostream& out_;
};

bool IsNumber(std::uint32_t typeCode) {
  switch (typeCode) {
    case kBigInt:
    case kInt:
    case kSmallInt:
    case kTinyInt:
    case kMoney:
    case kSmallMoney:
    case kFloat:
    case kReal:
    case kNumeric:
    case kDecimal:
      return true;
    default:
      return false;
  }
}

// A cell on one line: a line break shows as "↵", other control characters as a
// blank, and a cell longer than kCellWidth ends in "…".
std::string Shown(const std::string& text) {
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

// Aligned tables of up to kBlockRows rows, each under the column names: the
// rows stream, so each block is as wide as its own cells.
class TextWriter : public RowWriter {
 public:
  TextWriter(const std::vector<ColumnLayout>& layouts, std::ostream& out) : out_(out) {
    for (const ColumnLayout& layout : layouts) {
      table_.header.push_back(Shown(platform::Utf16ToUtf8(layout.name)));
      table_.rightAligned.push_back(IsNumber(layout.typeCode));
    }
  }
  void Row(const DecodedRow& row) override {
    std::vector<std::string> cells = Utf8Cells(row);
    for (std::string& cell : cells) cell = Shown(cell);
    table_.rows.push_back(std::move(cells));
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

std::unique_ptr<RowWriter> WriterFor(const std::string& format, const std::vector<ColumnLayout>& layouts,
                                     std::ostream& out) {
  if (format == "text") return std::make_unique<TextWriter>(layouts, out);
  std::vector<std::string> names;
  for (const ColumnLayout& layout : layouts) names.push_back(platform::Utf16ToUtf8(layout.name));
  if (format == "csv") return std::make_unique<CsvWriter>(names, out);
  if (format == "jsonl") return std::make_unique<JsonLinesWriter>(names, out);
  throw CliError("unknown format '" + format + "': expected text, csv or jsonl");
}

}  // namespace

void RowsCommand(DatabaseCatalog& catalog, const RowsRequest& request, std::ostream& out) {
  ModuleTextStore store;
  std::vector<ColumnLayout> layouts = ResolveTable(catalog, request.table, store);
  const auto writer = WriterFor(request.format, layouts, out);
  std::uint64_t skipped = 0;
  std::uint64_t written = 0;
  const auto take = [&](const DecodedRow& row) {
    if (skipped < request.offset) {
      ++skipped;
      return true;
    }
    writer->Row(row);
    return !request.limit || ++written < *request.limit;
  };
  if (!request.limit || *request.limit > 0) ReadTableRows(catalog, layouts, take);
  writer->Finish();
}

}  // namespace quillmark::cli
