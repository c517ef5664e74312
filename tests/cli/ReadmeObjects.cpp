#include "tests/cli/ReadmeObjects.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillmark::testing {
namespace {

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

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

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

void ExpectGroup(const nlohmann::json& groups, const Group& group) {
  SCOPED_TRACE(group.key);
  const Names listed = groups.at(group.key).get<Names>();
  if (group.count < 0) {
    EXPECT_EQ(Sorted(listed), Sorted(group.names));
    return;
  }
  EXPECT_EQ(listed.size(), static_cast<std::size_t>(group.count));
  for (const std::string& name : group.names)
    EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
}

}  // namespace quillmark::testing
