#include <filesystem>
#include <fstream>
#include <random>

#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

// A snapshot restores the maps of a 2005+ file and of a 2000 file: loading it
// lists what the file itself lists, in text and in JSON.
TEST(CliSnapshot, LoadListsTheObjectsOfTheSavedFile) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2008_reportserver.mdf", "sql2000_northwind.mdf"}) {
    SCOPED_TRACE(file);
    TempDir dir;
    const std::string database = RealFixture(file).string();
    const std::string snapshot = (dir / "saved.MDBKSM").string();
    CliRun save = RunCommand({"snapshot", "save", database, snapshot});
    ASSERT_EQ(save.code, 0) << save.err;
    EXPECT_EQ(save.out, "Snapshot Saved successfully in path " + snapshot + "\n");

    for (const std::vector<std::string>& format : {std::vector<std::string>{"--json"}, std::vector<std::string>{}}) {
      std::vector<std::string> objects{"objects", database};
      std::vector<std::string> load{"snapshot", "load", snapshot};
      objects.insert(objects.end(), format.begin(), format.end());
      load.insert(load.end(), format.begin(), format.end());
      CliRun expected = RunCommand(objects);
      CliRun loaded = RunCommand(load);
      ASSERT_EQ(loaded.code, 0) << loaded.err;
      EXPECT_EQ(loaded.err, "");
      EXPECT_EQ(loaded.out, expected.out);
    }
  }
}

// The deleted-record scan finds an old sysobjects row in sql2005_dnn_empty; a
// snapshot saved with --advanced-deleted loads with that option again.
TEST(CliSnapshot, LoadRestoresTheOpenOptions) {
  QM_REQUIRE_REAL_FIXTURES();
  TempDir dir;
  const std::string database = RealFixture("sql2005_dnn_empty.mdf").string();
  const std::string snapshot = (dir / "saved.MDBKSM").string();
  ASSERT_EQ(RunCommand({"snapshot", "save", database, snapshot, "--advanced-deleted"}).code, 0);
  const nlohmann::json plain = RunJson({"objects", database, "--json"});
  const nlohmann::json advanced = RunJson({"objects", database, "--json", "--advanced-deleted"});
  ASSERT_NE(plain, advanced);
  EXPECT_EQ(RunJson({"snapshot", "load", snapshot, "--json"}), advanced);
}

TEST(CliSnapshot, UnwritableSnapshotIsNotSaved) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string database = RealFixture("sql2014_pubs.mdf").string();
  TempDir dir;
  for (const std::string& target : {std::string("/dev/full"), (dir / "missing" / "saved.MDBKSM").string()}) {
    SCOPED_TRACE(target);
    if (target == "/dev/full" && !std::filesystem::exists(target)) continue;
    ExpectOneLineError(RunCommand({"snapshot", "save", database, target}), "Snapshot cannot be saved.");
  }
}

TEST(CliSnapshot, UnreadableSnapshotsEndWithOneLine) {
  QM_REQUIRE_REAL_FIXTURES();
  TempDir dir;
  std::mt19937 random(11);
  Bytes noise(20000);
  for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
  WriteFile(dir / "noise.MDBKSM", noise);
  WriteFile(dir / "empty.MDBKSM", {});
  const std::string whole = (dir / "whole.MDBKSM").string();
  ASSERT_EQ(RunCommand({"snapshot", "save", RealFixture("sql2014_pubs.mdf").string(), whole}).code, 0);
  std::ifstream in(whole, std::ios::binary);
  Bytes saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  saved.resize(saved.size() / 2);
  WriteFile(dir / "cut.MDBKSM", saved);

  // The cut snapshot has its whole header, and its database is whole: the
  // open fails because the maps come from the snapshot.
  struct Case {
    const char* name;
    const char* text;
  };
  for (const Case& c : {Case{"noise.MDBKSM", "not a snapshot file"}, Case{"empty.MDBKSM", "not a snapshot file"},
                        Case{"missing.MDBKSM", "cannot be opened"}, Case{"cut.MDBKSM", kNotValidMdf}}) {
    SCOPED_TRACE(c.name);
    for (const char* flag : {"--json", "--quiet"})
      ExpectOneLineError(RunCommand({"snapshot", "load", (dir / c.name).string(), flag}), c.text);
  }
}

}  // namespace
}  // namespace quillmark::testing
