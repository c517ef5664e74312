// The commands without a ribbon button: CSV export of the shown page, Save
// snapshot and Load snapshot.
#include "catalog/Snapshot.h"
#include "tests/app/ShellTest.h"
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

using app::HeadlessShell;

std::string Utf16Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

class CommandsTest : public ShellTest {
 protected:
  // The tree text, the shown rows and the status of a table after a scan.
  struct Seen {
    std::string tree;
    std::string status;
    std::vector<std::string> firstRow;
  };
  Seen SeeTable(HeadlessShell& shell, const std::u16string& table) {
    Seen seen;
    seen.tree = shell.TreeText();
    // The root is named after the database path: compare what lies below it.
    seen.tree = seen.tree.substr(seen.tree.find('\n') + 1);
    EXPECT_TRUE(shell.Select({u"Tables", u"User Tables", table}));
    seen.status = Text(shell.window.status.Text());
    for (int column = 0; column < shell.window.records.ColumnCount(); ++column)
      seen.firstRow.push_back(Text(shell.window.records.Text(0, column)));
    return seen;
  }
};

TEST_F(CommandsTest, CsvExportWritesTheShownPageAndReportsFailures) {
  TempDir files;
  DatabaseSpec spec;
  spec.AddTable("Notes", {Int("Id"), NVarChar("Text", 40), NVarChar("Plain", 10)},
                {{1, "a,b", "x"}, {2, "say \"hi\"", "y"}});
  spec.AddTable("a/b", {Int("Id")}, {{1}});
  HeadlessShell shell;
  shell.Command(app::kCommandExportCsv);
  EXPECT_EQ(LastBox(shell), "Please select database file to scan records.");
  ASSERT_TRUE(shell.Scan(Options(spec.Write(files.path(), "notes.mdf").primary)));
  shell.window.tree.Select(platform::kNoItem);
  shell.Command(app::kCommandExportCsv);
  EXPECT_EQ(LastBox(shell), "Please select the table from tree which you want to save");

  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Notes"}));
  const std::filesystem::path out = files / "notes.csv";
  shell.window.dialogs.files.push_back(out.string());
  shell.Command(app::kCommandExportCsv);
  EXPECT_EQ(LastBox(shell), "File saved successfully.");
  EXPECT_EQ(shell.window.dialogs.fileDialogs.back().fileName, "Notes_");
  EXPECT_EQ(shell.window.dialogs.fileDialogs.back().filter, "*.csv||");
  EXPECT_EQ(ReadBytes(out), Utf16Bytes(u"Id,Text,Plain,\r\n1,\"a,b\",x,\r\n2,\"say \"\"hi\"\"\",y,\r\n"));
  EXPECT_EQ(Text(shell.window.status.Text()), "");

  // A write that fails is never reported as saved.
  shell.window.dialogs.files.push_back("/dev/full");
  shell.Command(app::kCommandExportCsv);
  EXPECT_EQ(LastBox(shell), "File cannot be created.");

  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"a/b"}));
  shell.Command(app::kCommandExportCsv);  // cancelled
  EXPECT_EQ(shell.window.dialogs.fileDialogs.back().fileName, "a_b_");
}

TEST_F(CommandsTest, SnapshotSaveAndLoadGiveTheSameTreeAndRows) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::filesystem::path database = RealFixture("sql2008r2_northwind.mdf");
  const std::filesystem::path first = dir_ / "first.MDBKSM";
  const std::filesystem::path second = dir_ / "second.MDBKSM";
  Seen scanned;
  {
    HeadlessShell shell;
    // Nothing open yet: nothing to save.
    shell.Command(app::kCommandSaveSnapshot);
    EXPECT_EQ(LastBox(shell), "Snapshot cannot be saved.");
    EXPECT_FALSE(std::filesystem::exists(first));
    ASSERT_TRUE(shell.Scan(Options(database)));
    scanned = SeeTable(shell, u"Orders");
    shell.window.dialogs.files.push_back(first.string());
    shell.Command(app::kCommandSaveSnapshot);
    EXPECT_EQ(LastBox(shell), "Snapshot Saved successfully in path " + first.string());
    const std::vector<std::string> lines = LogLines(shell);
    EXPECT_EQ(lines[lines.size() - 2], "Saving Snapshot..Please wait....");
    EXPECT_EQ(lines.back(), "Snapshot Saved successfully in path " + first.string());
  }
  HeadlessShell shell;
  shell.window.dialogs.files.push_back(first.string());
  shell.Command(app::kCommandLoadSnapshot);
  EXPECT_EQ(LastBox(shell), "Scanning process completed.");
  const Seen loaded = SeeTable(shell, u"Orders");
  EXPECT_EQ(loaded.tree, scanned.tree);
  EXPECT_EQ(loaded.status, scanned.status);
  EXPECT_EQ(loaded.firstRow, scanned.firstRow);

  // A snapshot of the loaded workspace names the database, not an empty path.
  shell.window.dialogs.files.push_back(second.string());
  shell.Command(app::kCommandSaveSnapshot);
  ASSERT_TRUE(ReadSnapshotHeader(second));
  EXPECT_EQ(ReadSnapshotHeader(second)->databasePath, ReadSnapshotHeader(first)->databasePath);
  EXPECT_EQ(ReadSnapshotHeader(second)->databasePath, std::filesystem::absolute(database).string());
}

TEST_F(CommandsTest, UnreadableSnapshotAbortsInsteadOfReopeningThePreviousOne) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::filesystem::path good = dir_ / "good.MDBKSM";
  const std::filesystem::path bad = dir_ / "bad.MDBKSM";
  std::ofstream(bad) << "not a snapshot";
  HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2014_pubs.mdf"))));
  shell.window.dialogs.files.push_back(good.string());
  shell.Command(app::kCommandSaveSnapshot);
  shell.window.dialogs.files.push_back(good.string());
  shell.Command(app::kCommandLoadSnapshot);
  ASSERT_EQ(LastBox(shell), "Scanning process completed.");

  for (const std::filesystem::path& chosen : {bad, dir_ / "missing.MDBKSM"}) {
    shell.window.dialogs.files.push_back(chosen.string());
    shell.Command(app::kCommandLoadSnapshot);
    EXPECT_EQ(LastBox(shell), "Scanning process aborted.");
    EXPECT_EQ(LogLines(shell).back(), "Scanning process aborted.");
    EXPECT_EQ(shell.window.tree.Count(), 0u);
    EXPECT_EQ(Settings().snapshotPath, chosen.string());
    EXPECT_EQ(Settings().busy, 0);
  }
}

}  // namespace
}  // namespace quillmark::testing
