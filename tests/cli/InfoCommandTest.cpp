#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>

#include "engine/DatabaseFile.h"
#include "platform/CodePage.h"
#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using nlohmann::json;

json InfoJson(const std::string& path) {
  CliRun run = RunCommand({"info", path, "--json"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return json::parse(run.out);
}

struct CollationLine {
  std::string name;
  int codePage = 0;
};

// The line of data/collation.txt (name, tab, id, tab, code page) for `id`.
CollationLine CollationListed(std::int64_t id) {
  std::ifstream in(std::filesystem::path(QUILLMARK_SOURCE_DIR) / "data" / "collation.txt");
  std::string name;
  std::int64_t listedId = 0;
  int codePage = 0;
  while (std::getline(in, name, '\t') && in >> listedId >> codePage) {
    in.ignore(1);
    if (listedId == id) return {name, codePage};
  }
  ADD_FAILURE() << "collation " << id << " is not listed";
  return {};
}

const std::map<int, std::string> kVersionTexts = {
    {539, " SQL Server 2000"}, {611, " SQL Server 2005"},    {655, " SQL Server 2008"},
    {661, " SQL Server 2008 R2"}, {706, " SQL Server 2012"}, {782, " SQL Server 2014"},
    {851, "Unknown SQL Version"}, {852, " SQL Server 2016"}, {869, " SQL Server 2017"},
    {904, " SQL Server 2019"}};

TEST(CliInfo, JsonDescribesEveryRealFile) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const RealFixtureFacts& facts : KnownRealFixtures()) {
    SCOPED_TRACE(facts.file);
    const std::string path = RealFixture(facts.file).string();
    json info = InfoJson(path);
    CollationLine collation = CollationListed(facts.collationId);

    EXPECT_EQ(info["path"], path);
    EXPECT_EQ(info["fileLength"], std::filesystem::file_size(path));
    EXPECT_EQ(info["pageCount"], std::filesystem::file_size(path) / 8192);
    EXPECT_EQ(info["pageCount"], facts.pageCount);
    EXPECT_EQ(info["baseOffset"], 0);
    EXPECT_EQ(info["version"], facts.version);
    EXPECT_EQ(info["versionText"], kVersionTexts.at(facts.version));
    EXPECT_EQ(info["createVersion"], facts.createVersion);
    EXPECT_EQ(info["databaseName"], platform::Utf16ToUtf8(facts.databaseName));
    EXPECT_EQ(info["collationId"], facts.collationId);
    EXPECT_EQ(info["collationName"], collation.name);
    EXPECT_EQ(info["codePage"], collation.codePage);
    ASSERT_TRUE(info["systemPages"].is_object());
    EXPECT_FALSE(info["systemPages"].empty());
    EXPECT_GT(info["dataPageCount"], 0);
    EXPECT_GT(info["iamPageCount"], 0);
  }
}

// The text report carries the same facts, the Cyrillic name included.
TEST(CliInfo, TextReportShowsNameVersionAndCollation) {
  QM_REQUIRE_REAL_FIXTURES();
  CliRun run = RunCommand({"info", RealFixture("sql2019_articles.mdf").string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Version         904 (SQL Server 2019)\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Create version  782 (SQL Server 2014)\n"), std::string::npos);
  EXPECT_NE(run.out.find("C:\\USERS\\\u042F\u041D\\DESKTOP\\WEBFORMS\\APP_DATA\\DATABASE1.MDF\n"), std::string::npos);
  EXPECT_NE(run.out.find("Collation       872468488 SQL_Latin1_General_CP1_CI_AS, code page 1252\n"),
            std::string::npos);
}

TEST(CliInfo, UnknownCollationHasNoCodePage) {
  FileBuilder file = FileBuilder::MinimalDatabase();
  file.SetPage(9, BootPageBytes(BootSpec{.version = 782, .createVersion = 706, .collation = 12345678}));
  BuiltDatabase db(file);
  json info = InfoJson(db.path());
  EXPECT_EQ(info["collationId"], 12345678);
  EXPECT_EQ(info["collationName"], "Unknown Collation");
  EXPECT_TRUE(info["codePage"].is_null());
  EXPECT_EQ(info["versionText"], " SQL Server 2014");
}

// Bytes before page 0 move every page; bytes after the last page do not.
TEST(CliInfo, ExtraBytesBeforeOrAfterThePages) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::filesystem::path original = RealFixture("sql2008_pubs.mdf");
  json expected = InfoJson(original.string());
  std::ifstream in(original, std::ios::binary);
  const Bytes pages((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  struct Case {
    std::size_t prefix;
    std::size_t suffix;
  };
  for (Case c : {Case{3000, 0}, Case{0, 3000}}) {
    SCOPED_TRACE(c.prefix);
    TempDir dir;
    WriteFile(dir / "shifted.mdf", Concat({Repeat(0xAB, c.prefix), pages, Repeat(0xCD, c.suffix)}));
    json info = InfoJson((dir / "shifted.mdf").string());
    EXPECT_EQ(info["baseOffset"], c.prefix);
    EXPECT_EQ(info["pageCount"], expected["pageCount"]);
    EXPECT_EQ(info["databaseName"], expected["databaseName"]);
    EXPECT_EQ(info["version"], expected["version"]);
  }
}

// A page 9 that is not a boot page names no database: info says so in one
// line on stderr, and for a secondary file's header on page 0, whose file it is.
TEST(CliInfo, PageNineThatIsNotABootPage) {
  TempDir dir;
  FileBuilder foreign = FileBuilder::MinimalDatabase();
  foreign.SetPage(9, PageBuilder(1, 0, 9).Build());
  foreign.Write(dir / "foreign.mdf");
  FileBuilder secondary = foreign;
  secondary.SetPage(0, PageBuilder(15, 0, 0, 3).Build());
  secondary.SetPage(9, PageBuilder(1, 0, 9, 3).Build());
  secondary.Write(dir / "secondary.ndf");
  struct Case {
    const char* file;
    const char* line;
  };
  for (const Case& c :
       {Case{"foreign.mdf", "page 9 is not a boot page: the file names no database and no version\n"},
        Case{"secondary.ndf",
             "page 9 is not a boot page: this is a secondary file of another database, open its primary file\n"}}) {
    SCOPED_TRACE(c.file);
    CliRun run = RunCommand({"info", (dir / c.file).string(), "--json", "--quiet"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, c.line);
    const json info = json::parse(run.out);
    EXPECT_EQ(info["databaseName"], "");
    EXPECT_EQ(info["versionText"], "Unknown SQL Version");
    EXPECT_EQ(info["version"], nullptr);
  }
}

TEST(CliInfo, RefusedFilesEndWithTheEnginesText) {
  TempDir dir;
  std::mt19937 random(7);
  Bytes noise(64 * 1024);
  for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
  WriteFile(dir / "short.mdf", Bytes(5000, 0x11));
  WriteFile(dir / "empty.mdf", {});
  WriteFile(dir / "noise.mdf", noise);
  std::filesystem::create_directory(dir / "folder.mdf");
  struct Case {
    std::string file;
    const char* text;
  };
  for (const Case& c : {Case{"short.mdf", kNotValidMdf}, Case{"empty.mdf", kNotValidMdf},
                        Case{"folder.mdf", kFileCannotBeOpen}, Case{"missing.mdf", kFileCannotBeOpen},
                        Case{"noise.mdf", kNotValidMdf}}) {
    SCOPED_TRACE(c.file);
    for (const char* flag : {"--json", "--quiet"})
      ExpectOneLineError(RunCommand({"info", (dir / c.file).string(), flag}), c.text);
  }
}

}  // namespace
}  // namespace quillmark::testing
