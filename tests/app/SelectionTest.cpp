// Clicks on tree labels: the first page of a table's rows, paging, definitions
// and key scripts in the text view, and what each leaves in the window.
#include <algorithm>

#include "tests/app/ShellTest.h"
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

using app::HeadlessShell;
using platform::PanelView;

class SelectionTest : public ShellTest {
 protected:
  void Open(HeadlessShell& shell, const std::string& fixture) {
    ASSERT_TRUE(shell.Scan(Options(RealFixture(fixture))));
    ASSERT_EQ(LastBox(shell), "Scanning process completed.");
  }
  static std::string Status(const HeadlessShell& shell) { return Text(shell.window.status.Text()); }
};

TEST_F(SelectionTest, TableShowsItsFirstPageWithStatusCaptionAndLog) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Customers"}));

  EXPECT_EQ(Status(shell), "Page1 - [91](1-91) Records");
  EXPECT_EQ(Text(shell.window.caption.Text()), "Customers[91]");
  EXPECT_EQ(shell.window.panel.View(), PanelView::kRecords);
  EXPECT_EQ(Titles(shell), (std::vector<std::string>{"CustomerID", "CompanyName", "ContactName", "ContactTitle",
                                                     "Address", "City", "Region", "PostalCode", "Country", "Phone",
                                                     "Fax", ""}));
  ASSERT_EQ(shell.window.records.RowCount(), 91);
  EXPECT_EQ(Text(shell.window.records.Text(0, 0)), "ALFKI");
  EXPECT_FALSE(shell.window.previous.Enabled());
  EXPECT_FALSE(shell.window.next.Enabled());
  const std::vector<std::string> lines = LogLines(shell);
  ASSERT_GE(lines.size(), 4u);
  // The listing's " row %d inserted" took the place of the "Please wait" line.
  EXPECT_EQ(lines[lines.size() - 4], " row 91 inserted");
  EXPECT_EQ(lines[lines.size() - 3], "0 rows to 91");
  EXPECT_EQ(lines[lines.size() - 2], "Customers[91]");
  EXPECT_EQ(lines.back(), "Scanning process completed.");
  EXPECT_EQ(Settings().busy, 0);

  // The first selection expanded the table; the second lists it again without
  // a second expansion.
  const platform::headless::Tree& tree = shell.window.tree;
  const platform::TreeItem table = tree.Find({tree.ItemText(tree.FirstChild(0)), u"Tables", u"User Tables", u"Customers"});
  std::vector<std::string> groups;
  for (const platform::TreeItem child : tree.Children(table)) groups.push_back(Text(tree.ItemText(child)));
  EXPECT_EQ(groups, (std::vector<std::string>{"ForeignKey", "Unique", "Constraint", "PrimaryKey", "Columns"}));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Customers"}));
  EXPECT_EQ(tree.Children(table).size(), 5u);
  EXPECT_EQ(Status(shell), "Page1 - [91](1-91) Records");
}

TEST_F(SelectionTest, PagingGoesForwardAndBackThroughATableOfMoreThan2000Rows) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Order Details"}));
  struct Step {
    int move;  // +1 Next, -1 Previous, 0 the first page
    std::string status;
    bool previous;
    bool next;
  };
  const Step steps[] = {
      {0, "Page1 - [1000](1-1000) Records", false, true},
      {+1, "Page2 - [1000](1001-2000) Records", true, true},
      {+1, "Page3 - [155](2001-2155) Records", true, false},
      {-1, "Page2 - [1000](1001-2000) Records", true, true},
      {-1, "Page1 - [1000](1-1000) Records", false, true},
      {+1, "Page2 - [1000](1001-2000) Records", true, true},
  };
  for (const Step& step : steps) {
    if (step.move > 0) shell.Next();
    if (step.move < 0) shell.Previous();
    SCOPED_TRACE(step.status);
    EXPECT_EQ(Status(shell), step.status);
    EXPECT_EQ(shell.window.previous.Enabled(), step.previous);
    EXPECT_EQ(shell.window.next.Enabled(), step.next);
    EXPECT_EQ(Settings().busy, 0);
  }
  EXPECT_EQ(LogLines(shell).back(), "1000 rows to 2000");
}

// A module lists no rows: the previous table's pages must not leave Next
// Records enabled.
TEST_F(SelectionTest, ObjectAfterAPagedTableLeavesNextDisabled) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Order Details"}));
  ASSERT_TRUE(shell.window.next.Enabled());
  ASSERT_TRUE(shell.Select({u"Programmability", u"Store Procedure", u"CustOrderHist"}));
  EXPECT_FALSE(shell.window.next.Enabled());
  EXPECT_EQ(Status(shell), "Page1 - [0](0-0) Records");
  EXPECT_EQ(shell.frame.send(platform::WM_APP_NEXT_RECORDS, 0, 0), 1);
  shell.Wait();
  EXPECT_EQ(shell.window.records.RowCount(), 0);
}

// Every page decodes 8-bit text with the column's code page, not only the first.
TEST_F(SelectionTest, PagesAfterTheFirstKeepTheCollationsCodePage) {
  TempDir files;
  DatabaseSpec spec;
  spec.collation = 53269;  // Cyrillic_General_CI_AS: code page 1251, where byte E9 is "й"
  std::vector<Row> rows;
  for (int i = 1; i <= 1500; ++i) rows.push_back({i, "\u00e9"});
  spec.AddTable("Words", {Int("Id").NotNull(), VarChar("Word", 10)}, rows);
  HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(spec.Write(files.path(), "words.mdf").primary)));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Words"}));
  EXPECT_EQ(Text(shell.window.records.Text(0, 1)), "\u0439");
  shell.Next();
  ASSERT_EQ(Status(shell), "Page2 - [500](1001-1500) Records");
  EXPECT_EQ(Text(shell.window.records.Text(0, 1)), "\u0439");
  EXPECT_EQ(Settings().listingActive, 0);
  shell.Previous();
  EXPECT_EQ(Text(shell.window.records.Text(999, 1)), "\u0439");
}

TEST_F(SelectionTest, ModulesKeysAndConstraintsShowTheirTextOrScript) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2014_pubs.mdf");

  ASSERT_TRUE(shell.Select({u"Programmability", u"Store Procedure", u"byroyalty"}));
  EXPECT_EQ(shell.window.panel.View(), PanelView::kText);
  EXPECT_NE(Text(shell.window.text.Text()).find("CREATE PROCEDURE byroyalty"), std::string::npos);
  EXPECT_EQ(Status(shell), "Page1 - [0](0-0) Records");
  EXPECT_EQ(Text(shell.window.caption.Text()), "byroyalty[0]");

  // A key needs its table expanded first.
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"authors"}));
  const platform::headless::Tree& tree = shell.window.tree;
  const std::u16string root = tree.ItemText(tree.FirstChild(0));
  const platform::TreeItem keys = tree.Find({root, u"Tables", u"User Tables", u"authors", u"PrimaryKey"});
  ASSERT_EQ(tree.Children(keys).size(), 1u);
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"authors", u"PrimaryKey", tree.ItemText(tree.FirstChild(keys))}));
  // In files of SQL Server 2005 and later a key item carries no table id.
  EXPECT_EQ(Text(shell.window.text.Text()), "ALTER TABLE  ADD PRIMARY KEY ( )");

  const platform::TreeItem constraints = tree.Find({root, u"Tables", u"User Tables", u"authors", u"Constraint"});
  ASSERT_FALSE(tree.Children(constraints).empty());
  const std::u16string check = tree.ItemText(tree.Children(constraints).back());
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"authors", u"Constraint", check}));
  EXPECT_EQ(Text(shell.window.text.Text()).rfind("ALTER TABLE  [dbo].[authors] WITH NOCHECK ADD CONSTRAINT[" +
                                                     Text(check) + "] CHECK ",
                                                 0),
            0u);
  EXPECT_EQ(shell.window.panel.View(), PanelView::kText);
}

TEST_F(SelectionTest, SqlServer2000KeysCarryTheirTableAndModulesComeFromSyscomments) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2000_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Orders"}));
  EXPECT_EQ(Status(shell), "Page1 - [830](1-830) Records");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Orders", u"PrimaryKey", u"PK_Orders"}));
  EXPECT_EQ(Text(shell.window.text.Text()), "ALTER TABLE Orders ADD PRIMARY KEY ( OrderID )");
  ASSERT_TRUE(shell.Select({u"Programmability", u"Store Procedure", u"CustOrderHist"}));
  EXPECT_NE(Text(shell.window.text.Text()).find("CustOrderHist"), std::string::npos);
}

TEST_F(SelectionTest, FixedNodesResolveAsNamesAndShowNothing) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2014_pubs.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"titles"}));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"titles", u"Columns"}));
  EXPECT_EQ(Text(shell.window.caption.Text()), "Columns[0]");
  EXPECT_EQ(Status(shell), "Page1 - [0](0-0) Records");
  EXPECT_EQ(LogLines(shell).back(), "Scanning process completed.");
}

// Clearing a selection deletes exactly the columns the last one inserted: a
// column without storage gets none.
TEST_F(SelectionTest, ColumnsWithoutStorageDoNotUpsetTheNextSelectionsHeaders) {
  TempDir files;
  DatabaseSpec spec;
  spec.AddTable("Added", {Int("Id").NotNull(), NVarChar("Note", 20).Default("(N'n/a')").Added(ColumnHistory::kAddedUnplaced)},
                {{1}, {2}});
  spec.AddTable("Plain", {Int("A"), Int("B")}, {{1, 2}});
  HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(spec.Write(files.path(), "added.mdf").primary)));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Added"}));
  EXPECT_EQ(Titles(shell), (std::vector<std::string>{"Id", ""}));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Plain"}));
  EXPECT_EQ(Titles(shell), (std::vector<std::string>{"A", "B", ""}));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Added"}));
  EXPECT_EQ(Titles(shell), (std::vector<std::string>{"Id", ""}));
}

TEST_F(SelectionTest, NamesWithPercentSignsAreListedUnchanged) {
  TempDir files;
  DatabaseSpec spec;
  spec.AddTable("50%_off", {Int("%d%s"), NVarChar("Note", 20)}, {{1, "%s%n"}});
  HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(spec.Write(files.path(), "percent.mdf").primary)));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"50%_off"}));
  EXPECT_EQ(Text(shell.window.caption.Text()), "50%_off[1]");
  EXPECT_EQ(Titles(shell), (std::vector<std::string>{"%d%s", "Note", ""}));
  EXPECT_EQ(Text(shell.window.records.Text(0, 1)), "%s%n");
  EXPECT_EQ(LogLines(shell)[LogLines(shell).size() - 2], "50%_off[1]");
}

}  // namespace
}  // namespace quillmark::testing
