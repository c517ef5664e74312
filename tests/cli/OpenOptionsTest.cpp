#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;

using Args = std::vector<std::string>;

Args With(Args args, const std::string& option) {
  args.push_back(option);
  return args;
}

// sql2014_pubs holds no deleted catalog rows: every command reads it alike with
// or without --deleted.
TEST(CliOpenOptions, DeletedChangesNothingWithoutGhostRows) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string path = RealFixture("sql2014_pubs.mdf").string();
  std::vector<Args> commands = {{"info", path}, {"page", path, "311"}, {"iam", path, "309"}, {"objects", path}};
  for (const char* list : {"objects", "columns", "rowsetcolumns", "indexes", "objectdetails"})
    commands.push_back({"catalog", path, list, "--json"});
  for (const Args& command : commands) {
    SCOPED_TRACE(command[0] + " " + command.back());
    CliRun plain = RunCommand(command);
    CliRun deleted = RunCommand(With(command, "--deleted"));
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(deleted.code, 0) << deleted.err;
    EXPECT_EQ(deleted.out, plain.out);
  }
  TempDir dir;
  CliRun save = RunCommand({"snapshot", "save", path, (dir / "saved.MDBKSM").string(), "--deleted"});
  EXPECT_EQ(save.code, 0) << save.err;
}

// sql2016_webtonic keeps deleted rows of syscolpars from its upgrade: --deleted
// adds them to the columns between the live ones, --advanced-deleted finds more.
TEST(CliOpenOptions, DeletedAddsGhostColumnRows) {
  QM_REQUIRE_REAL_FIXTURES();
  const Args command = {"catalog", RealFixture("sql2016_webtonic.mdf").string(), "columns", "--json"};
  const json live = RunJson(command);
  const json deleted = RunJson(With(command, "--deleted"));
  const json advanced = RunJson(With(command, "--advanced-deleted"));
  EXPECT_GT(deleted.size(), live.size());
  EXPECT_GT(advanced.size(), deleted.size());
  std::size_t at = 0;
  for (const json& column : live) {
    while (at < deleted.size() && deleted[at] != column) ++at;
    ASSERT_LT(at, deleted.size()) << column.dump();
  }
}

TEST(CliOpenOptions, ManualCollationOverridesTheBootPage) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2000_northwind.mdf", "sql2008_reportserver.mdf", "sql2019_articles.mdf"}) {
    SCOPED_TRACE(file);
    const json info = RunJson({"info", RealFixture(file).string(), "--json", "--collation", "53256"});
    EXPECT_EQ(info["collationName"], "Latin1_General_CI_AS");
    EXPECT_EQ(info["codePage"], 1252);
  }
}

TEST(CliOpenOptions, OptionValuesAreChecked) {
  BuiltDatabase db(FileBuilder::MinimalDatabase());
  EXPECT_EQ(RunCommand({"info", db.path(), "--ansi-codepage", "936"}).code, 0);
  ExpectOneLineError(RunCommand({"info", db.path(), "--ansi-codepage", "12345"}), "unsupported code page 12345");
  ExpectOneLineError(RunCommand({"info", db.path(), "--collation", "-5"}), "--collation");
  ExpectOneLineError(RunCommand({"objects", db.path(), "--collation", "abc"}), "--collation");
}

}  // namespace
}  // namespace quillmark::testing
