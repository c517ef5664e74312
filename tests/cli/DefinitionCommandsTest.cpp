#include <cctype>
#include <map>

#include "platform/CodePage.h"
#include "tests/cli/CliTest.h"
#include "tests/cli/ReadmeObjects.h"
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;

std::string Fixture(const std::string& name) { return RealFixture(name).string(); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The CHECK constraints the README names or counts, where it does.
const std::map<std::string, Group>& ReadmeChecks() {
  const Group northwind{"checks",
                        {"CK_Birthdate", "CK_Discount", "CK_Products_UnitPrice", "CK_Quantity", "CK_ReorderLevel",
                         "CK_UnitPrice", "CK_UnitsInStock", "CK_UnitsOnOrder"}};
  // authors 2, publishers 1, jobs 2, employee 1.
  const Group pubs{"checks", {}, 6};
  static const std::map<std::string, Group> checks = {
      {"sql2000_northwind.mdf", northwind},      {"sql2008_northwind_junktail.mdf", northwind},
      {"sql2008r2_northwind.mdf", northwind},    {"sql2005_pubs.mdf", pubs},
      {"sql2008_pubs.mdf", pubs},                {"sql2014_pubs.mdf", pubs},
      {"sql2008_reportserver.mdf", {"checks", {}, 3}}, {"sql2005_aspnetdb.mdf", {"checks", {}}},
  };
  return checks;
}

// The names of `definitions --json` under the keys of `objects --json`, and
// the check constraints under "checks".
json GroupedByType(const json& definitions) {
  static const std::map<std::string, std::string> kGroupOfType = {
      {"V ", "views"},     {"P ", "procedures"}, {"FN", "functions"}, {"IF", "functions"},
      {"TF", "functions"}, {"TR", "triggers"},   {"D ", "defaults"},  {"C ", "checks"}};
  json groups = json::object();
  for (const auto& [type, key] : kGroupOfType) groups[key] = json::array();
  for (const json& definition : definitions)
    groups[kGroupOfType.at(definition.at("type").get<std::string>())].push_back(definition.at("name"));
  return groups;
}

TEST(CliDefinitions, EveryRealFileDefinesWhatItsReadmeNames) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const FixtureObjects& fixture : ReadmeObjects()) {
    SCOPED_TRACE(fixture.file);
    const json definitions = RunJson({"definitions", Fixture(fixture.file), "--json"});
    ASSERT_TRUE(definitions.is_array());
    for (const json& definition : definitions) EXPECT_NE(definition.at("definition"), "") << definition.at("name");
    const json groups = GroupedByType(definitions);
    for (const Group& group : fixture.groups)
      if (group.key != "userTables") ExpectGroup(groups, group);
    if (auto checks = ReadmeChecks().find(fixture.file); checks != ReadmeChecks().end())
      ExpectGroup(groups, checks->second);
  }
}

// The definition `definitions --json` lists for `name`.
std::string ListedDefinition(const std::string& file, const std::string& name) {
  for (const json& definition : RunJson({"definitions", Fixture(file), "--json"}))
    if (definition.at("name") == name) return definition.at("definition");
  return "<not listed>";
}

// Texts as the scripts that created them have them, CR LF and all; SQL Server
// 2000 files keep theirs in syscomments.
TEST(CliDefinitions, TextsAreAsStored) {
  QM_REQUIRE_REAL_FIXTURES();
  enum class Match { kWhole, kStart, kEnd };
  struct Case {
    std::string file;
    std::string name;
    Match match;
    std::string text;
  };
  const Case cases[] = {
      {"sql2014_pubs.mdf", "byroyalty", Match::kWhole,
       "\r\nCREATE PROCEDURE byroyalty @percentage int\r\nAS\r\nselect au_id from titleauthor\r\n"
       "where titleauthor.royaltyper = @percentage\r\n\r\n"},
      {"sql2014_pubs.mdf", "titleview", Match::kWhole,
       "\r\nCREATE VIEW titleview\r\nAS\r\nselect title, au_ord, au_lname, price, ytd_sales, pub_id\r\n"
       "from authors, titles, titleauthor\r\nwhere authors.au_id = titleauthor.au_id\r\n"
       "   AND titles.title_id = titleauthor.title_id\r\n\r\n"},
      {"sql2014_pubs.mdf", "employee_insupd", Match::kStart,
       "\r\nCREATE TRIGGER employee_insupd\r\nON employee\r\nFOR insert, UPDATE\r\nAS\r\n"
       "--Get the range of level for this job type from the jobs table.\r\n"},
      {"sql2014_pubs.mdf", "employee_insupd", Match::kEnd,
       "      16, 1, @job_id, @min_lvl, @max_lvl)\r\n   ROLLBACK TRANSACTION\r\nend\r\n\r\n"},
      {"sql2014_pubs.mdf", "CK__jobs__min_lvl__2C3393D0", Match::kWhole, "([min_lvl]>=(10))"},
      {"sql2014_pubs.mdf", "DF__titles__pubdate__1B0907CE", Match::kWhole, "(getdate())"},
      {"sql2000_northwind.mdf", "Sales by Year", Match::kStart, "create procedure \"Sales by Year\""},
      {"sql2000_northwind.mdf", "CK_Products_UnitPrice", Match::kWhole, "([UnitPrice] >= 0)"},
      {"sql2000_northwind.mdf", "DF_Products_UnitPrice", Match::kWhole, "(0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.name);
    CliRun run = RunCommand({"definition", Fixture(c.file), c.name});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::size_t size = std::min(run.out.size(), c.text.size());
    const std::string compared = c.match == Match::kWhole   ? run.out
                                 : c.match == Match::kStart ? run.out.substr(0, size)
                                                            : run.out.substr(run.out.size() - size);
    EXPECT_EQ(compared, c.text);
    EXPECT_EQ(ListedDefinition(c.file, c.name), run.out);
  }
}

// A syscomments row holds at most 4000 characters, and SQL Server fills every
// row of a long text but the last: a text of n rows is longer than n - 1 full
// rows only when every row went into it.
TEST(CliDefinitions, TextsStoredInSeveralRowsJoinThemAll) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string file = Fixture("sql2000_distmdl.mdf");
  std::map<std::string, std::size_t> rows;  // by object id
  const std::string listing = RunCommand({"rows", file, "syscomments", "--format", "jsonl"}).out;
  for (std::size_t at = listing.find('\n') + 1, end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1)
    ++rows[json::parse(listing.substr(at, end - at)).at(0).get<std::string>()];
  std::map<std::string, std::string> idOf;
  for (const json& object : RunJson({"catalog", file, "objects", "--json"}))
    idOf[object.at("name")] = std::to_string(object.at("id").get<std::int64_t>());

  std::size_t joined = 0;
  for (const json& definition : RunJson({"definitions", file, "--json"})) {
    const std::size_t count = rows[idOf.at(definition.at("name"))];
    if (count < 2) continue;
    ++joined;
    const std::string name = definition.at("name");
    const std::u16string text = platform::Utf8ToUtf16(definition.at("definition").get<std::string>());
    EXPECT_GT(text.size(), (count - 1) * 4000) << name << " in " << count << " rows";
    // The first row carries the statement that made the object (after any
    // comment above it), in whatever case its author wrote it.
    const std::string head = Lower(definition.at("definition").get<std::string>().substr(0, 4000));
    EXPECT_NE(head.find("create procedure " + Lower(name)), std::string::npos) << name;
  }
  EXPECT_GT(joined, 50u);
}

TEST(CliDefinitions, TextHeadsEachObjectWithItsNameAndType) {
  QM_REQUIRE_REAL_FIXTURES();
  CliRun run = RunCommand({"definitions", Fixture("sql2014_pubs.mdf")});
  EXPECT_EQ(run.code, 0) << run.err;
  const json definitions = RunJson({"definitions", Fixture("sql2014_pubs.mdf"), "--json"});
  std::string expected;
  for (const json& definition : definitions) {
    std::string type = definition.at("type");
    if (type.back() == ' ') type.pop_back();
    const std::string text = definition.at("definition");
    expected += "-- " + definition.at("name").get<std::string>() + " (" + type + ")\n" + text;
    if (text.back() != '\n') expected += "\n";
  }
  EXPECT_EQ(run.out, expected);
  EXPECT_NE(run.out.find("\n-- byroyalty (P)\n\r\nCREATE PROCEDURE byroyalty"), std::string::npos);
}

TEST(CliDefinitions, OnlyObjectsWithATextHaveADefinition) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string name;
    std::string error;
  };
  const Case cases[] = {
      {"no_such_object", "no view, procedure, function, trigger, default or constraint named 'no_such_object'"},
      {"authors", "'authors' is a table: see columns and rows"},
      {"sqlagent_jobs", "'sqlagent_jobs' is of type IT, which has no definition text"},  // an internal table
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOneLineError(RunCommand({"definition", Fixture("sql2014_pubs.mdf"), c.name}), c.error);
  }
}

// The built shop's modules, checks and defaults come back as the builder wrote
// them, in both catalog layouts.
TEST(CliDefinitions, BuiltDatabasesGiveBackTheirDefinitions) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(layout == Layout::kSql2000 ? "2000" : "2005+");
    TempDir dir;
    const DatabaseSpec shop = DemoShop(layout);
    const std::string file = shop.Write(dir.path(), "shop.mdf").primary.string();
    std::map<std::string, std::string> expected;
    for (const ModuleSpec& module : shop.modules) expected[module.name] = module.definition;
    for (const TableSpec& table : shop.tables) {
      for (const CheckSpec& check : table.checks) expected[check.name] = check.definition;
      for (const ColumnSpec& column : table.columns)
        if (!column.defaultDefinition.empty()) expected["DF_" + table.name + "_" + column.name] = column.defaultDefinition;
    }
    std::map<std::string, std::string> listed;
    for (const json& definition : RunJson({"definitions", file, "--json"}))
      listed[definition.at("name")] = definition.at("definition");
    EXPECT_EQ(listed, expected);
  }
}

struct KeyCase {
  std::string table;
  std::string key;
  std::string script;
};

void ExpectScripts(const std::string& file, const std::vector<KeyCase>& cases) {
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.table + " " + c.key);
    CliRun run = RunCommand({"keyscript", file, c.table, c.key});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, c.script + "\n");
  }
}

// A primary or unique key lists the columns its legacy table marks (SQL Server
// 2000 files), so later files show an empty table and list; a CHECK or a
// default gives a CHECK statement around its condition or expression.
TEST(CliKeyScript, RealKeysAndConstraints) {
  QM_REQUIRE_REAL_FIXTURES();
  ExpectScripts(Fixture("sql2000_northwind.mdf"),
                {{"Products", "PK_Products", "ALTER TABLE Products ADD PRIMARY KEY ( ProductID , ProductName , Discontinued )"},
                 {"Categories", "PK_Categories", "ALTER TABLE Categories ADD PRIMARY KEY ( CategoryID , CategoryName )"},
                 // A nonclustered key: its table has no legacy table.
                 {"Region", "PK_Region", "ALTER TABLE  ADD PRIMARY KEY ( )"},
                 {"Products", "CK_Products_UnitPrice",
                  "ALTER TABLE  [dbo].[Products] WITH NOCHECK ADD CONSTRAINT[CK_Products_UnitPrice] CHECK ([UnitPrice] >= 0)"},
                 {"Products", "DF_Products_UnitPrice",
                  "ALTER TABLE  [dbo].[Products] WITH NOCHECK ADD CONSTRAINT[DF_Products_UnitPrice] CHECK (0)"}});
  ExpectScripts(Fixture("sql2014_pubs.mdf"),
                {{"jobs", "PK__jobs__6E32B6A5D54BF13A", "ALTER TABLE  ADD PRIMARY KEY ( )"},
                 {"jobs", "CK__jobs__min_lvl__2C3393D0",
                  "ALTER TABLE  [dbo].[jobs] WITH NOCHECK ADD CONSTRAINT[CK__jobs__min_lvl__2C3393D0] CHECK ([min_lvl]>=(10))"},
                 {"jobs", "DF__jobs__job_desc__2B3F6F97",
                  "ALTER TABLE  [dbo].[jobs] WITH NOCHECK ADD CONSTRAINT[DF__jobs__job_desc__2B3F6F97] CHECK ('New "
                  "Position - title not formalized yet')"}});
  ExpectScripts(Fixture("sql2005_aspnetdb.mdf"),
                {{"aspnet_Applications", "UQ__aspnet_Applicati__7F60ED59",
                  "ALTER TABLE[dbo].[] WITH NOCHECK ADD CONSTRAINT[UQ__aspnet_Applicati__7F60ED59] UNIQUE CLUSTERED "
                  "\r\n(\r\n[ ] DSC\r\n)"}});
}

TEST(CliKeyScript, BuiltSql2000KeysListTheirTablesColumns) {
  TempDir dir;
  const std::string file = DemoShop(Layout::kSql2000).Write(dir.path(), "shop.mdf").primary.string();
  // The primary key takes the NOT NULL columns; the unique key also the
  // nullable ones stored without padding.
  ExpectScripts(file,
                {{"Products", "PK_Products", "ALTER TABLE Products ADD PRIMARY KEY ( ProductId , Sku , Name , UnitPrice , Discontinued )"},
                 {"Products", "UQ_Products_Sku",
                  "ALTER TABLE[dbo].[Products] WITH NOCHECK ADD CONSTRAINT[UQ_Products_Sku] UNIQUE CLUSTERED \r\n(\r\n"
                  "[ ProductId , Sku , Name , UnitPrice , WeightKg , Discontinued , Description ] DSC\r\n)"},
                 {"Products", "CK_Products_UnitPrice",
                  "ALTER TABLE  [dbo].[Products] WITH NOCHECK ADD CONSTRAINT[CK_Products_UnitPrice] CHECK ([UnitPrice]>=(0))"},
                 {"Customers", "DF_Customers_IsActive",
                  "ALTER TABLE  [dbo].[Customers] WITH NOCHECK ADD CONSTRAINT[DF_Customers_IsActive] CHECK ((1))"}});
}

TEST(CliKeyScript, ForeignKeysAndUnknownNamesAreRefused) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    std::string table;
    std::string key;
    std::string error;
  };
  const Case cases[] = {
      {"Products", "FK_Products_Categories", "'FK_Products_Categories' is a foreign key: foreign keys have no script"},
      {"Products", "PK_Orders", "table 'Products' has no key or constraint named 'PK_Orders'"},
      {"Invoices", "PK_Invoices", "no table named 'Invoices'"},  // a view
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ExpectOneLineError(RunCommand({"keyscript", Fixture("sql2000_northwind.mdf"), c.table, c.key}), c.error);
  }
}

}  // namespace
}  // namespace quillmark::testing
