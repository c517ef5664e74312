#include <algorithm>
#include <functional>
#include <map>

#include <sstream>

#include "catalog/OpenSequence.h"
#include "cli/TextTable.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"
#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;

// A column as the README states it: "Title nvarchar(50)", "Price decimal(18,2)",
// "Body nvarchar(max)", or a bare name where it gives no type.
struct ColumnSpec {
  std::string name;
  int systemType = -1;
  int maxLength = -1;  // bytes; -1 for (max)
  bool hasLength = false;
  int precision = -1;
  int scale = -1;
};

const std::map<std::string, int> kSystemTypes = {
    {"int", 56},   {"nvarchar", 231}, {"varchar", 167},   {"datetime", 61},         {"float", 62},
    {"bit", 104},  {"decimal", 106},  {"money", 60},      {"smallint", 52},         {"nchar", 239},
    {"ntext", 99}, {"image", 34},     {"varbinary", 165}, {"uniqueidentifier", 36}, {"real", 59},
    {"char", 175}, {"text", 35}};

ColumnSpec ParseColumn(const std::string& text) {
  const std::size_t blank = text.rfind(' ');
  if (blank == std::string::npos) return {text};
  ColumnSpec spec{text.substr(0, blank)};
  std::string type = text.substr(blank + 1);
  const std::size_t open = type.find('(');
  const std::string arguments = open == std::string::npos ? "" : type.substr(open + 1, type.size() - open - 2);
  type = type.substr(0, open);
  spec.systemType = kSystemTypes.at(type);
  if (type == "decimal") {
    spec.precision = std::stoi(arguments);
    spec.scale = std::stoi(arguments.substr(arguments.find(',') + 1));
  } else if (!arguments.empty()) {
    const int unitBytes = type == "nvarchar" || type == "nchar" ? 2 : 1;
    spec.hasLength = true;
    spec.maxLength = arguments == "max" ? -1 : std::stoi(arguments) * unitBytes;
  }
  return spec;
}

// A user table's columns as the README gives them, in column-id order; or only
// how many it has.
struct TableColumns {
  std::vector<std::string> files;
  std::string table;
  std::vector<std::string> columns;
  std::size_t count = 0;
};

const std::vector<std::string> kNorthwindFiles = {"sql2000_northwind.mdf", "sql2008_northwind_junktail.mdf",
                                                  "sql2008r2_northwind.mdf"};
const std::vector<std::string> kPubsFiles = {"sql2005_pubs.mdf", "sql2008_pubs.mdf", "sql2014_pubs.mdf"};

const std::vector<TableColumns>& ReadmeColumns() {
  static const std::vector<TableColumns> tables = {
      {kNorthwindFiles,
       "Categories",
       {"CategoryID int", "CategoryName nvarchar(15)", "Description ntext", "Picture image"}},
      {kNorthwindFiles, "CustomerCustomerDemo", {"CustomerID nchar(5)", "CustomerTypeID nchar(10)"}},
      {kNorthwindFiles, "CustomerDemographics", {"CustomerTypeID nchar(10)", "CustomerDesc ntext"}},
      {kNorthwindFiles,
       "Customers",
       {"CustomerID nchar(5)", "CompanyName nvarchar(40)", "ContactName nvarchar(30)", "ContactTitle nvarchar(30)",
        "Address nvarchar(60)", "City nvarchar(15)", "Region nvarchar(15)", "PostalCode nvarchar(10)",
        "Country nvarchar(15)", "Phone nvarchar(24)", "Fax nvarchar(24)"}},
      {kNorthwindFiles, "Employees", {}, 18},
      {kNorthwindFiles, "EmployeeTerritories", {"EmployeeID int", "TerritoryID nvarchar(20)"}},
      {kNorthwindFiles,
       "Order Details",
       {"OrderID int", "ProductID int", "UnitPrice money", "Quantity smallint", "Discount real"}},
      {kNorthwindFiles, "Orders", {}, 14},
      {kNorthwindFiles, "Products", {}, 10},
      {kNorthwindFiles, "Region", {"RegionID int", "RegionDescription nchar(50)"}},
      {kNorthwindFiles, "Shippers", {"ShipperID int", "CompanyName nvarchar(40)", "Phone nvarchar(24)"}},
      {kNorthwindFiles, "Suppliers", {}, 12},
      {kNorthwindFiles, "Territories", {"TerritoryID nvarchar(20)", "TerritoryDescription nchar(50)", "RegionID int"}},
      {kPubsFiles, "authors", {}, 9},
      {kPubsFiles, "publishers", {}, 5},
      {kPubsFiles, "titles", {}, 10},
      {kPubsFiles, "pub_info", {"pub_id char(4)", "logo image", "pr_info text"}},
      {{"sql2012_nerddinner.mdf"},
       "Dinner",
       {"DinnerID int", "Title nvarchar(50)", "EventDate datetime", "Description nvarchar(256)",
        "HostedBy nvarchar(20)", "ContactPhone nvarchar(20)", "Address nvarchar(50)", "Country nvarchar(30)",
        "Latitude float", "Longitude float"}},
      {{"sql2012_nerddinner.mdf"}, "RSVP", {"RsvpID int", "DinnerID int", "AttendeeName nvarchar(30)"}},
      {{"sql2012_musicstore.mdf"}, "Genres", {"GenreID int", "Name nvarchar(max)", "Description nvarchar(max)"}},
      {{"sql2012_musicstore.mdf"}, "Artists", {"ArtistId int", "Name nvarchar(max)"}},
      {{"sql2012_musicstore.mdf"},
       "Albums",
       {"AlbumId int", "GenreId int", "ArtistId int", "Title nvarchar(160)", "Price decimal(18,2)",
        "AlbumArtUrl nvarchar(1024)"}},
      {{"sql2014_identity.mdf"}, "AspNetRoles", {"Id nvarchar(128)", "Name nvarchar(256)"}},
      {{"sql2014_identity.mdf"}, "AspNetUserRoles", {"UserId nvarchar(128)", "RoleId nvarchar(128)"}},
      {{"sql2014_identity.mdf"},
       "AspNetUsers",
       {"Id nvarchar(128)", "Email nvarchar(256)", "EmailConfirmed bit", "PasswordHash nvarchar(max)",
        "SecurityStamp nvarchar(max)", "PhoneNumber nvarchar(max)", "PhoneNumberConfirmed bit", "TwoFactorEnabled bit",
        "LockoutEndDateUtc datetime", "LockoutEnabled bit", "AccessFailedCount int", "UserName nvarchar(256)",
        "BirthDate datetime", "FullName nvarchar(max)"}},
      {{"sql2014_identity.mdf"}, "AspNetUserClaims", {"Id int", "UserId", "ClaimType", "ClaimValue"}},
      {{"sql2014_identity.mdf"}, "AspNetUserLogins", {"LoginProvider", "ProviderKey", "UserId"}},
      {{"sql2016_webtonic.mdf"},
       "StudentResults",
       {"StudentId varchar(50)", "Firstname varchar(50)", "Surname varchar(50)", "CourseId varchar(50)",
        "CourseName varchar(50)", "Grade varchar(5)"}},
      {{"sql2016_webtonic.mdf"}, "Students", {"StudentId varchar(50)", "Firstname", "Surname"}},
      {{"sql2016_webtonic.mdf"}, "Grades", {"StudentId", "CourseId", "Grade varchar(5)"}},
      {{"sql2016_webtonic.mdf"}, "Courses", {"CourseId", "CourseName"}},
      {{"sql2016_v851_knowledge.mdf"}, "Login", {"Id", "Username", "Email", "Password", "Status"}},
      // The README has these from the C# model (Title, Text); the table spells them in lower case.
      {{"sql2019_articles.mdf"}, "Articles", {"Id int", "title", "text"}},
  };
  return tables;
}

// A column as read from the file, from either catalog layout.
struct ReadColumn {
  std::string name;
  int systemType = 0;
  int maxLength = 0;
  int precision = 0;
  int scale = 0;
};

// The catalog of one real file as the command line prints it.
class PrintedCatalog {
 public:
  explicit PrintedCatalog(const std::string& file) : path_(RealFixture(file).string()) {
    objects_ = RunJson({"catalog", path_, "objects", "--json"});
    legacy_ = RunJson({"objects", path_, "--json"}).at("isSql2000").get<bool>();
    columns_ = RunJson({"catalog", path_, legacy_ ? "legacycolumns" : "columns", "--json"});
  }

  std::int64_t UserTableId(const std::string& name) const {
    for (const json& object : objects_)
      if (object.at("type") == "U " && object.at("name") == name) return object.at("id").get<std::int64_t>();
    return -1;
  }

  // The columns of `objectId` in column-id order: number 0 of syscolpars, or syscolumns in 2000 files.
  std::vector<ReadColumn> ColumnsOf(std::int64_t objectId) const {
    std::vector<std::pair<int, ReadColumn>> found;
    for (const json& c : columns_) {
      if (c.at("objectId") != objectId || (!legacy_ && c.at("number") != 0)) continue;
      found.emplace_back(
          c.at("columnId").get<int>(),
          ReadColumn{c.at("name").get<std::string>(), c.at(legacy_ ? "systemType" : "systemTypeId").get<int>(),
                     c.at(legacy_ ? "length" : "maxLength").get<int>(), c.at("precision").get<int>(),
                     c.at("scale").get<int>()});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ReadColumn> columns;
    for (auto& [id, column] : found) columns.push_back(std::move(column));
    return columns;
  }

 private:
  std::string path_;
  json objects_;
  json columns_;
  bool legacy_ = false;
};

void ExpectColumn(const ReadColumn& read, const ColumnSpec& spec) {
  SCOPED_TRACE(spec.name);
  EXPECT_EQ(read.name, spec.name);
  EXPECT_TRUE(spec.systemType < 0 || read.systemType == spec.systemType) << read.systemType;
  EXPECT_TRUE(!spec.hasLength || read.maxLength == spec.maxLength) << read.maxLength;
  EXPECT_TRUE(spec.precision < 0 || read.precision == spec.precision) << read.precision;
  EXPECT_TRUE(spec.scale < 0 || read.scale == spec.scale) << read.scale;
}

TEST(CliCatalog, UserTablesHaveTheColumnsTheReadmeGives) {
  QM_REQUIRE_REAL_FIXTURES();
  std::map<std::string, std::unique_ptr<PrintedCatalog>> catalogs;
  for (const TableColumns& table : ReadmeColumns())
    for (const std::string& file : table.files) {
      SCOPED_TRACE(file + " " + table.table);
      auto& catalog = catalogs[file];
      if (!catalog) catalog = std::make_unique<PrintedCatalog>(file);
      const std::int64_t id = catalog->UserTableId(table.table);
      ASSERT_GT(id, 0) << "no user table " << table.table;
      const std::vector<ReadColumn> read = catalog->ColumnsOf(id);
      if (table.columns.empty()) {
        EXPECT_EQ(read.size(), table.count);
        continue;
      }
      ASSERT_EQ(read.size(), table.columns.size());
      for (std::size_t i = 0; i < read.size(); ++i) ExpectColumn(read[i], ParseColumn(table.columns[i]));
    }
}

using ListSize = std::function<std::size_t(const DatabaseCatalog&)>;

const std::vector<std::pair<std::string, ListSize>>& ListSizes() {
  static const std::vector<std::pair<std::string, ListSize>> lists = {
      {"files", [](const DatabaseCatalog& c) { return c.files.size(); }},
      {"objects", [](const DatabaseCatalog& c) { return c.objects.size(); }},
      {"allocunits", [](const DatabaseCatalog& c) { return c.allocUnits.size(); }},
      {"rowsets", [](const DatabaseCatalog& c) { return c.rowsets.size(); }},
      {"columns", [](const DatabaseCatalog& c) { return c.columns.size(); }},
      {"types", [](const DatabaseCatalog& c) { return c.types.size(); }},
      {"rowsetcolumns", [](const DatabaseCatalog& c) { return c.rowsetColumns.size(); }},
      {"references", [](const DatabaseCatalog& c) { return c.references.size(); }},
      {"indexes", [](const DatabaseCatalog& c) { return c.indexes.size(); }},
      {"indexcolumns", [](const DatabaseCatalog& c) { return c.indexColumns.size(); }},
      {"objectdetails", [](const DatabaseCatalog& c) { return c.objectDetails.size(); }},
      {"fkcolumns", [](const DatabaseCatalog& c) { return c.foreignKeyColumns.size(); }},
      {"legacytables", [](const DatabaseCatalog& c) { return c.legacyTables.size(); }},
      {"legacycolumns", [](const DatabaseCatalog& c) { return c.legacyColumns.size(); }},
      {"legacyindexes", [](const DatabaseCatalog& c) { return c.legacyIndexes.size(); }},
  };
  return lists;
}

OpenedDatabaseFile OpenCatalog(const std::string& path) {
  ResetSettings();
  LoadCollationList();
  return OpenDatabase(path, 0, nullptr);
}

TEST(CliCatalog, EveryListPrintsEveryRecord) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2014_pubs.mdf", "sql2000_northwind.mdf"}) {
    SCOPED_TRACE(file);
    const std::string path = RealFixture(file).string();
    const OpenedDatabaseFile db = OpenCatalog(path);
    ASSERT_TRUE(db.opened());
    for (const auto& [list, size] : ListSizes()) {
      SCOPED_TRACE(list);
      const json records = RunJson({"catalog", path, list, "--json"});
      ASSERT_TRUE(records.is_array());
      EXPECT_EQ(records.size(), size(*db.catalog));
      for (const json& record : records) EXPECT_EQ(record.size(), records[0].size());
    }
  }
}

// Allocation units point at pages as "(file:page)"; legacy tables carry their columns.
TEST(CliCatalog, PagePointersAndAttachedColumns) {
  QM_REQUIRE_REAL_FIXTURES();
  const OpenedDatabaseFile pubs = OpenCatalog(RealFixture("sql2014_pubs.mdf").string());
  const json units = RunJson({"catalog", RealFixture("sql2014_pubs.mdf").string(), "allocunits", "--json"});
  ASSERT_EQ(units.size(), pubs.catalog->allocUnits.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const PageId iam = pubs.catalog->allocUnits[i].firstIamPage;
    EXPECT_EQ(units[i].at("firstIamPage"),
              "(" + std::to_string(iam.fileId) + ":" + std::to_string(iam.pageNumber) + ")");
  }

  const OpenedDatabaseFile northwind = OpenCatalog(RealFixture("sql2000_northwind.mdf").string());
  const json tables = RunJson({"catalog", RealFixture("sql2000_northwind.mdf").string(), "legacytables", "--json"});
  ASSERT_EQ(tables.size(), northwind.catalog->legacyTables.size());
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const LegacyTable& table = northwind.catalog->legacyTables[i];
    ASSERT_EQ(tables[i].at("columns").size(), table.columns.size());
    for (std::size_t k = 0; k < table.columns.size(); ++k)
      EXPECT_EQ(tables[i].at("columns")[k].at("name"), platform::Utf16ToUtf8(table.columns[k].name));
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Text tables line up by display width: a CJK character takes two columns,
// an accented letter one.
TEST(CliTextTable, WideCharactersTakeTwoColumns) {
  struct Case {
    std::string text;
    std::size_t width;
  };
  for (const Case& c : {Case{"abc", 3}, Case{"Münster", 7}, Case{"北京", 4}, Case{"東京タワー", 10},
                        Case{"서울", 4}, Case{"ＡＢ", 4}, Case{"Я", 1}, Case{"", 0}})
    EXPECT_EQ(cli::DisplayWidth(c.text), c.width) << c.text;

  cli::TextTable table{{"City", "n"}, {false, true}, {{"北京", "1"}, {"Münster", "22"}, {"東京", "333"}}};
  std::ostringstream out;
  cli::PrintTable(table, out);
  EXPECT_EQ(out.str(),
            "City       n\n"
            "北京       1\n"
            "Münster   22\n"
            "東京     333\n");
}

// The table names every field in a header row, has a line per record (a line
// per attached column for legacy tables) and ends with the count.
TEST(CliCatalog, TextTableHasAHeaderAndALinePerRecord) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    const char* file;
    const char* list;
  };
  for (const Case& c : {Case{"sql2014_pubs.mdf", "objects"}, Case{"sql2014_pubs.mdf", "fkcolumns"},
                        Case{"sql2000_northwind.mdf", "legacytables"}}) {
    SCOPED_TRACE(c.list);
    const std::string path = RealFixture(c.file).string();
    // Parsed in print order: the table's columns follow the fields of the JSON records.
    const auto records = nlohmann::ordered_json::parse(RunCommand({"catalog", path, c.list, "--json"}).out);
    CliRun run = RunCommand({"catalog", path, c.list});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);

    std::vector<std::string> header;
    for (const auto& [key, value] : records[0].items()) {
      if (!value.is_array()) header.push_back(key);
      if (value.is_array() && !value.empty())
        for (const auto& [subkey, unused] : value[0].items()) header.push_back(key + "." + subkey);
    }
    std::size_t rows = 0;
    for (const auto& record : records)
      rows += record.contains("columns") ? std::max<std::size_t>(1, record["columns"].size()) : 1;
    EXPECT_EQ(Words(lines.at(0)), header);
    ASSERT_EQ(lines.size(), rows + 3);
    EXPECT_EQ(lines[rows + 1], "");
    EXPECT_EQ(lines[rows + 2], std::to_string(records.size()) + " records");
  }
}

TEST(CliCatalog, UnknownListNamesTheValidOnes) {
  BuiltDatabase db(FileBuilder::MinimalDatabase());
  CliRun run = RunCommand({"catalog", db.path(), "tables"});
  ExpectOneLineError(run, "unknown list 'tables': expected one of files, objects, allocunits");
  for (const auto& [list, size] : ListSizes()) EXPECT_NE(run.err.find(list), std::string::npos) << list;
}

}  // namespace
}  // namespace quillmark::testing
