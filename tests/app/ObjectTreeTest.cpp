#include "app/ObjectTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/Log.h"
#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "cli/ObjectTree.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "platform/TreeRules.h"
#include "platform/headless/HeadlessControls.h"
#include "tests/cli/ReadmeObjects.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

using app::TreeNodes;
using app::TreeWindow;
using platform::CheckState;
using platform::kNoItem;
using platform::TreeItem;
using Texts = std::vector<std::u16string>;

// The window the builders draw into, with the test's thread as the
// user-interface thread.
class ObjectTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }

  TreeWindow Window() { return TreeWindow{&ui, window.Controls(), &log}; }

  // Opens a real file and builds its tree as a scan does, user tables sorted last.
  void Build(const std::string& file) {
    opened = OpenDatabase(RealFixture(file).string(), 0, nullptr);
    ASSERT_TRUE(opened.opened()) << file;
    window.tree.DeleteAllItems();
    nodes = app::BuildSkeleton(Window(), u"root");
    ASSERT_TRUE(app::FillFromCatalog(Window(), nodes, *opened.catalog));
    window.tree.SortChildren(nodes.userTables);
  }

  TreeItem UserTable(const std::u16string& name) const {
    return window.tree.Find({u"root", app::kTablesNode, app::kUserTablesNode, name});
  }

  bool Expand(TreeItem table) { return app::ExpandTable(Window(), nodes, *opened.catalog, table, {}); }

  platform::QueueDispatcher ui;
  platform::headless::Window window;
  app::Log log{ui, window.log};
  OpenedDatabaseFile opened;
  TreeNodes nodes;
};

std::vector<std::string> Utf8(const Texts& texts) {
  std::vector<std::string> out;
  for (const std::u16string& text : texts) out.push_back(platform::Utf16ToUtf8(text));
  return out;
}

TEST_F(ObjectTreeTest, SkeletonShowsTheFixedNodesUnderTheRootInDisplayOrder) {
  const TreeItem earlier = window.tree.InsertItem(u"earlier", kNoItem, platform::InsertAt::kLast, 0);
  nodes = app::BuildSkeleton(Window(), u"C:\\data\\50%_off.mdf");
  EXPECT_EQ(window.tree.Children(kNoItem), (std::vector<TreeItem>{earlier, nodes.root}));
  EXPECT_EQ(window.tree.ItemText(nodes.root), u"C:\\data\\50%_off.mdf");
  EXPECT_EQ(window.tree.Children(nodes.root), (std::vector<TreeItem>{nodes.views, nodes.programmability, nodes.tables}));
  EXPECT_EQ(window.tree.Children(nodes.programmability),
            (std::vector<TreeItem>{nodes.triggers, nodes.defaults, nodes.procedures, nodes.functions}));
  EXPECT_EQ(window.tree.Children(nodes.tables), (std::vector<TreeItem>{nodes.systemTables, nodes.userTables}));
  struct Node {
    TreeItem item;
    const char16_t* text;
  };
  for (const Node& node : {Node{nodes.tables, u"Tables"}, Node{nodes.userTables, u"User Tables"},
                           Node{nodes.systemTables, u"System Tables"}, Node{nodes.programmability, u"Programmability"},
                           Node{nodes.functions, u"Function"}, Node{nodes.procedures, u"Store Procedure"},
                           Node{nodes.views, u"Views"}, Node{nodes.defaults, u"Default"},
                           Node{nodes.triggers, u"Triggers"}}) {
    EXPECT_EQ(window.tree.ItemText(node.item), node.text);
    EXPECT_EQ(window.tree.ItemData(node.item), 0);
  }
  for (TreeItem leaf : {nodes.userTables, nodes.systemTables, nodes.functions, nodes.procedures, nodes.views,
                        nodes.defaults, nodes.triggers})
    EXPECT_TRUE(window.tree.Children(leaf).empty());
  EXPECT_EQ(nodes.lastPrimaryKey, kNoItem);
}

// The groups of the tree, in the order the command line lists them.
std::vector<std::vector<std::string>> TreeGroups(const platform::headless::Tree& tree, const TreeNodes& nodes) {
  std::vector<std::vector<std::string>> groups;
  for (TreeItem node : {nodes.views, nodes.triggers, nodes.defaults, nodes.procedures, nodes.functions,
                        nodes.systemTables, nodes.userTables})
    groups.push_back(Utf8(tree.ChildTexts(node)));
  return groups;
}

std::vector<std::vector<std::string>> CliGroups(const cli::ObjectGroups& groups) {
  return {groups.views,     groups.triggers,     groups.defaults,  groups.procedures,
          groups.functions, groups.systemTables, groups.userTables};
}

// Every object item carries data 1; every table has one child, "Columns".
void ExpectObjectItems(const platform::headless::Tree& tree, const TreeNodes& nodes) {
  for (TreeItem node :
       {nodes.views, nodes.triggers, nodes.defaults, nodes.procedures, nodes.functions, nodes.systemTables,
        nodes.userTables}) {
    const bool tables = node == nodes.systemTables || node == nodes.userTables;
    for (TreeItem item : tree.Children(node)) {
      EXPECT_EQ(tree.ItemData(item), 1);
      EXPECT_EQ(tree.ChildTexts(item), tables ? Texts{u"Columns"} : Texts{}) << Utf8({tree.ItemText(item)})[0];
      EXPECT_EQ(tree.ItemData(tree.FirstChild(item)), 0);
    }
  }
}

// The tree holds what the README names, grouped and ordered as the command
// line groups the same catalog: views, triggers, defaults and system tables in
// reverse catalog order, procedures and functions sorted by the fill, user
// tables sorted by the scan afterwards.
TEST_F(ObjectTreeTest, EveryRealFileShowsTheObjectsItsReadmeNamesInTheTreesOrder) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const FixtureObjects& fixture : ReadmeObjects()) {
    SCOPED_TRACE(fixture.file);
    ResetSettings();
    opened = OpenDatabase(RealFixture(fixture.file).string(), 0, nullptr);
    ASSERT_TRUE(opened.opened());
    window.tree.DeleteAllItems();
    nodes = app::BuildSkeleton(Window(), u"root");
    ASSERT_TRUE(app::FillFromCatalog(Window(), nodes, *opened.catalog));
    std::vector<std::vector<std::string>> expected = CliGroups(cli::GroupObjects(*opened.catalog));
    const std::vector<std::vector<std::string>> filled = TreeGroups(window.tree, nodes);
    // All but the user tables, which the scan sorts after the fill.
    EXPECT_EQ(std::vector(filled.begin(), filled.end() - 1), std::vector(expected.begin(), expected.end() - 1));

    window.tree.SortChildren(nodes.userTables);
    const std::vector<std::vector<std::string>> groups = TreeGroups(window.tree, nodes);
    EXPECT_EQ(groups, expected);
    const nlohmann::json keyed = {{"views", groups[0]},      {"triggers", groups[1]},     {"defaults", groups[2]},
                                  {"procedures", groups[3]}, {"functions", groups[4]},    {"systemTables", groups[5]},
                                  {"userTables", groups[6]}};
    for (const Group& group : fixture.groups) ExpectGroup(keyed, group);
    ExpectObjectItems(window.tree, nodes);

    const auto objects = static_cast<std::int32_t>(opened.catalog->objects.size());
    EXPECT_EQ(window.progress.Low(), 0);
    EXPECT_EQ(window.progress.High(), objects);
    EXPECT_EQ(window.progress.Pos(), objects);
    EXPECT_EQ(window.caption.Text(), u"Process done.........");
  }
}

struct RecordingProgress : platform::headless::Progress {
  void SetPos(std::int32_t position) override {
    positions.push_back(position);
    Progress::SetPos(position);
  }
  std::vector<std::int32_t> positions;
};

// Objects added after an empty database's own: each group shows the last one
// first, except procedures and functions, which the fill sorts. The progress
// bar moves to each named row's index, then to the end.
TEST_F(ObjectTreeTest, ProceduresAndFunctionsAreSortedOtherGroupsShowTheLastFirst) {
  QM_REQUIRE_REAL_FIXTURES();
  opened = OpenDatabase(RealFixture("sql2005_dnn_empty.mdf").string(), 0, nullptr);
  ASSERT_TRUE(opened.opened());
  struct Added {
    const char16_t* name;
    const char* type;
  };
  for (const Added& added :
       {Added{u"a", "V "}, Added{u"b", "V "}, Added{u"proc_b", "P "}, Added{u"Proc_c", "P "}, Added{u"proc_a", "P "},
        Added{u"fn_b", "FN"}, Added{u"Fn_c", "TF"}, Added{u"fn_a", "IF"}, Added{u"t1", "TR"}, Added{u"t2", "TR"},
        Added{u"d1", "D "}, Added{u"d2", "D "}, Added{u"PK_x", "PK"}, Added{u"", "P "}})
    opened.catalog->objects.push_back(CatalogObject{.name = added.name, .type = added.type});
  RecordingProgress progress;
  TreeWindow recorded = Window();
  recorded.controls.progress = &progress;
  nodes = app::BuildSkeleton(recorded, u"root");
  ASSERT_TRUE(app::FillFromCatalog(recorded, nodes, *opened.catalog));
  const auto objects = static_cast<std::int32_t>(opened.catalog->objects.size());
  ASSERT_GE(progress.positions.size(), 3u);
  EXPECT_EQ(progress.positions.front(), 0);
  // "PK_x" is shown nowhere but counts; the nameless last row does not.
  EXPECT_EQ(std::vector(progress.positions.end() - 3, progress.positions.end()),
            (std::vector<std::int32_t>{objects - 3, objects - 2, objects}));
  EXPECT_EQ(window.tree.ChildTexts(nodes.views), (Texts{u"b", u"a"}));
  EXPECT_EQ(window.tree.ChildTexts(nodes.procedures), (Texts{u"proc_a", u"proc_b", u"Proc_c"}));
  EXPECT_EQ(window.tree.ChildTexts(nodes.functions), (Texts{u"fn_a", u"fn_b", u"Fn_c"}));
  EXPECT_EQ(window.tree.ChildTexts(nodes.triggers), (Texts{u"t2", u"t1"}));
  EXPECT_EQ(window.tree.ChildTexts(nodes.defaults), (Texts{u"d2", u"d1"}));
  EXPECT_TRUE(window.tree.Children(nodes.userTables).empty());  // only system tables here
  EXPECT_FALSE(window.tree.Children(nodes.systemTables).empty());
}

TEST_F(ObjectTreeTest, FillingTellsTheCaptionAndTheLogWhereItIs) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2008_pubs.mdf");
  EXPECT_EQ(window.log.Lines(), (Texts{u"Creating Tree.........", u"Process done........."}));
}

// Without objects the fill gives up before touching anything; with objects
// that all lack a name it runs through and reports that none was found.
TEST_F(ObjectTreeTest, FillFindsNothingWithoutNamedObjects) {
  QM_REQUIRE_REAL_FIXTURES();
  opened = OpenDatabase(RealFixture("sql2008_pubs.mdf").string(), 0, nullptr);
  ASSERT_TRUE(opened.opened());
  const std::size_t objects = opened.catalog->objects.size();
  for (CatalogObject& object : opened.catalog->objects) object.name.clear();
  nodes = app::BuildSkeleton(Window(), u"root");
  const std::size_t skeleton = window.tree.Count();

  EXPECT_FALSE(app::FillFromCatalog(Window(), nodes, *opened.catalog));
  EXPECT_EQ(window.tree.Count(), skeleton);
  EXPECT_EQ(window.caption.Text(), u"Process done.........");
  EXPECT_EQ(window.progress.Pos(), static_cast<std::int32_t>(objects));

  opened.catalog->objects.clear();
  window.caption.SetText(u"before");
  window.progress.SetPos(7);
  EXPECT_FALSE(app::FillFromCatalog(Window(), nodes, *opened.catalog));
  EXPECT_EQ(window.caption.Text(), u"before");
  EXPECT_EQ(window.progress.Pos(), 7);
  EXPECT_EQ(window.log.Lines(), (Texts{u"Creating Tree.........", u"Process done........."}));
}

TEST_F(ObjectTreeTest, UserTablesWithRowsAreBold) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2008r2_northwind.mdf");
  struct Case {
    const char16_t* table;
    bool bold;
  };
  // Northwind's customer demographics tables hold no rows.
  for (const Case& c : {Case{u"Orders", true}, Case{u"Order Details", true}, Case{u"Region", true},
                        Case{u"CustomerCustomerDemo", false}, Case{u"CustomerDemographics", false}}) {
    const TreeItem table = UserTable(c.table);
    ASSERT_NE(table, kNoItem);
    EXPECT_EQ(window.tree.IsBold(table), c.bold) << Utf8({c.table})[0];
  }
}

TEST_F(ObjectTreeTest, ExpandingATableShowsKeyGroupsColumnsAndKeysOnce) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2008r2_northwind.mdf");
  const TreeItem orders = UserTable(u"Orders");
  ASSERT_NE(orders, kNoItem);
  ASSERT_TRUE(Expand(orders));

  EXPECT_EQ(window.tree.ChildTexts(orders), (Texts{u"ForeignKey", u"Unique", u"Constraint", u"PrimaryKey", u"Columns"}));
  for (TreeItem group : window.tree.Children(orders)) EXPECT_EQ(window.tree.ItemData(group), 0);
  const TreeItem primaryKey = window.tree.Children(orders)[3];
  EXPECT_EQ(nodes.lastPrimaryKey, primaryKey);

  const TreeItem columns = window.tree.Find({u"root", u"Tables", u"User Tables", u"Orders", u"Columns"});
  EXPECT_EQ(window.tree.ChildTexts(columns),
            (Texts{u"OrderID  int(4)[Primary Key]",
                   u"CustomerID  nchar(10)  (foreign key) references Customers( CustomerID)",
                   u"EmployeeID  int(4)  (foreign key) references Employees( EmployeeID)",
                   u"OrderDate  datetime(8)",
                   u"RequiredDate  datetime(8)",
                   u"ShippedDate  datetime(8)",
                   u"ShipVia  int(4)  (foreign key) references Shippers( ShipperID)",
                   u"Freight  money(8)",
                   u"ShipName  nvarchar(80)",
                   u"ShipAddress  nvarchar(120)",
                   u"ShipCity  nvarchar(30)",
                   u"ShipRegion  nvarchar(30)",
                   u"ShipPostalCode  nvarchar(20)",
                   u"ShipCountry  nvarchar(30)"}));
  for (TreeItem column : window.tree.Children(columns)) EXPECT_EQ(window.tree.ItemData(column), 0);

  // Each key goes in above the keys before it.
  struct KeyGroup {
    const char16_t* node;
    std::vector<std::string> types;
    Texts names;
    std::intptr_t data;
  };
  for (const KeyGroup& group :
       {KeyGroup{u"PrimaryKey", {"PK"}, {u"PK_Orders"}, 0},
        KeyGroup{u"ForeignKey", {"F "}, {u"FK_Orders_Customers", u"FK_Orders_Employees", u"FK_Orders_Shippers"}, 0},
        KeyGroup{u"Constraint", {"C ", "D "}, {u"DF_Orders_Freight"}, 1}, KeyGroup{u"Unique", {"UQ"}, {}, 0}}) {
    SCOPED_TRACE(Utf8({group.node})[0]);
    Texts inserted;
    for (const TableKey& key : opened.catalog->selected.keys)
      if (std::find(group.types.begin(), group.types.end(), key.type) != group.types.end())
        inserted.insert(inserted.begin(), key.name);
    const TreeItem node = window.tree.Find({u"root", u"Tables", u"User Tables", u"Orders", group.node});
    EXPECT_EQ(window.tree.ChildTexts(node), inserted);
    std::sort(inserted.begin(), inserted.end());
    EXPECT_EQ(inserted, group.names);
    for (TreeItem key : window.tree.Children(node)) EXPECT_EQ(window.tree.ItemData(key), group.data);
  }

  const std::size_t expanded = window.tree.Count();
  EXPECT_FALSE(Expand(orders));
  EXPECT_EQ(window.tree.Count(), expanded);
}

TEST_F(ObjectTreeTest, OnlyTablesWithTheirColumnsNodeFirstAreExpanded) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2008_pubs.mdf");
  const TreeItem view = window.tree.Find({u"root", u"Views", u"titleview"});
  const TreeItem columns = window.tree.Find({u"root", u"Tables", u"User Tables", u"titles", u"Columns"});
  for (TreeItem item : {view, columns, nodes.userTables, nodes.root, kNoItem}) {
    const std::size_t before = window.tree.Count();
    EXPECT_FALSE(Expand(item));
    EXPECT_EQ(window.tree.Count(), before);
  }
}

// A table the resolution cannot find stays as it is and is tried again.
TEST_F(ObjectTreeTest, AnUnresolvedTableKeepsItsColumnsNodeFirst) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2008_pubs.mdf");
  const TreeItem stranger = window.tree.InsertItem(u"no such table", nodes.userTables, platform::InsertAt::kFirst, 1);
  window.tree.InsertItem(u"Columns", stranger, platform::InsertAt::kFirst, 0);
  EXPECT_TRUE(Expand(stranger));
  EXPECT_EQ(window.tree.ChildTexts(stranger), Texts{u"Columns"});
  EXPECT_TRUE(Expand(stranger));
  EXPECT_EQ(window.tree.ChildTexts(stranger), Texts{u"Columns"});
}

// SQL Server 2000 keys carry an object id for the key scripts; later formats none.
TEST_F(ObjectTreeTest, PrimaryKeysOfSql2000FilesCarryTheKeysObjectId) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    const char* file;
    bool carriesId;
  };
  for (const Case& c : {Case{"sql2000_northwind.mdf", true}, Case{"sql2008r2_northwind.mdf", false}}) {
    SCOPED_TRACE(c.file);
    ResetSettings();
    Build(c.file);
    const TreeItem orders = UserTable(u"Orders");
    ASSERT_TRUE(Expand(orders));
    const TreeItem primaryKey = window.tree.Find({u"root", u"Tables", u"User Tables", u"Orders", u"PrimaryKey"});
    ASSERT_EQ(window.tree.Children(primaryKey).size(), 1u);
    const TreeItem key = window.tree.FirstChild(primaryKey);
    EXPECT_EQ(window.tree.ItemText(key), u"PK_Orders");
    const auto found = std::find_if(opened.catalog->selected.keys.begin(), opened.catalog->selected.keys.end(),
                                    [](const TableKey& k) { return k.type == "PK"; });
    ASSERT_NE(found, opened.catalog->selected.keys.end());
    EXPECT_NE(found->objectId, 0);
    EXPECT_EQ(window.tree.ItemData(key), c.carriesId ? found->objectId : 0);
  }
}

// A system table expands the same way, resolved as a system table.
TEST_F(ObjectTreeTest, SystemTablesExpandToo) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2000_northwind.mdf");
  const TreeItem sysobjects = window.tree.Find({u"root", u"Tables", u"System Tables", u"sysobjects"});
  ASSERT_NE(sysobjects, kNoItem);
  ASSERT_TRUE(Expand(sysobjects));
  const TreeItem columns = window.tree.Find({u"root", u"Tables", u"System Tables", u"sysobjects", u"Columns"});
  const Texts texts = window.tree.ChildTexts(columns);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front().substr(0, 6), u"name  ");
}

TEST(ColumnItemText, NameTypeKeyFlagAndReference) {
  struct Case {
    ColumnLayout column;
    const char16_t* text;
  };
  const Case cases[] = {
      {{.name = u"50%_off", .typeText = u"int(4)"}, u"50%_off  int(4)"},
      {{.name = u"id", .typeText = u"int(4)", .inPrimaryKey = 1, .inUniqueKey = 1}, u"id  int(4)[Primary Key]"},
      {{.name = u"id", .typeText = u"int(4)", .inPrimaryKey = 1, .indexFlag8 = 1}, u"id  int(4)[Primary Key]"},
      {{.name = u"code", .typeText = u"char(4)", .inUniqueKey = 1}, u"code  char(4)[Unique]"},
      {{.name = u"code", .typeText = u"char(4)", .indexFlag8 = 1}, u"code  char(4)[Unique]"},
      {{.name = u"pub", .typeText = u"char(4)", .inForeignKey = 1, .referencedTable = u"publishers",
        .referencedColumn = u"pub_id"},
       u"pub  char(4)  (foreign key) references publishers( pub_id)"},
      {{.name = u"id", .typeText = u"int(4)", .inPrimaryKey = 1, .inForeignKey = 1, .referencedTable = u"t",
        .referencedColumn = u"c"},
       u"id  int(4)[Primary Key]  (foreign key) references t( c)"},
  };
  for (const Case& c : cases) EXPECT_EQ(app::ColumnItemText(c.column), c.text);
}

// A tree whose every call must come from the user-interface thread.
class UiThreadTree : public platform::TreeControl {
 public:
  UiThreadTree(platform::TreeControl& inner, const platform::UiDispatcher& ui) : inner_(inner), ui_(ui) {}
  TreeItem InsertItem(const std::u16string& text, TreeItem parent, platform::InsertAt where,
                      std::intptr_t data) override {
    return Check().InsertItem(text, parent, where, data);
  }
  void DeleteAllItems() override { Check().DeleteAllItems(); }
  std::u16string ItemText(TreeItem item) const override { return Check().ItemText(item); }
  std::intptr_t ItemData(TreeItem item) const override { return Check().ItemData(item); }
  TreeItem Parent(TreeItem item) const override { return Check().Parent(item); }
  std::vector<TreeItem> Children(TreeItem item) const override { return Check().Children(item); }
  std::size_t Count() const override { return Check().Count(); }
  TreeItem Selection() const override { return Check().Selection(); }
  void Select(TreeItem item) override { Check().Select(item); }
  TreeItem DropHighlight() const override { return Check().DropHighlight(); }
  void SetDropHighlight(TreeItem item) override { Check().SetDropHighlight(item); }
  void SetBold(TreeItem item, bool bold) override { Check().SetBold(item, bold); }
  bool IsBold(TreeItem item) const override { return Check().IsBold(item); }
  void SetCheckState(TreeItem item, CheckState state) override { Check().SetCheckState(item, state); }
  CheckState GetCheckState(TreeItem item) const override { return Check().GetCheckState(item); }
  void SortChildren(TreeItem item) override { Check().SortChildren(item); }

  mutable std::atomic<int> offThread{0};

 private:
  platform::TreeControl& Check() const {
    if (!ui_.OnUiThread()) ++offThread;
    return inner_;
  }
  platform::TreeControl& inner_;
  const platform::UiDispatcher& ui_;
};

TEST_F(ObjectTreeTest, BuildersOnAWorkerReachTheTreeOnlyThroughTheDispatcher) {
  QM_REQUIRE_REAL_FIXTURES();
  opened = OpenDatabase(RealFixture("sql2008_pubs.mdf").string(), 0, nullptr);
  ASSERT_TRUE(opened.opened());
  UiThreadTree tree(window.tree, ui);
  TreeWindow worker = Window();
  worker.controls.tree = &tree;
  std::atomic<bool> done{false};
  bool filled = false;
  bool expanded = false;
  std::thread thread([&] {
    nodes = app::BuildSkeleton(worker, u"root");
    filled = app::FillFromCatalog(worker, nodes, *opened.catalog);
    TreeItem table = kNoItem;
    ui.Invoke([&] { table = window.tree.FirstChild(nodes.userTables); });
    expanded = app::ExpandTable(worker, nodes, *opened.catalog, table, {});
    done = true;
  });
  const bool finished = ui.PumpUntil([&] { return done.load(); });
  thread.join();
  ASSERT_TRUE(finished);
  EXPECT_TRUE(filled);
  EXPECT_TRUE(expanded);
  EXPECT_EQ(tree.offThread.load(), 0);
  EXPECT_EQ(window.log.Lines(), (Texts{u"Creating Tree.........", u"Process done........."}));
}

TEST_F(ObjectTreeTest, BuildersRunWithoutALog) {
  QM_REQUIRE_REAL_FIXTURES();
  opened = OpenDatabase(RealFixture("sql2008_pubs.mdf").string(), 0, nullptr);
  ASSERT_TRUE(opened.opened());
  TreeWindow silent = Window();
  silent.log = nullptr;
  nodes = app::BuildSkeleton(silent, u"root");
  EXPECT_TRUE(app::FillFromCatalog(silent, nodes, *opened.catalog));
  EXPECT_TRUE(window.log.Lines().empty());
  EXPECT_EQ(window.caption.Text(), u"Process done.........");
}

// ---- The tree control's rules ----

// Hit-test flags besides the label: on the icon, the indent, the button, the
// state icon (check box), right of the label.
constexpr std::uint32_t kOnIcon = 0x0002;
constexpr std::uint32_t kOnIndent = 0x0008;
constexpr std::uint32_t kOnButton = 0x0010;
constexpr std::uint32_t kOnRight = 0x0020;
constexpr std::uint32_t kOnStateIcon = 0x0040;

class TreeRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = tree.InsertItem(u"root", kNoItem, platform::InsertAt::kLast, 0);
    a = tree.InsertItem(u"a", root, platform::InsertAt::kLast, 1);
    b = tree.InsertItem(u"b", root, platform::InsertAt::kLast, 1);
  }
  platform::headless::Tree tree;
  platform::RecordingTarget owner;
  TreeItem root = kNoItem, a = kNoItem, b = kNoItem;
};

TEST_F(TreeRulesTest, LeftClickSelectsAndNotifiesOnlyOnTheLabel) {
  struct Case {
    std::uint32_t flags;
    bool notifies;
  };
  for (const Case& c : {Case{platform::kHitOnLabel, true}, Case{platform::kHitOnLabel | kOnRight, true},
                        Case{kOnIcon, false}, Case{kOnIndent, false}, Case{kOnButton, false}, Case{kOnRight, false},
                        Case{kOnStateIcon, false}}) {
    SCOPED_TRACE(c.flags);
    owner.messages.clear();
    tree.Select(a);
    tree.SetDropHighlight(a);
    platform::LeftButtonDown(tree, b, c.flags, &owner);
    EXPECT_EQ(tree.Selection(), b);
    EXPECT_EQ(tree.DropHighlight(), b);
    ASSERT_EQ(owner.messages.size(), c.notifies ? 1u : 0u);
    if (!c.notifies) continue;
    EXPECT_EQ(owner.messages[0].id, platform::WM_APP_OBJECT_SELECTED);
    EXPECT_EQ(owner.messages[0].wParam, c.flags);
    EXPECT_EQ(owner.messages[0].lParam, static_cast<platform::LParam>(b));
  }
}

TEST_F(TreeRulesTest, LeftClickOnBlankSpaceClearsTheSelectionSilently) {
  tree.Select(a);
  platform::LeftButtonDown(tree, kNoItem, platform::kHitOnLabel, &owner);
  EXPECT_EQ(tree.Selection(), kNoItem);
  EXPECT_EQ(tree.DropHighlight(), kNoItem);
  EXPECT_TRUE(owner.messages.empty());
  platform::LeftButtonDown(tree, a, platform::kHitOnLabel, nullptr);  // no owner: nobody to tell
  EXPECT_EQ(tree.Selection(), a);
}

TEST_F(TreeRulesTest, RightClickMovesTheSelectionWithoutNotifying) {
  tree.Select(a);
  platform::RightButtonDown(tree, b);
  EXPECT_EQ(tree.Selection(), b);
  EXPECT_EQ(tree.DropHighlight(), b);
  EXPECT_TRUE(owner.messages.empty());
  platform::LeftButtonDown(tree, b, platform::kHitOnLabel, &owner);
  EXPECT_EQ(owner.Count(platform::WM_APP_OBJECT_SELECTED), 1u);
}

TEST_F(TreeRulesTest, SortOrderFoldsOnlyAsciiLettersAndComparesCodeUnits) {
  EXPECT_TRUE(platform::TreeTextLess(u"apple", u"Banana"));
  EXPECT_TRUE(platform::TreeTextLess(u"sp_help", u"sp_MSadd"));
  EXPECT_TRUE(platform::TreeTextLess(u"a_b", u"aa"));
  EXPECT_TRUE(platform::TreeTextLess(u"ab", u"abc"));
  EXPECT_FALSE(platform::TreeTextLess(u"ABC", u"abc"));
  EXPECT_FALSE(platform::TreeTextLess(u"abc", u"ABC"));
  EXPECT_TRUE(platform::TreeTextLess(u"z", u"\u00e4"));
  const TreeItem upper = tree.InsertItem(u"B", root, platform::InsertAt::kFirst, 0);
  const TreeItem apple = tree.InsertItem(u"Apple", root, platform::InsertAt::kFirst, 0);
  tree.SortChildren(root);
  EXPECT_EQ(tree.Children(root), (std::vector<TreeItem>{a, apple, upper, b}));  // equal texts keep their order
}

TEST_F(ObjectTreeTest, TickingATableTicksItsDescendantsAndPartlyItsAncestors) {
  QM_REQUIRE_REAL_FIXTURES();
  Build("sql2008_pubs.mdf");
  const TreeItem titles = UserTable(u"titles");
  ASSERT_TRUE(Expand(titles));
  platform::ClickCheckBox(window.tree, titles);

  std::vector<TreeItem> below = {titles};
  for (std::size_t i = 0; i < below.size(); ++i)
    for (TreeItem child : window.tree.Children(below[i])) below.push_back(child);
  EXPECT_GT(below.size(), 15u);
  for (TreeItem item : below) EXPECT_EQ(window.tree.GetCheckState(item), CheckState::kTicked);
  for (TreeItem up : {nodes.userTables, nodes.tables, nodes.root})
    EXPECT_EQ(window.tree.GetCheckState(up), CheckState::kPartly);
  EXPECT_EQ(window.tree.GetCheckState(nodes.systemTables), CheckState::kClear);

  for (TreeItem table : window.tree.Children(nodes.userTables))
    if (table != titles) platform::ClickCheckBox(window.tree, table);
  EXPECT_EQ(window.tree.GetCheckState(nodes.userTables), CheckState::kTicked);
  EXPECT_EQ(window.tree.GetCheckState(nodes.tables), CheckState::kPartly);

  // Unticking a column takes the tick of every ancestor that held all.
  const TreeItem column = window.tree.FirstChild(window.tree.Find({u"root", u"Tables", u"User Tables", u"titles",
                                                                   u"Columns"}));
  platform::ClickCheckBox(window.tree, column);
  EXPECT_EQ(window.tree.GetCheckState(column), CheckState::kClear);
  for (TreeItem up : {window.tree.Parent(column), titles, nodes.userTables})
    EXPECT_EQ(window.tree.GetCheckState(up), CheckState::kPartly);

  platform::ClickCheckBox(window.tree, titles);  // partly shown: the click ticks it
  for (TreeItem item : below) EXPECT_EQ(window.tree.GetCheckState(item), CheckState::kTicked);
  platform::ClickCheckBox(window.tree, titles);
  for (TreeItem item : below) EXPECT_EQ(window.tree.GetCheckState(item), CheckState::kClear);
  EXPECT_EQ(window.tree.GetCheckState(nodes.userTables), CheckState::kPartly);

  platform::ClickCheckBox(window.tree, nodes.root);
  EXPECT_EQ(window.tree.GetCheckState(titles), CheckState::kTicked);
  platform::ClickCheckBox(window.tree, nodes.root);
  EXPECT_EQ(window.tree.GetCheckState(nodes.userTables), CheckState::kClear);
}

}  // namespace
}  // namespace quillmark::testing
