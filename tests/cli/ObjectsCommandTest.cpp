#include <algorithm>
#include <cctype>
#include <set>

#include "tests/cli/CliTest.h"
#include "tests/cli/ReadmeObjects.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;

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
