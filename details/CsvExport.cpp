#include "details/CsvExport.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

#include "platform/CodePage.h"

namespace quillmark {
namespace {

bool NeedsQuotes(const std::u16string& field) {
  return field.find_first_of(u",\"\r\n") != std::u16string::npos;
}

// RFC 4180: a field holding a separator, a quote or a line break goes in
// quotes, each inner quote doubled.
std::u16string CsvField(const std::u16string& field) {
  if (!NeedsQuotes(field)) return field;
  std::u16string quoted = u"\"";
  for (const char16_t c : field) {
    if (c == u'"') quoted += u'"';
    quoted += c;
  }
  return quoted + u'"';
}

bool UnsafeInFileName(char16_t c) {
  return c < 0x20 || c == 0x7F || std::u16string_view(u"/\\:*?\"<>|").find(c) != std::u16string_view::npos;
}

// One line: the fields, "," between them, CR LF after.
std::u16string CsvLine(int columns, const std::function<std::u16string(int)>& field) {
  std::u16string line;
  for (int column = 0; column < columns; ++column) {
    if (column > 0) line += u',';
    line += CsvField(field(column));
  }
  return line + u"\r\n";
}

bool WriteUtf16Le(std::FILE* file, const std::u16string& text) {
  const std::string bytes = platform::Utf16LeBytes(text);
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool IsRegularFile(std::FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::u16string SuggestedCsvName(const std::u16string& objectName) {
  std::u16string name = objectName;
  for (char16_t& c : name)
    if (UnsafeInFileName(c)) c = u'_';
  return name + u"_";
}

bool WriteCsv(const platform::RecordsList& list, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  // Only a file this export wrote is removed on failure, never a device.
  const bool regular = IsRegularFile(file);

  const int columns = list.ColumnCount();
  bool written = WriteUtf16Le(file, CsvLine(columns, [&](int column) { return list.ColumnTitle(column); }));
  for (int row = 0; written && row < list.RowCount(); ++row)
    written = WriteUtf16Le(file, CsvLine(columns, [&](int column) { return list.Text(row, column); }));
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;

  if (!written && regular) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  return written;
}

}  // namespace quillmark
