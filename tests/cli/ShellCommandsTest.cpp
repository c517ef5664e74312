// The commands that drive the shell: scan, show, rows through the record
// listing, export, and the snapshot commands through Save and Load snapshot.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/cli/CliTest.h"
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

using Args = std::vector<std::string>;

std::string Fixture(const std::string& name) { return RealFixture(name).string(); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(text.substr(at, end - at));
  if (at < text.size()) lines.push_back(text.substr(at));
  return lines;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Utf16Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// The tree a scan printed after its log: from the line after the first blank one.
std::string TreeOf(const std::string& out) {
  const std::size_t blank = out.find("\n\n");
  return blank == std::string::npos ? std::string() : out.substr(blank + 2);
}

// The tree text below its root line (the root is named after the path used).
std::string BelowRoot(const std::string& tree) { return tree.substr(tree.find('\n') + 1); }

class ShellCommands : public ::testing::Test {
 protected:
  // scan and show keep their log file in the test's folder.
  CliRun Run(Args args) {
    args.insert(args.end(), {"--log-folder", logs_.path().string()});
    return RunCommand(args);
  }
  CliRun Show(const std::string& file, const std::string& path, Args more = {}) {
    Args args{"show", file, path};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }

  TempDir logs_;
  TempDir files_;
};

TEST_F(ShellCommands, ScanEndsWithZeroOnlyWhenTheScanCompleted) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::filesystem::path text = files_ / "notes.mdf";
  std::ofstream(text) << std::string(3 * 8192, 'x');
  const std::filesystem::path noMdf = files_ / "notes.txt";
  std::ofstream(noMdf) << "x";

  struct Case {
    Args args;
    int code;
    std::string lastLine;  // of stdout's log, or of stderr when the dialog refused
  };
  const Case cases[] = {
      {{"scan", Fixture("sql2014_pubs.mdf")}, 0, "Scanning completed for selected mdf file."},
      {{"scan", text.string()}, 1, "Scanning process aborted."},
      {{"scan", noMdf.string()}, 1, "Please select valid SQL file path to continue the recovery process."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const CliRun run = Run(c.args);
    EXPECT_EQ(run.code, c.code) << run.err;
    if (c.code == 0) {
      const std::vector<std::string> log = Lines(run.out.substr(0, run.out.find("\n\n")));
      ASSERT_FALSE(log.empty());
      EXPECT_EQ(log.front(), c.args.back() + " File is selected for recovery....");
      EXPECT_EQ(log.back(), c.lastLine);
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(Lines(TreeOf(run.out)).front(), c.args.back());
    } else if (run.out.empty()) {
      EXPECT_EQ(run.err, "quillmark-cli: " + c.lastLine + "\n");
    } else {
      EXPECT_EQ(Lines(run.out).back(), c.lastLine);
      EXPECT_EQ(TreeOf(run.out), "");
      // The engine's own message box, with the error icon.
      EXPECT_EQ(run.err, "quillmark-cli: " + std::string(kNotValidMdf) + "\n");
    }
  }
}

TEST_F(ShellCommands, ScanPrintsTheTreeWithBoldTablesMarked) {
  DatabaseSpec spec;
  spec.AddTable("Notes", {Int("Id"), NVarChar("Text", 20)}, {{1, "one"}, {2, "two"}});
  spec.AddTable("Empty", {Int("Id")}, {});
  spec.AddView("Recent", "CREATE VIEW Recent AS SELECT Id FROM Notes");
  spec.AddProcedure("Tidy", "CREATE PROCEDURE Tidy AS DELETE FROM Notes");
  const std::string file = spec.Write(files_.path(), "small.mdf").primary.string();
  const CliRun run = Run({"scan", file});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string tree = TreeOf(run.out);
  EXPECT_EQ(tree.rfind(file + "\n"
                              "  Views\n"
                              "    Recent\n"
                              "  Programmability\n"
                              "    Triggers\n"
                              "    Default\n"
                              "    Store Procedure\n"
                              "      Tidy\n"
                              "    Function\n"
                              "  Tables\n"
                              "    System Tables\n",
                       0),
            0u)
      << tree;
  const std::string userTables = "    User Tables\n      Empty\n        Columns\n      Notes*\n        Columns\n";
  ASSERT_GE(tree.size(), userTables.size());
  EXPECT_EQ(tree.substr(tree.size() - userTables.size()), userTables) << tree;
}

TEST_F(ShellCommands, ScanRefusesACollationTheDialogDoesNotList) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string pubs = Fixture("sql2014_pubs.mdf");
  ExpectOneLineError(Run({"scan", pubs, "--collation", "777777"}), "unknown collation id 777777");
  const CliRun run = Run({"scan", pubs, "--collation", "53256"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\nCollation Type: Latin1_General_CI_AS\n"), std::string::npos);
}

TEST_F(ShellCommands, ShowPrintsTheStatusAndThePageOfRows) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string northwind = Fixture("sql2008r2_northwind.mdf");
  struct Case {
    std::string path;
    Args more;
    std::string status;
    std::size_t rows;
    std::string header;
    std::string firstRow;
  };
  const Case cases[] = {
      {"User Tables/Customers", {}, "Page1 - [91](1-91) Records", 91,
       "CustomerID  CompanyName                           ContactName", "ALFKI       Alfreds Futterkiste"},
      {"Customers", {"--advanced"}, "Page1 - [91](1-91) Records", 91, "CustomerID  CompanyName", "ALFKI  "},
      {"User Tables/Order Details", {"--page", "2"}, "Page2 - [1000](1001-2000) Records", 1000,
       "OrderID  ProductID  UnitPrice  Quantity  Discount", ""},
      {"Tables/User Tables/Order Details", {"--page", "3"}, "Page3 - [155](2001-2155) Records", 155, "OrderID", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const CliRun run = Show(northwind, c.path, c.more);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), c.rows + 2);
    EXPECT_EQ(lines[0], c.status);
    EXPECT_EQ(lines[1].rfind(c.header, 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind(c.firstRow, 0), 0u) << lines[2];
  }
  ExpectOneLineError(Show(northwind, "User Tables/Order Details", {"--page", "4"}),
                     "'User Tables/Order Details' has no page 4: its last page is 3");
}

TEST_F(ShellCommands, ShowPrintsDefinitionsAndKeyScripts) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string file;
    std::string path;
    std::string start;  // of the text printed
  };
  const Case cases[] = {
      {"sql2008r2_northwind.mdf", "Store Procedure/CustOrderHist", "CREATE PROCEDURE CustOrderHist"},
      {"sql2000_northwind.mdf", "Programmability/Store Procedure/CustOrderHist", "CREATE PROCEDURE CustOrderHist"},
      {"sql2000_northwind.mdf", "User Tables/Orders/PrimaryKey/PK_Orders", "ALTER TABLE Orders ADD PRIMARY KEY ( OrderID )\n"},
      {"sql2014_pubs.mdf", "Views/titleview", "\r\nCREATE VIEW titleview"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const CliRun run = Show(Fixture(c.file), c.path);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find(c.start), std::string::npos) << run.out;
    EXPECT_EQ(run.out.back(), '\n');
  }
  // In files of SQL Server 2005 and later a key item carries no table id.
  EXPECT_EQ(Show(Fixture("sql2008r2_northwind.mdf"), "Orders/PrimaryKey/PK_Orders").out,
            "ALTER TABLE  ADD PRIMARY KEY ( )\n");
}

TEST_F(ShellCommands, ShowNamesTheMissingSegment) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string pubs = Fixture("sql2014_pubs.mdf");
  struct Case {
    std::string path;
    std::string text;
  };
  for (const Case& c : {Case{"Nothing", "no tree item 'Nothing'"},
                        Case{"User Tables/nothing", "no item 'nothing' under 'User Tables'"},
                        Case{"User Tables/authors/PrimaryKey/nothing", "no item 'nothing' under 'PrimaryKey'"},
                        Case{"Views/titleview/more", "no item 'more' under 'titleview'"}}) {
    SCOPED_TRACE(c.path);
    ExpectOneLineError(Show(pubs, c.path), c.text);
  }
}

// Names holding '/' or '%' are found and printed unchanged.
TEST_F(ShellCommands, ShowFindsNamesWithSlashesAndPercentSigns) {
  DatabaseSpec spec;
  spec.AddTable("a/b", {Int("Id"), NVarChar("Note", 20)}, {{1, "%s%n"}});
  spec.AddTable("50%_off", {Int("%d%s")}, {{7}});
  const std::string file = spec.Write(files_.path(), "names.mdf").primary.string();
  EXPECT_EQ(Show(file, "User Tables/a/b").out, "Page1 - [1](1-1) Records\nId  Note\n 1  %s%n\n");
  EXPECT_EQ(Show(file, "50%_off").out, "Page1 - [1](1-1) Records\n%d%s\n   7\n");
}

TEST_F(ShellCommands, ShowCsvSavesTheShownPageAsTheWindowDoes) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string northwind = Fixture("sql2008r2_northwind.mdf");
  const std::filesystem::path out = files_ / "customers.csv";
  const CliRun run = Show(northwind, "User Tables/Customers", {"--csv", out.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "File saved successfully.\n");
  const std::string bytes = ReadBytes(out);
  EXPECT_EQ(bytes.rfind(Utf16Bytes(u"CustomerID,CompanyName,ContactName,"), 0), 0u);
  EXPECT_NE(bytes.find(Utf16Bytes(u"\r\nALFKI,Alfreds Futterkiste,Maria Anders,")), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 92);

  const CliRun full = Show(northwind, "User Tables/Customers", {"--csv", "/dev/full"});
  EXPECT_EQ(full.code, 1);
  EXPECT_EQ(full.err, "quillmark-cli: File cannot be created.\n");
}

nlohmann::json JsonLines(const std::string& text) {
  nlohmann::json lines = nlohmann::json::array();
  for (const std::string& line : Lines(text)) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

TEST_F(ShellCommands, RowsListTheFirstPageOrEveryPage) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string northwind = Fixture("sql2008r2_northwind.mdf");
  struct Case {
    Args more;
    std::size_t rows;
    std::string first;
    std::string last;
  };
  const Case cases[] = {
      {{}, 1000, "10248", "10625"},
      {{"--all"}, 2155, "10248", "11077"},
      {{"--all", "--advanced"}, 2155, "10248", "11077"},
      {{"--all", "--offset", "999", "--limit", "2"}, 2, "10625", "10626"},
      {{"--offset", "999", "--limit", "2"}, 1, "10625", "10625"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.more));
    Args args{"rows", northwind, "Order Details", "--format", "jsonl"};
    args.insert(args.end(), c.more.begin(), c.more.end());
    const CliRun run = RunCommand(args);
    ASSERT_EQ(run.code, 0) << run.err;
    const nlohmann::json lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), c.rows + 1);
    EXPECT_EQ(lines[0], nlohmann::json({"OrderID", "ProductID", "UnitPrice", "Quantity", "Discount"}));
    EXPECT_EQ(lines[1][0], c.first);
    EXPECT_EQ(lines.back()[0], c.last);
  }
}

TEST_F(ShellCommands, ExportWritesEveryPageAsRowsAllPrintsIt) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string northwind = Fixture("sql2008r2_northwind.mdf");
  for (const std::string format : {"csv", "jsonl"}) {
    SCOPED_TRACE(format);
    const std::filesystem::path out = files_ / ("order_details." + format);
    const CliRun run = RunCommand({"export", northwind, "Order Details", "--format", format, out.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "2155 rows written to " + out.string() + "\n");
    const CliRun rows = RunCommand({"rows", northwind, "Order Details", "--all", "--format", format});
    ASSERT_EQ(rows.code, 0) << rows.err;
    EXPECT_EQ(ReadBytes(out), rows.out);
  }
  const std::string head = ReadBytes(files_ / "order_details.csv").substr(0, 60);
  EXPECT_EQ(head.rfind("OrderID,ProductID,UnitPrice,Quantity,Discount\r\n10248,11,", 0), 0u) << head;
}

// An export writes large values whole, or as the records list shows them with --placeholders.
TEST_F(ShellCommands, ExportWritesLargeValuesWhole) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string northwind = Fixture("sql2000_northwind.mdf");
  const std::filesystem::path out = files_ / "categories.csv";
  ASSERT_EQ(RunCommand({"export", northwind, "Categories", "--format", "csv", out.string()}).code, 0);
  const std::string whole = ReadBytes(out);
  EXPECT_EQ(whole.find("BINARY DATA>"), std::string::npos);
  EXPECT_NE(whole.find("Soft drinks, coffees, teas, beers, and ales"), std::string::npos);
  ASSERT_EQ(RunCommand({"export", northwind, "Categories", "--format", "csv", "--placeholders", out.string()}).code, 0);
  EXPECT_NE(ReadBytes(out).find(",<BINARY DATA>,<BINARY DATA>"), std::string::npos);
}

TEST_F(ShellCommands, ExportReportsWhatCannotBeWritten) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string pubs = Fixture("sql2014_pubs.mdf");
  if (std::filesystem::exists("/dev/full"))
    ExpectOneLineError(RunCommand({"export", pubs, "roysched", "--format", "csv", "/dev/full"}),
                       "writing '/dev/full' failed: No space left on device");
  ExpectOneLineError(RunCommand({"export", pubs, "roysched", "--format", "csv", (files_ / "no" / "out.csv").string()}),
                     "cannot be written: No such file or directory");
  ExpectOneLineError(RunCommand({"export", pubs, "titleview", "--format", "csv", (files_ / "v.csv").string()}),
                     "no table named 'titleview'");
  EXPECT_FALSE(std::filesystem::exists(files_ / "v.csv"));
}

TEST_F(ShellCommands, SnapshotSavedThenLoadedGivesTheScannedTree) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string database = Fixture("sql2008r2_northwind.mdf");
  const std::string snapshot = (files_ / "saved.MDBKSM").string();
  const CliRun save = RunCommand({"snapshot", "save", database, snapshot});
  ASSERT_EQ(save.code, 0) << save.err;
  EXPECT_EQ(save.out, "Snapshot Saved successfully in path " + snapshot + "\n");
  const CliRun scan = Run({"scan", database});
  ASSERT_EQ(scan.code, 0) << scan.err;
  const CliRun load = RunCommand({"snapshot", "load", snapshot, "--tree"});
  ASSERT_EQ(load.code, 0) << load.err;
  EXPECT_EQ(load.err, "");
  EXPECT_EQ(Lines(load.out).front(), std::filesystem::absolute(database).string());
  EXPECT_EQ(BelowRoot(load.out), BelowRoot(TreeOf(scan.out)));
}

}  // namespace
}  // namespace quillmark::testing
