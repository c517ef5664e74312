#include <algorithm>

#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;
using Table = std::vector<std::vector<std::string>>;  // the column names first

Table ParseJsonLines(const std::string& text) {
  Table lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(json::parse(text.substr(at, end - at)).get<std::vector<std::string>>());
  EXPECT_EQ(at, text.size()) << "the last line has no line end";
  return lines;
}

std::string Fixture(const std::string& name) { return RealFixture(name).string(); }

CliRun Rows(const std::string& file, const std::string& table, std::vector<std::string> more = {}) {
  std::vector<std::string> args{"rows", Fixture(file), table};
  args.insert(args.end(), more.begin(), more.end());
  CliRun run = RunCommand(args);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return run;
}

Table RowsAs(const std::string& format, const std::string& file, const std::string& table,
             std::vector<std::string> more = {}) {
  more.insert(more.begin(), {"--format", format});
  const std::string out = Rows(file, table, more).out;
  return format == "csv" ? ParseCsv(out) : ParseJsonLines(out);
}

// The cell of `column` in the first row whose first cell is `key`.
std::string Cell(const Table& table, const std::string& key, const std::string& column) {
  if (table.empty()) return "<no header>";
  const auto& header = table.front();
  const auto name = std::find(header.begin(), header.end(), column);
  if (name == header.end()) return "<no column " + column + ">";
  for (std::size_t r = 1; r < table.size(); ++r)
    if (!table[r].empty() && table[r][0] == key) return table[r].at(static_cast<std::size_t>(name - header.begin()));
  return "<no row " + key + ">";
}

TEST(CliRows, EveryRowOfTheRealTablesInCsvAndJsonLines) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string file;
    std::string table;
    std::size_t rows;
    std::string firstColumn;
  };
  const Case cases[] = {
      {"sql2008r2_northwind.mdf", "Orders", 830, "OrderID"},
      {"sql2008r2_northwind.mdf", "Customers", 91, "CustomerID"},
      {"sql2008r2_northwind.mdf", "Order Details", 2155, "OrderID"},
      {"sql2008r2_northwind.mdf", "Employees", 9, "EmployeeID"},
      {"sql2000_northwind.mdf", "Orders", 830, "OrderID"},
      {"sql2012_musicstore.mdf", "Genres", 10, "GenreID"},
      {"sql2012_musicstore.mdf", "Artists", 137, "ArtistId"},
      {"sql2012_musicstore.mdf", "Albums", 246, "AlbumId"},
      {"sql2016_webtonic.mdf", "Students", 5, "StudentId"},
      {"sql2014_pubs.mdf", "sales", 21, "stor_id"},
      {"sql2014_pubs.mdf", "roysched", 86, "title_id"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.table);
    // Every page: without --all the listing stops at the first 1000 rows, as the window does.
    const Table csv = RowsAs("csv", c.file, c.table, {"--all"});
    EXPECT_EQ(csv, RowsAs("jsonl", c.file, c.table, {"--all"}));
    ASSERT_EQ(csv.size(), c.rows + 1);
    EXPECT_EQ(csv[0][0], c.firstColumn);
    for (const auto& row : csv) EXPECT_EQ(row.size(), csv[0].size());
  }
}

TEST(CliRows, CellsKeepTheirText) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string file;
    std::string table;
    std::string key;
    std::string column;
    std::string text;
  };
  const Case cases[] = {
      {"sql2008r2_northwind.mdf", "Orders", "10249", "ShipCity", "Münster"},
      {"sql2008r2_northwind.mdf", "Orders", "10248", "ShipRegion", "NULL"},
      {"sql2008r2_northwind.mdf", "Employees", "1", "Address", "507 - 20th Ave. E.\r\nApt. 2A"},
      {"sql2000_northwind.mdf", "Orders", "10249", "ShipCity", "Münster"},
      {"sql2012_musicstore.mdf", "Artists", "12", "Name", "Antônio Carlos Jobim"},
      {"sql2016_webtonic.mdf", "Students", "98041", "Firstname", "Ameer "},
      {"sql2012_musicstore.mdf", "Albums", "1", "Price", "8.99"},
      // The clustered key comes first in the record, yet each value lands in its column.
      {"sql2014_pubs.mdf", "sales", "6380", "payterms", "Net 60"},
      {"sql2014_pubs.mdf", "sales", "6380", "title_id", "BU1032"},
      // pubdate left to getdate() keeps its milliseconds, rounded as SQL Server shows 1/300 s ticks.
      {"sql2005_pubs.mdf", "titles", "MC3026", "pubdate", "2004-12-13 16:11:36.553"},
      {"sql2008_pubs.mdf", "titles", "MC3026", "pubdate", "2010-02-14 16:30:50.373"},
      {"sql2008_pubs.mdf", "titles", "PC9999", "pubdate", "2010-02-14 16:30:50.377"},
      {"sql2014_pubs.mdf", "titles", "PC9999", "pubdate", "2016-09-21 17:09:24.993"},
      {"sql2014_pubs.mdf", "titles", "BU1032", "pubdate", "1991-06-12 00:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.table + " " + c.key + " " + c.column);
    EXPECT_EQ(Cell(RowsAs("csv", c.file, c.table), c.key, c.column), c.text);
  }
}

// Values leave the program whole: text, ntext and image of the SQL Server 2000
// file (its legacy decoder) and of the current-format files alike, and a
// max-type value behind an in-row root; --placeholders gives the records
// list's texts instead.
TEST(CliRows, LargeValuesAreWholeUnlessPlaceholdersAreAsked) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string file;
    std::string table;
    std::string key;
    std::string column;
    std::size_t length;
    std::string start;
    std::string placeholder;
  };
  const Case cases[] = {
      {"sql2000_northwind.mdf", "Employees", "1", "Photo", 2 + 2 * 21626, "0x151C2F00", "<BINARY DATA>"},
      {"sql2000_northwind.mdf", "Employees", "1", "Notes", 0, "Education includes a BA in psychology", "<BINARY DATA>"},
      {"sql2008r2_northwind.mdf", "Employees", "1", "Photo", 2 + 2 * 21626, "0x151C2F00", "0x151C2F00"},
      {"sql2005_pubs.mdf", "pub_info", "0736", "pr_info", 65071, "This is sample text data for New Moon Books",
       "<BINARY DATA>"},
      {"sql2008_pubs.mdf", "pub_info", "0736", "pr_info", 65071, "This is sample text data for New Moon Books",
       "This is sample text data for New Moon Books"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.table + " " + c.column);
    for (const char* format : {"csv", "jsonl"}) {
      const std::string whole = Cell(RowsAs(format, c.file, c.table), c.key, c.column);
      EXPECT_EQ(whole.rfind(c.start, 0), 0u) << whole.substr(0, 40);
      if (c.length) {
        EXPECT_EQ(whole.size(), c.length);
      }
      const std::string listed = Cell(RowsAs(format, c.file, c.table, {"--placeholders"}), c.key, c.column);
      EXPECT_EQ(listed.rfind(c.placeholder, 0), 0u) << listed.substr(0, 40);
    }
  }
}

TEST(CliRows, CsvQuotesCommasQuotesAndLineBreaks) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string employees = Rows("sql2008r2_northwind.mdf", "Employees", {"--format", "csv"}).out;
  EXPECT_NE(employees.find(",\"507 - 20th Ave. E.\r\nApt. 2A\",Seattle,"), std::string::npos);
  EXPECT_NE(employees.find("completed \"\"The Art of the Cold Call.\"\"  Nancy"), std::string::npos);
  EXPECT_NE(employees.find("\r\n2,Fuller,Andrew,\"Vice President, Sales\",Dr.,"), std::string::npos);
  EXPECT_EQ(employees.find("\r\n1,Davolio"), employees.find("\r\n"));
}

TEST(CliRows, OffsetAndLimitSliceTheRows) {
  QM_REQUIRE_REAL_FIXTURES();
  const Table all = RowsAs("jsonl", "sql2008r2_northwind.mdf", "Orders");
  ASSERT_EQ(all.size(), 831u);
  struct Case {
    std::vector<std::string> args;
    std::size_t first;  // index of the first row in `all`
    std::size_t count;
  };
  const Case cases[] = {{{"--limit", "5"}, 1, 5},      {{"--offset", "828", "--limit", "5"}, 829, 2},
                        {{"--offset", "10"}, 11, 820}, {{"--limit", "0"}, 1, 0},
                        {{"--offset", "830"}, 1, 0},   {{"--offset", "100", "--limit", "101"}, 101, 101}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args[1]);
    const Table slice = RowsAs("jsonl", "sql2008r2_northwind.mdf", "Orders", c.args);
    ASSERT_EQ(slice.size(), c.count + 1);
    EXPECT_EQ(slice.front(), all.front());
    const auto first = all.begin() + static_cast<std::ptrdiff_t>(c.first);
    EXPECT_TRUE(std::equal(slice.begin() + 1, slice.end(), first, first + static_cast<std::ptrdiff_t>(c.count)));
  }
}

TEST(CliRows, TextShowsAlignedBlocksOfOneLineCells) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string orders = Rows("sql2008r2_northwind.mdf", "Orders").out;
  EXPECT_EQ(BlocksStartingWith(orders, "OrderID  CustomerID  EmployeeID  OrderDate").size(), 9u);  // 100 rows each
  EXPECT_EQ(orders.substr(orders.size() - 10), "\n830 rows\n");
  EXPECT_NE(orders.find("\n  10249  TOMSP  "), std::string::npos) << "numbers line up on the right";

  const std::string employees = Rows("sql2008r2_northwind.mdf", "Employees").out;
  EXPECT_EQ(std::count(employees.begin(), employees.end(), '\n'), 11);
  EXPECT_NE(employees.find("  507 - 20th Ave. E.↵Apt. 2A  "), std::string::npos);
  EXPECT_NE(employees.find("  Education includes a BA in psychology f…  "), std::string::npos);
}

TEST(CliRows, MistakesEndWithOneLine) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string pubs = Fixture("sql2014_pubs.mdf");
  struct Case {
    std::vector<std::string> args;
    std::string text;
  };
  for (const Case& c :
       {Case{{"rows", pubs, "no_such_table"}, "no table named 'no_such_table'"},
        Case{{"rows", pubs, "titleview", "--format", "csv"}, "no table named 'titleview'"},
        Case{{"rows", pubs, "sales", "--format", "xml"}, "--format"},
        Case{{"rows", pubs, "sales", "--limit", "-1"}, "--limit"},
        Case{{"rows", pubs, "sales", "--offset", "many"}, "--offset"}, Case{{"rows", pubs}, "TABLE is required"}}) {
    SCOPED_TRACE(c.text);
    ExpectOneLineError(RunCommand(c.args), c.text);
  }
}

}  // namespace
}  // namespace quillmark::testing
