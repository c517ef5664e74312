// The tree after a scan equals, node for node and bold for bold, what the
// headless shell shows, for every real file; and the tree keeps the rules of
// its clicks: a press on the expander or the check box selects nothing.
#include "tests/gui/GuiTest.h"

namespace quillmark::testing {
namespace {

class TreeTest : public GuiTest {};

class TreeEqualsHeadless : public GuiTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(TreeEqualsHeadless, NodeForNodeAndBoldForBold) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::filesystem::path file = RealFixture(GetParam());
  if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is missing";
  app::HeadlessShell shell;
  shell.Scan(Options(file));
  const std::string headless = shell.TreeText();
  const std::vector<std::u16string> headlessBoxes = shell.window.dialogs.Texts();
  ResetSettings();
  LoadCollationList();

  Scan(file);
  EXPECT_EQ(TreeText(), headless);
  ASSERT_FALSE(headlessBoxes.empty());
  EXPECT_EQ(answerer_.LastText(), platform::Utf16ToUtf8(headlessBoxes.back()));
  EXPECT_EQ(Window().tree()->Count(), shell.window.tree.Count());
}

std::vector<std::string> KnownFiles() {
  std::vector<std::string> files;
  for (const RealFixtureFacts& facts : KnownRealFixtures()) files.push_back(facts.file);
  return files;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& file) {
  std::string name = file.param.substr(0, file.param.find('.'));
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(RealFiles, TreeEqualsHeadless, ::testing::ValuesIn(KnownFiles()), TestName);

TEST_F(TreeTest, ACheckBoxOrAnExpanderPressSelectsNothing) {
  QM_REQUIRE_REAL_FIXTURES();
  Scan(RealFixture("sql2008r2_northwind.mdf"));
  gui::ObjectTreeView& tree = *Window().tree();
  QTreeWidgetItem* userTables = Item({u"Tables", u"User Tables"});
  QTreeWidgetItem* orders = Item({u"Tables", u"User Tables", u"Orders"});
  ASSERT_NE(orders, nullptr);
  const std::size_t boxes = answerer_.boxes.size();
  const int logLines = Window().log()->count();

  ClickItem(orders, [&](const QTreeWidgetItem* item) { return tree.CheckBoxRect(item); });
  EXPECT_EQ(tree.GetCheckState(gui::ObjectTreeView::Handle(orders)), platform::CheckState::kTicked);
  EXPECT_EQ(orders->child(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(tree.GetCheckState(gui::ObjectTreeView::Handle(userTables)), platform::CheckState::kPartly);
  EXPECT_EQ(tree.Selection(), platform::kNoItem);

  const bool expanded = orders->isExpanded();
  ClickItem(orders, [&](const QTreeWidgetItem* item) { return tree.ExpanderRect(item); });
  EXPECT_NE(orders->isExpanded(), expanded);
  EXPECT_EQ(tree.Selection(), platform::kNoItem);
  EXPECT_FALSE(Window().frame().WorkerAlive());
  EXPECT_EQ(Window().log()->count(), logLines);
  EXPECT_EQ(answerer_.boxes.size(), boxes);

  // A second tick clears the table and its parent again.
  ClickItem(orders, [&](const QTreeWidgetItem* item) { return tree.CheckBoxRect(item); });
  EXPECT_EQ(tree.GetCheckState(gui::ObjectTreeView::Handle(userTables)), platform::CheckState::kClear);
}

TEST_F(TreeTest, ARightPressSelectsSilentlyAndTheNextLeftPressLists) {
  QM_REQUIRE_REAL_FIXTURES();
  Scan(RealFixture("sql2008r2_northwind.mdf"));
  gui::ObjectTreeView& tree = *Window().tree();
  QTreeWidgetItem* shippers = Item({u"Tables", u"User Tables", u"Shippers"});
  ASSERT_NE(shippers, nullptr);
  ClickItem(shippers, [&](const QTreeWidgetItem* item) { return tree.LabelRect(item); }, Qt::RightButton);
  EXPECT_EQ(tree.Selection(), gui::ObjectTreeView::Handle(shippers));
  EXPECT_FALSE(Window().frame().WorkerAlive());
  EXPECT_EQ(Panel().records()->RowCount(), 0);
  ClickLabel({u"Tables", u"User Tables", u"Shippers"});
  EXPECT_EQ(Status(), "Page1 - [3](1-3) Records");
}

TEST_F(TreeTest, SortsOneLevelFoldingCaseAndInsertsFirst) {
  gui::ObjectTreeView tree;
  const platform::TreeItem top = tree.InsertItem(u"top", platform::kNoItem, platform::InsertAt::kLast, 7);
  for (const char16_t* text : {u"beta", u"_x", u"Alpha", u"alpha2"})
    tree.InsertItem(text, top, platform::InsertAt::kLast, 0);
  const platform::TreeItem first = tree.InsertItem(u"zz", top, platform::InsertAt::kFirst, 0);
  EXPECT_EQ(tree.FirstChild(top), first);
  tree.SortChildren(top);
  std::vector<std::u16string> texts;
  for (const platform::TreeItem child : tree.Children(top)) texts.push_back(tree.ItemText(child));
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"_x", u"Alpha", u"alpha2", u"beta", u"zz"}));
  EXPECT_EQ(tree.ItemData(top), 7);
  EXPECT_EQ(tree.Parent(first), top);
  tree.SetBold(first, true);
  EXPECT_TRUE(tree.IsBold(first));
  tree.DeleteAllItems();
  EXPECT_EQ(tree.Count(), 0u);
  EXPECT_EQ(tree.ItemText(first), u"");
}

}  // namespace
}  // namespace quillmark::testing
