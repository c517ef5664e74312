#include "details/CsvExport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "platform/headless/HeadlessControls.h"
#include "builder/FixtureBuilder.h"

namespace quillmark {
namespace {

using testing::Bytes;
using testing::TempDir;
using testing::Utf16;

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The records list as a table page leaves it: the table's columns in front of
// the list's own untitled column.
void FillPage(platform::RecordsList& list, const std::vector<std::u16string>& titles,
              const std::vector<std::vector<std::u16string>>& rows) {
  for (int i = 0; i < static_cast<int>(titles.size()); ++i) list.InsertColumn(i, titles[static_cast<std::size_t>(i)], 100);
  for (const auto& row : rows) list.InsertRow(list.RowCount(), row);
}

TEST(CsvExportTest, PlainPageIsTitlesThenRowsInUtf16WithoutByteOrderMark) {
  TempDir dir;
  platform::headless::Window window;  // its list starts with the untitled column
  FillPage(window.records, {u"id", u"name", u"city"}, {{u"1", u"Ann", u"Oslo"}, {u"2", u"Bo", u""}});

  ASSERT_TRUE(WriteCsv(window.records, (dir / "page.csv").string()));
  EXPECT_EQ(ReadBytes(dir / "page.csv"), Utf16(u"id,name,city,\r\n1,Ann,Oslo,\r\n2,Bo,,\r\n"));
}

TEST(CsvExportTest, FieldsThatWouldShiftCellsAreQuoted) {
  struct Case {
    std::u16string cell;
    std::u16string written;
  };
  const Case cases[] = {
      {u"a,b", u"\"a,b\""},
      {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
      {u"two\r\nlines", u"\"two\r\nlines\""},
      {u"line\nfeed", u"\"line\nfeed\""},
      {u"plain text", u"plain text"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cell.begin(), c.cell.end()));
    TempDir dir;
    platform::headless::List list;
    FillPage(list, {u"a,title"}, {{c.cell}});
    ASSERT_TRUE(WriteCsv(list, (dir / "cells.csv").string()));
    EXPECT_EQ(ReadBytes(dir / "cells.csv"), Utf16(u"\"a,title\"\r\n" + c.written + u"\r\n"));
  }
}

TEST(CsvExportTest, TextViewSelectionGivesTheHeaderLineOnly) {
  TempDir dir;
  platform::headless::Window window;
  ASSERT_TRUE(WriteCsv(window.records, (dir / "empty.csv").string()));
  EXPECT_EQ(ReadBytes(dir / "empty.csv"), Utf16(u"\r\n"));
}

TEST(CsvExportTest, ExistingFileIsReplaced) {
  TempDir dir;
  testing::WriteFile(dir / "old.csv", Bytes(64, 0x41));
  platform::headless::List list;
  FillPage(list, {u"x"}, {{u"1"}});
  ASSERT_TRUE(WriteCsv(list, (dir / "old.csv").string()));
  EXPECT_EQ(ReadBytes(dir / "old.csv"), Utf16(u"x\r\n1\r\n"));
}

TEST(CsvExportTest, FileThatCannotBeCreatedFails) {
  TempDir dir;
  platform::headless::List list;
  FillPage(list, {u"x"}, {{u"1"}});
  EXPECT_FALSE(WriteCsv(list, (dir / "missing" / "page.csv").string()));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(CsvExportTest, FailedWriteIsReported) {
  platform::headless::List list;
  FillPage(list, {u"x"}, {{u"1"}});
  EXPECT_FALSE(WriteCsv(list, "/dev/full"));
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

// A file-size limit makes the writes into a regular file fail part way.
TEST(CsvExportTest, PartialFileIsRemovedWhenAWriteFails) {
  TempDir dir;
  platform::headless::List list;
  FillPage(list, {u"x"}, {{std::u16string(5000, u'v')}});

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool written = WriteCsv(list, (dir / "partial.csv").string());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_FALSE(std::filesystem::exists(dir / "partial.csv"));
}

TEST(CsvExportTest, SuggestedNameIsTheObjectNameAndAnUnderscore) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Orders", u"Orders_"},
      {u"a/b", u"a_b_"},
      {u"a\\b:c*d?e\"f<g>h|i", u"a_b_c_d_e_f_g_h_i_"},
      {u"tab\there\x7F", u"tab_here__"},
      {u"50%_off", u"50%_off_"},
      {u"", u"_"},
  };
  for (const auto& [name, suggested] : cases) EXPECT_EQ(SuggestedCsvName(name), suggested);
}

}  // namespace
}  // namespace quillmark
