// The scan worker's outcomes, its log (list and file) and the state it leaves.
#include <algorithm>

#include "cli/ObjectTree.h"
#include "catalog/OpenSequence.h"
#include "tests/app/ShellTest.h"
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

using app::HeadlessShell;

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines of `lines` from the first `first` on, in order.
std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

std::vector<std::string> ChildTexts(const HeadlessShell& shell, const std::vector<std::u16string>& path) {
  std::vector<std::string> texts;
  const platform::TreeItem root = shell.window.tree.FirstChild(platform::kNoItem);
  std::vector<std::u16string> full{shell.window.tree.ItemText(root)};
  full.insert(full.end(), path.begin(), path.end());
  for (const platform::TreeItem child : shell.window.tree.Children(shell.window.tree.Find(full)))
    texts.push_back(platform::Utf16ToUtf8(shell.window.tree.ItemText(child)));
  return texts;
}

// Blanks every page of the given system tables, as if their pages were lost.
void LosePagesOf(const std::filesystem::path& file, std::initializer_list<std::int32_t> objectIds) {
  std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<char> page(8192);
  for (std::streamoff at = 0; io.read(page.data(), 8192); at += 8192) {
    std::int32_t owner = 0;
    std::memcpy(&owner, page.data() + 24, 4);
    if (std::find(objectIds.begin(), objectIds.end(), owner) == objectIds.end()) continue;
    std::fill(page.begin(), page.end(), '\0');
    io.seekp(at);
    io.write(page.data(), 8192);
    io.seekg(at + 8192);
  }
}

TEST_F(ShellTest, ScanLogsEachStepAndEndsCompleted) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  const std::string path = RealFixture("sql2014_pubs.mdf").string();
  ASSERT_TRUE(shell.Scan(Options(path)));

  const std::vector<std::string> lines = LogLines(shell);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], path + " File is selected for recovery....");
  EXPECT_EQ(lines[1], "Browse File Path:\t" + path);
  EXPECT_EQ(lines[2], "Standard mode is selected for file recovery.");
  EXPECT_EQ(lines[3], "Scanning of file starts...");
  const std::vector<std::string> inOrder = {
      "Database version: " + Settings().versionText,
      "Collation Type: SQL_Latin1_General_CP1_CI_AS",
      "Creating Tree.........",
      "Process done.........",
      "Retrieving Objects of Sysobjvalues System Tables...........",
      "Retrieving  Objects of Sysobjvalues System Tables has been done...........",
      "Scanning completed for selected mdf file."};
  std::size_t at = 0;
  for (const std::string& line : inOrder) {
    const std::size_t found = IndexOf(lines, line);
    EXPECT_LT(found, lines.size()) << line;
    EXPECT_GE(found, at) << line;
    at = found;
  }
  EXPECT_EQ(lines.back(), "Scanning completed for selected mdf file.");
  EXPECT_FALSE(Settings().versionText.empty());
  EXPECT_EQ(LastBox(shell), "Scanning process completed.");
  EXPECT_EQ(Text(shell.window.caption.Text()), "Scanning completed for selected mdf file");
  EXPECT_FALSE(shell.window.progress.Visible());
  EXPECT_EQ(Settings().busy, 0);
  EXPECT_EQ(Settings().stopRequested, 0);

  // The log file: BOM, the separator, then every line in UTF-16LE with CR LF.
  const std::string bytes = ReadBytes(Settings().logFilePath);
  std::u16string expected = u"\r\n" + std::u16string(80, u'*') + u"\r\n";
  for (const std::u16string& line : shell.log.Lines()) expected += line + u"\r\n";
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.substr(2), std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
  EXPECT_EQ(std::filesystem::path(Settings().logFilePath).parent_path(), dir_.path());
}

TEST_F(ShellTest, TreeOfEveryRealFileHoldsItsObjectsInTheTreesOrder) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::filesystem::path& file : RealFixtureFiles()) {
    SCOPED_TRACE(file.filename().string());
    HeadlessShell shell;
    ASSERT_TRUE(shell.Scan(Options(file)));
    EXPECT_EQ(LastBox(shell), "Scanning process completed.");
    // The groups as the command line's objects listing, checked against the
    // README, shows them.
    OpenedDatabaseFile opened = OpenDatabase(file.string(), 0, nullptr);
    ASSERT_TRUE(opened.catalog);
    const cli::ObjectGroups groups = cli::GroupObjects(*opened.catalog);
    EXPECT_EQ(ChildTexts(shell, {u"Tables", u"User Tables"}), groups.userTables);
    EXPECT_EQ(ChildTexts(shell, {u"Tables", u"System Tables"}), groups.systemTables);
    EXPECT_EQ(ChildTexts(shell, {u"Views"}), groups.views);
    EXPECT_EQ(ChildTexts(shell, {u"Programmability", u"Store Procedure"}), groups.procedures);
    EXPECT_EQ(ChildTexts(shell, {u"Programmability", u"Function"}), groups.functions);
    EXPECT_EQ(ChildTexts(shell, {u"Programmability", u"Triggers"}), groups.triggers);
    EXPECT_EQ(ChildTexts(shell, {u"Programmability", u"Default"}), groups.defaults);
    EXPECT_EQ(ChildTexts(shell, {}), (std::vector<std::string>{"Views", "Programmability", "Tables"}));
  }
}

TEST_F(ShellTest, FailedScansEndWithTheirTextsAndNoTree) {
  TempDir files;
  // Not a database at all.
  const std::filesystem::path text = files / "notes.mdf";
  std::ofstream(text) << std::string(3 * 8192, 'x');
  // A database whose object table yields no rows, nor the tables objects are
  // rebuilt from (columns, rowsets, allocation units, rowset columns).
  const std::filesystem::path empty = DemoShop().Write(files.path(), "empty.mdf").primary;
  LosePagesOf(empty, {3, 5, 7, 34, 41});
  // A database whose scan is stopped while its pages are being mapped, and
  // one stopped while the tree is being built.
  const std::filesystem::path stopped = DemoShop().Write(files.path(), "stopped.mdf").primary;
  const std::filesystem::path stoppedTree = DemoShop().Write(files.path(), "stopped_tree.mdf").primary;

  enum class StopAt { kNever, kMapping, kTree };
  struct Case {
    std::filesystem::path file;
    StopAt stop;
    std::string lastLine;
    std::string box;  // empty: no box after the last line
  };
  const Case cases[] = {
      {text, StopAt::kNever, "Scanning process aborted.", "Scanning process aborted."},
      {empty, StopAt::kNever, "Either it is not valid mdf file or highly corrupted, select another file to recover.",
       ""},
      {stopped, StopAt::kMapping, "Scanning process aborted.", "Scanning process aborted."},
      {stoppedTree, StopAt::kTree, "Scanning process aborted.", "Scanning process aborted."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.filename().string());
    ResetSettings();
    LoadCollationList();
    HeadlessShell shell;
    // Stop raised from the progress reports of the page pass.
    if (c.stop == StopAt::kMapping) WhileMapping(shell, [] { Settings().stopRequested = 1; });
    // Stop raised as the tree is begun.
    if (c.stop == StopAt::kTree)
      shell.onLogLine = [](const std::u16string& line) {
        if (line == u"Creating Tree.........") Settings().stopRequested = 1;
      };
    ASSERT_TRUE(shell.Scan(Options(c.file)));
    const std::vector<std::string> lines = LogLines(shell);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.lastLine);
    if (c.box.empty()) {
      EXPECT_FALSE(Contains(Boxes(shell), "Scanning process completed."));
      EXPECT_FALSE(Contains(Boxes(shell), "Scanning process aborted."));
    } else {
      EXPECT_EQ(LastBox(shell), c.box);
    }
    EXPECT_FALSE(Contains(lines, "Scanning completed for selected mdf file."));
    EXPECT_EQ(shell.window.tree.Count(), 0u);
    EXPECT_FALSE(shell.window.progress.Visible());
    EXPECT_EQ(Settings().busy, 0);
    EXPECT_EQ(Settings().stopRequested, 0);
  }
}

// A database whose boot page names an unknown collation does not inherit the
// previous scan's collation or code page.
TEST_F(ShellTest, UnknownCollationAfterAKnownOneLogsUnknownAndUses1252) {
  TempDir files;
  DatabaseSpec cyrillic = DemoShop();
  cyrillic.collation = 53269;  // Cyrillic_General_CI_AS, code page 1251
  DatabaseSpec unknown = DemoShop();
  unknown.collation = 777777;
  HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(cyrillic.Write(files.path(), "a.mdf").primary)));
  EXPECT_TRUE(Contains(LogLines(shell), "Collation Type: Cyrillic_General_CI_AS"));
  EXPECT_EQ(Settings().collationCodePage, 1251);

  ASSERT_TRUE(shell.Scan(Options(unknown.Write(files.path(), "b.mdf").primary)));
  EXPECT_EQ(LastBox(shell), "Scanning process completed.");
  const std::vector<std::string> lines = LogLines(shell);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Collation Type: Unknown Collation"), 1);
  EXPECT_EQ(Settings().collationCodePage, 1252);
  EXPECT_EQ(Settings().collationName, "Unknown Collation");
}

TEST_F(ShellTest, AdvancedModeIsLoggedAndListsEveryIndexedPage) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  app::ScanOptions options = Options(RealFixture("sql2008r2_northwind.mdf"));
  options.advanced = true;
  ASSERT_TRUE(shell.Scan(options));
  EXPECT_TRUE(Contains(LogLines(shell), "Advanced mode is selected for file recovery."));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Customers"}));
  EXPECT_EQ(Text(shell.window.status.Text()), "Page1 - [91](1-91) Records");
}

TEST_F(ShellTest, OpenDialogRefusalStartsNoScan) {
  HeadlessShell shell;
  EXPECT_FALSE(shell.Scan(Options(dir_ / "missing.mdf")));
  EXPECT_EQ(LastBox(shell), "Please select valid SQL file path to continue the recovery process.");
  EXPECT_TRUE(shell.log.Lines().empty());
  EXPECT_FALSE(shell.frame.WorkerAlive());
  EXPECT_EQ(Settings().busy, 0);
}

}  // namespace
}  // namespace quillmark::testing
