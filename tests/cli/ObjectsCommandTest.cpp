#include <algorithm>
#include <cctype>
#include <set>

#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

// What the fixtures' README says one group of `objects --json` holds: exactly
// `names`, or, when it gives a number, `count` objects among which `names`.
struct Group {
  std::string key;
  Names names;
  int count = -1;
};

struct FixtureObjects {
  std::string file;
  std::vector<Group> groups;
};

Names Join(Names names, const Names& more) {
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

const Names kNorthwindTables = {"Categories",
                                "CustomerCustomerDemo",
                                "CustomerDemographics",
                                "Customers",
                                "Employees",
                                "EmployeeTerritories",
                                "Order Details",
                                "Orders",
                                "Products",
                                "Region",
                                "Shippers",
                                "Suppliers",
                                "Territories"};
const Names kNorthwindViews = {"Alphabetical list of products",
                               "Category Sales for 1997",
                               "Current Product List",
                               "Customer and Suppliers by City",
                               "Invoices",
                               "Order Details Extended",
                               "Order Subtotals",
                               "Orders Qry",
                               "Product Sales for 1997",
                               "Products Above Average Price",
                               "Products by Category",
                               "Quarterly Orders",
                               "Sales by Category",
                               "Sales Totals by Amount",
                               "Summary of Sales by Quarter",
                               "Summary of Sales by Year"};
const Names kNorthwindProcedures = {
    "CustOrderHist", "CustOrdersDetail", "CustOrdersOrders",           "Employee Sales by Country",
    "Sales by Year", "SalesByCategory",  "Ten Most Expensive Products"};
const Names kDiagramProcedures = {"sp_alterdiagram", "sp_creatediagram", "sp_dropdiagram",   "sp_helpdiagramdefinition",
                                  "sp_helpdiagrams", "sp_renamediagram", "sp_upgraddiagrams"};
const Names kPubsTables = {"authors",  "publishers", "titles", "titleauthor", "stores",  "sales",
                           "roysched", "discounts",  "jobs",   "pub_info",    "employee"};
const Names kPubsProcedures = {"byroyalty", "reptq1", "reptq2", "reptq3"};
const Names kAspNetTables = {"aspnet_Applications", "aspnet_Users",        "aspnet_Membership",    "aspnet_Profile",
                             "aspnet_Roles",        "aspnet_UsersInRoles", "aspnet_SchemaVersions"};
// Not named by the README: SQL Server 2000 creates these two as ordinary views in every database.
const Names kSql2000SystemViews = {"sysconstraints", "syssegments"};

std::vector<Group> Northwind2000() {
  return {{"userTables", kNorthwindTables},
          {"views", Join(kNorthwindViews, kSql2000SystemViews)},
          {"procedures", kNorthwindProcedures},
          {"defaults", {}, 9}};
}

std::vector<Group> NorthwindWithDiagrams() {
  return {{"userTables", Join(kNorthwindTables, {"sysdiagrams"})},
          {"views", kNorthwindViews},
          {"procedures", Join(kNorthwindProcedures, kDiagramProcedures)},
          {"functions", {"fn_diagramobjects"}},
          {"defaults", {}, 9}};
}

std::vector<Group> Pubs(const Names& moreProcedures = {}) {
  return {{"userTables", kPubsTables},
          {"views", {"titleview"}},
          {"procedures", Join(kPubsProcedures, moreProcedures)},
          {"triggers", {"employee_insupd"}}};
}

std::vector<Group> NoUserObjects() {
  return {{"userTables", {}}, {"views", {}}, {"procedures", {}}, {"functions", {}}, {"triggers", {}}, {"defaults", {}}};
}

// The README's lists, file by file.
const std::vector<FixtureObjects>& ReadmeObjects() {
  static const std::vector<FixtureObjects> fixtures = {
      {"sql2000_distmdl.mdf",
       {{"userTables",
         {"MSarticles", "MSdistribution_agents", "MSdistribution_history", "MSlogreader_agents", "MSmerge_agents",
          "MSpublications", "MSrepl_commands", "MSrepl_transactions", "MSsubscriptions"},
         26},
        {"procedures", {}, 148},
        {"functions", {"fn_MSmask_agent_type"}},
        {"views", Join({"MSdistribution_status"}, kSql2000SystemViews)},
        {"defaults", {}, 15}}},
      {"sql2000_northwind.mdf", Northwind2000()},
      {"sql2005_aspnetdb.mdf",
       {{"userTables", kAspNetTables},
        {"views",
         {"vw_aspnet_Applications", "vw_aspnet_Users", "vw_aspnet_MembershipUsers", "vw_aspnet_Profiles",
          "vw_aspnet_Roles", "vw_aspnet_UsersInRoles"}},
        {"procedures", {}, 41},
        {"defaults", {}, 6}}},
      {"sql2005_dnn_empty.mdf", NoUserObjects()},
      {"sql2005_pubs.mdf", Pubs()},
      {"sql2008_northwind_junktail.mdf", NorthwindWithDiagrams()},
      {"sql2008_pubs.mdf", Pubs()},
      {"sql2008_reportserver.mdf",
       {{"userTables",
         {"ActiveSubscriptions",
          "Batch",
          "CachePolicy",
          "Catalog",
          "ChunkData",
          "ChunkSegmentMapping",
          "ConfigurationInfo",
          "DataSource",
          "Event",
          "ExecutionLogStorage",
          "History",
          "Keys",
          "ModelDrill",
          "ModelItemPolicy",
          "ModelPerspective",
          "Notifications",
          "Policies",
          "PolicyUserRole",
          "ReportSchedule",
          "Roles",
          "RunningJobs",
          "Schedule",
          "SecData",
          "Segment",
          "SegmentedChunk",
          "ServerParametersInstance",
          "SnapshotData",
          "Subscriptions",
          "SubscriptionsBeingDeleted",
          "UpgradeInfo",
          "Users"}},
        {"views", {"ExecutionLog", "ExecutionLog2"}},
        {"procedures", {}, 221},
        {"triggers",
         {"HistoryDelete_SnapshotRefcount", "History_Notifications", "ReportSchedule_Schedule",
          "Schedule_DeleteAgentJob", "Schedule_UpdateExpiration", "Subscription_delete_DataSource",
          "Subscription_delete_Schedule"}},
        {"defaults", {}, 2}}},
      {"sql2008r2_aspnetdb.mdf",
       {{"userTables", Join(kAspNetTables, {"aspnet_WebEvent_Events", "sysdiagrams"})},
        {"views",
         {"vw_aspnet_Applications", "vw_aspnet_MembershipUsers", "vw_aspnet_Profiles", "vw_aspnet_Roles",
          "vw_aspnet_Users", "vw_aspnet_WebPartState_User"}},
        {"procedures", {}, 49},
        {"functions", {"fn_diagramobjects"}}}},
      {"sql2008r2_northwind.mdf", NorthwindWithDiagrams()},
      {"sql2012_musicstore.mdf", {{"userTables", {"Genres", "Artists", "Albums", "__MigrationHistory"}}}},
      {"sql2012_nerddinner.mdf", {{"userTables", {"Dinner", "RSVP"}}}},
      {"sql2014_identity.mdf",
       {{"userTables",
         {"AspNetRoles", "AspNetUserRoles", "AspNetUsers", "AspNetUserClaims", "AspNetUserLogins",
          "__MigrationHistory"}},
        {"defaults", {}, 1}}},
      {"sql2014_pubs.mdf", Pubs({"salesProc1"})},
      {"sql2016_v851_knowledge.mdf", {{"userTables", {"Login", "Questions", "Answer"}}}},
      {"sql2016_webtonic.mdf", {{"userTables", {"StudentResults", "Students", "Grades", "Courses"}}}},
      {"sql2017_dnn_empty.mdf", NoUserObjects()},
      {"sql2019_articles.mdf", {{"userTables", {"Articles", "Table", "Tabl1", "Table12"}}}},
  };
  return fixtures;
}

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectGroup(const json& objects, const Group& group) {
  SCOPED_TRACE(group.key);
  const Names listed = objects.at(group.key).get<Names>();
  if (group.count < 0) {
    EXPECT_EQ(Sorted(listed), Sorted(group.names));
    return;
  }
  EXPECT_EQ(listed.size(), static_cast<std::size_t>(group.count));
  for (const std::string& name : group.names)
    EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
}

bool IsSql2000File(const std::string& file) {
  for (const RealFixtureFacts& facts : KnownRealFixtures())
    if (facts.file == file) return facts.version == 539;
  ADD_FAILURE() << file << " is not a known fixture";
  return false;
}

TEST(CliObjects, EveryRealFileListsTheObjectsItsReadmeNames) {
  QM_REQUIRE_REAL_FIXTURES();
  ASSERT_EQ(ReadmeObjects().size(), RealFixtureFiles().size());
  for (const FixtureObjects& fixture : ReadmeObjects()) {
    SCOPED_TRACE(fixture.file);
    const json objects = RunJson({"objects", RealFixture(fixture.file).string(), "--json"});
    ASSERT_TRUE(objects.is_object());
    for (const Group& group : fixture.groups) ExpectGroup(objects, group);
    EXPECT_EQ(objects.at("isSql2000"), IsSql2000File(fixture.file));
  }
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) < std::tolower(y);
  });
}

// The names of the catalog's objects of `types`, last first, as the tree inserts them.
Names ReverseCatalogOrder(const json& catalogObjects, const std::set<std::string>& types) {
  Names names;
  for (const json& object : catalogObjects)
    if (types.count(object.at("type").get<std::string>()) && !object.at("name").get<std::string>().empty())
      names.insert(names.begin(), object.at("name").get<std::string>());
  return names;
}

// Procedures, functions and user tables are sorted by name; the other groups
// keep the tree's insertion order, the reverse of the catalog's.
TEST(CliObjects, GroupsFollowTheTreesOrder) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2000_distmdl.mdf", "sql2008_reportserver.mdf", "sql2008r2_northwind.mdf"}) {
    SCOPED_TRACE(file);
    const std::string path = RealFixture(file).string();
    const json objects = RunJson({"objects", path, "--json"});
    const json catalog = RunJson({"catalog", path, "objects", "--json"});
    for (const char* sorted : {"procedures", "functions", "userTables"}) {
      const Names names = objects.at(sorted).get<Names>();
      EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), CaseInsensitiveLess)) << sorted;
    }
    struct Unsorted {
      const char* key;
      std::set<std::string> types;
    };
    for (const Unsorted& group : {Unsorted{"views", {"V "}}, Unsorted{"triggers", {"TR"}}, Unsorted{"defaults", {"D "}},
                                  Unsorted{"systemTables", {"S "}}})
      EXPECT_EQ(objects.at(group.key).get<Names>(), ReverseCatalogOrder(catalog, group.types)) << group.key;
  }
}

// The text tree: the headings in the tree's order, each with its count and names.
TEST(CliObjects, TextTreeShowsTheGroupsUnderTheirHeadings) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string path = RealFixture("sql2014_pubs.mdf").string();
  const json objects = RunJson({"objects", path, "--json"});
  CliRun run = RunCommand({"objects", path});
  ASSERT_EQ(run.code, 0) << run.err;

  struct Heading {
    std::string line;
    const char* key;
  };
  const auto count = [&objects](const char* key) { return std::to_string(objects.at(key).size()); };
  std::size_t at = 0;
  for (const Heading& heading :
       {Heading{"Views (" + count("views") + ")\n", "views"}, Heading{"\nProgrammability\n", nullptr},
        Heading{"├── Triggers (" + count("triggers") + ")\n", "triggers"},
        Heading{"├── Default (" + count("defaults") + ")\n", "defaults"},
        Heading{"├── Store Procedure (" + count("procedures") + ")\n", "procedures"},
        Heading{"└── Function (" + count("functions") + ")\n", "functions"}, Heading{"\nTables\n", nullptr},
        Heading{"├── System Tables (" + count("systemTables") + ")\n", "systemTables"},
        Heading{"└── User Tables (" + count("userTables") + ")\n", "userTables"}}) {
    at = run.out.find(heading.line, at);
    ASSERT_NE(at, std::string::npos) << heading.line << run.out;
    at += heading.line.size();
    if (!heading.key) continue;
    for (const json& name : objects.at(heading.key)) {
      const std::size_t line = run.out.find("── " + name.get<std::string>() + "\n", at);
      EXPECT_EQ(run.out.rfind('\n', line), at - 1) << name;  // the next line under its heading
      at = run.out.find('\n', line) + 1;
    }
  }
  EXPECT_EQ(at, run.out.size());
}

// Scripts go through the user tables by these lines; names keep their blanks.
TEST(CliObjects, UserTablesOnePerLineAsTheTreeSortsThem) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2008r2_northwind.mdf", "sql2000_northwind.mdf", "sql2005_dnn_empty.mdf"}) {
    SCOPED_TRACE(file);
    const std::string path = RealFixture(file).string();
    const json objects = RunJson({"objects", path, "--json"});
    std::string expected;
    for (const json& name : objects["userTables"]) expected += name.get<std::string>() + "\n";
    CliRun run = RunCommand({"objects", path, "--user-tables"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, expected);
  }
}

}  // namespace
}  // namespace quillmark::testing
