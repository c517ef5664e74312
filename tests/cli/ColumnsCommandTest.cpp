#include <map>
#include <optional>
#include <set>

#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;

// Each column as the object tree shows it: name, type text, key flag, and the
// table and column a foreign key refers to.
TEST(CliColumns, LinesShowTypesKeysAndReferences) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string file;
    std::string table;
    std::string lines;
  };
  const Case cases[] = {
      // SQL Server 2000 files name their types from their own systypes.
      {"sql2000_northwind.mdf", "Shippers", "ShipperID  int(4)\nCompanyName  nvarchar(80)\nPhone  nvarchar(48)\n"},
      {"sql2000_northwind.mdf", "Region", "RegionID  int(4)\nRegionDescription  nchar(100)\n"},
      {"sql2014_pubs.mdf", "sales",
       "stor_id  char(4)[Primary Key]  (foreign key) references stores( stor_id)\n"
       "ord_num  varchar(20)[Primary Key]\n"
       "ord_date  datetime(8)\n"
       "qty  smallint(2)\n"
       "payterms  varchar(12)\n"
       "title_id  varchar(6)[Primary Key]  (foreign key) references titles( title_id)\n"},
      // SQL Server 2000 files name their types from their own systypes.
      {"sql2000_northwind.mdf", "Shippers", "ShipperID  int(4)\nCompanyName  nvarchar(80)\nPhone  nvarchar(48)\n"},
      {"sql2000_northwind.mdf", "Region", "RegionID  int(4)\nRegionDescription  nchar(100)\n"},
      {"sql2012_musicstore.mdf", "Albums",
       "AlbumId  int(4)[Primary Key]\n"
       "GenreId  int(4)  (foreign key) references Genres( GenreID)\n"
       "ArtistId  int(4)  (foreign key) references Artists( ArtistId)\n"
       "Title  nvarchar(320)\n"
       "Price  decimal(9)\n"
       "AlbumArtUrl  nvarchar(2048)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.table);
    CliRun run = RunCommand({"columns", RealFixture(c.file).string(), c.table});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, c.lines);
  }
}

// The keys the fixtures' README states, as the column lines flag them: the
// primary-key columns, and each foreign-key column with what it refers to.
TEST(CliColumns, KeysTheReadmeStates) {
  QM_REQUIRE_REAL_FIXTURES();
  using References = std::map<std::string, std::string>;
  struct Case {
    std::string file;
    std::string table;
    std::optional<std::set<std::string>> primaryKey;  // none: the README does not say
    References foreignKeys;
  };
  const Case cases[] = {
      {"sql2005_pubs.mdf", "authors", {{"au_id"}}, {}},
      {"sql2008_pubs.mdf", "authors", {{"au_id"}}, {}},
      {"sql2014_pubs.mdf", "authors", {{"au_id"}}, {}},
      {"sql2016_webtonic.mdf", "Grades", {{"StudentId", "CourseId"}}, {}},
      {"sql2016_webtonic.mdf", "Students", {{"StudentId"}}, {}},
      {"sql2016_webtonic.mdf", "StudentResults", {{}}, {}},
      {"sql2019_articles.mdf", "Articles", {{"Id"}}, {}},
      {"sql2019_articles.mdf", "Table12", {{"Id"}}, {}},
      {"sql2012_nerddinner.mdf", "RSVP", std::nullopt, {{"DinnerID", "Dinner( DinnerID)"}}},
      {"sql2012_musicstore.mdf", "Albums", std::nullopt,
       {{"GenreId", "Genres( GenreID)"}, {"ArtistId", "Artists( ArtistId)"}}},
      {"sql2014_identity.mdf", "AspNetUserRoles", std::nullopt,
       {{"UserId", "AspNetUsers( Id)"}, {"RoleId", "AspNetRoles( Id)"}}},
      {"sql2014_identity.mdf", "AspNetUserClaims", std::nullopt, {{"UserId", "AspNetUsers( Id)"}}},
      {"sql2014_identity.mdf", "AspNetUserLogins", std::nullopt, {{"UserId", "AspNetUsers( Id)"}}},
  };
  const std::string kReferences = "  (foreign key) references ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.table);
    CliRun run = RunCommand({"columns", RealFixture(c.file).string(), c.table});
    EXPECT_EQ(run.code, 0) << run.err;
    std::set<std::string> primaryKey;
    References foreignKeys;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      const std::string name = line.substr(0, line.find("  "));
      if (line.find("[Primary Key]") != std::string::npos) primaryKey.insert(name);
      if (std::size_t at = line.find(kReferences); at != std::string::npos)
        foreignKeys[name] = line.substr(at + kReferences.size());
    }
    EXPECT_EQ(primaryKey, c.primaryKey.value_or(primaryKey));
    EXPECT_EQ(foreignKeys, c.foreignKeys);
  }
}

TEST(CliColumns, SystemTableWhenNoUserTableHasTheName) {
  QM_REQUIRE_REAL_FIXTURES();
  CliRun run = RunCommand({"columns", RealFixture("sql2014_pubs.mdf").string(), "sysschobjs"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "id  int(4)[Unique]");
}

TEST(CliColumns, JsonHoldsEveryLayoutField) {
  QM_REQUIRE_REAL_FIXTURES();
  json columns = RunJson({"columns", RealFixture("sql2014_pubs.mdf").string(), "sales", "--json"});
  ASSERT_EQ(columns.size(), 6u);
  const json& titleId = columns[5];
  EXPECT_EQ(titleId.size(), 29u) << titleId.dump();
  EXPECT_EQ(titleId["name"], "title_id");
  EXPECT_EQ(titleId["typeText"], "varchar(6)");
  EXPECT_EQ(titleId["columnId"], 6);
  EXPECT_EQ(titleId["inPrimaryKey"], 1);
  EXPECT_EQ(titleId["inForeignKey"], 1);
  EXPECT_EQ(titleId["referencedTable"], "titles");
  EXPECT_EQ(titleId["referencedColumn"], "title_id");
  EXPECT_EQ(titleId["collationId"], 872468488);
  // The clustered key comes first in the record: title_id is its third column.
  EXPECT_EQ(titleId["physicalColumnId"], 3);
  EXPECT_EQ(columns[4]["inPrimaryKey"], 0);
}

TEST(CliColumns, AnythingButATableIsRefused) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string pubs = RealFixture("sql2014_pubs.mdf").string();
  for (const char* name : {"no_such_table", "titleview", "SALES"}) {
    SCOPED_TRACE(name);
    ExpectOneLineError(RunCommand({"columns", pubs, name}), std::string("no table named '") + name + "'");
  }
}

}  // namespace
}  // namespace quillmark::testing
