#include "catalog/Snapshot.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>

#include "engine/AppSettings.h"
#include "tests/engine/EngineTest.h"
#include "builder/FixtureBuilder.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

using platform::RecordingTarget;
using platform::WM_APP_FATAL;
using platform::WM_APP_PANEL_TEXT;

// A 20-character database path; with the collation detected (no manual
// collation written) the header takes 4 + 40 + 1 + 1 + 3 bytes and the systemPages key count follows.
const std::string kTwentyCharacterPath = "C:\\DATA\\NORTHWÑD.MDF";
constexpr std::size_t kHeaderSize = 49;
constexpr std::size_t kFirstEntryCount = kHeaderSize + 8 + 4;

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes Head(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

Bytes Patched(Bytes bytes, std::size_t offset, std::uint32_t value) {
  PutU32(bytes, offset, value);
  return bytes;
}

// Settings and the installed loader start from their initial state in every test.
class SnapshotTest : public EngineTest {
 protected:
  // Opens `database` the way the snapshot load command does: the page maps come
  // from `snapshot` instead of the mapping pass.
  std::unique_ptr<DatabaseFile> OpenWithSnapshot(const std::filesystem::path& database,
                                                 const std::filesystem::path& snapshot) {
    target_.messages.clear();
    Settings().snapshotMode = 1;
    Settings().snapshotPath = snapshot.string();
    InstallSnapshotLoader();
    return DatabaseFile::Open(database.string(), 0, &target_);
  }

  // A built database and the bytes of its snapshot, saved with the 20-character path.
  std::pair<std::filesystem::path, Bytes> BuiltDatabaseAndSnapshot() {
    auto database = FileBuilder::MinimalDatabase(16).Write(dir_ / "db.mdf");
    auto opened = DatabaseFile::Open(database.string(), 0, nullptr);
    EXPECT_TRUE(opened->opened);
    EXPECT_TRUE(SaveSnapshot(*opened, kTwentyCharacterPath, 0, (dir_ / "built.MDBKSM").string()));
    return {database, ReadBytes(dir_ / "built.MDBKSM")};
  }

  void ExpectOpenRefused(const std::filesystem::path& database, const Bytes& snapshot, const std::string& name) {
    WriteFile(dir_ / "damaged.MDBKSM", snapshot);
    auto opened = OpenWithSnapshot(database, dir_ / "damaged.MDBKSM");
    EXPECT_FALSE(opened->opened) << name;
    EXPECT_EQ(target_.Texts(WM_APP_FATAL), std::vector<std::string>{kNotValidMdf}) << name;
    const auto panel = target_.Texts(WM_APP_PANEL_TEXT);
    EXPECT_NE(std::find(panel.begin(), panel.end(), kLoadingSnapshot), panel.end()) << name;
    EXPECT_EQ(std::find(panel.begin(), panel.end(), kMappingObjects), panel.end()) << name;
    // Nothing was reserved for entries the file does not hold.
    std::size_t reserved = 0;
    for (const PageMap* map : {&opened->systemPages, &opened->dataPages, &opened->iamPages})
      for (const auto& [key, list] : *map) reserved += list.capacity();
    EXPECT_LE(reserved * sizeof(PageEntry), snapshot.size()) << name;
  }

  TempDir dir_;
  RecordingTarget target_;
};

TEST_F(SnapshotTest, WritesTheLayoutByteForByte) {
  DatabaseFile db;
  db.systemPages = {{7, {{1, 10, 1}, {1, 12, 1}}}, {34, {{1, 11, 1}}}};
  db.dataPages = {{-257, {{1, 300, 1}}}, {500, {}}};
  db.iamPages = {{500, {{3, 0x01020304, 10}}}};

  // L = 20 UTF-16 units x 2, the path, the advanced byte.
  const Bytes pathAndAdvanced = Concat({{40, 0, 0, 0}, Utf16(u"C:\\DATA\\NORTHWÑD.MDF"), {1}});
  const Bytes options = {1, 0, 1};  // isSql2000, showDeletedRecords, showAdvancedDeletedRecords
  const Bytes maps = Concat({
      {2, 0, 0, 0, 0, 0, 0, 0},  // systemPages: 2 keys
      {7, 0, 0, 0, 2, 0, 0, 0, /**/ 1, 0, 10, 0, 0, 0, 1, 0, 0, 0, /**/ 1, 0, 12, 0, 0, 0, 1, 0, 0, 0},
      {34, 0, 0, 0, 1, 0, 0, 0, /**/ 1, 0, 11, 0, 0, 0, 1, 0, 0, 0},
      {2, 0, 0, 0, 0, 0, 0, 0},  // dataPages: the negative key first
      {0xFF, 0xFE, 0xFF, 0xFF, 1, 0, 0, 0, /**/ 1, 0, 0x2C, 0x01, 0, 0, 1, 0, 0, 0},
      {0xF4, 0x01, 0, 0, 0, 0, 0, 0},  // key 500 without entries
      {1, 0, 0, 0, 0, 0, 0, 0},        // iamPages
      {0xF4, 0x01, 0, 0, 1, 0, 0, 0, /**/ 3, 0, 0x04, 0x03, 0x02, 0x01, 10, 0, 0, 0},
  });
  struct Case {
    std::uint8_t autoDetectCollation;
    Bytes manualCollation;
  };
  const std::vector<Case> cases = {
      {1, {}},                                                // detected: the options follow the flag
      {0, {0x08, 0xD0, 0x00, 0x34, 0x78, 0x56, 0x34, 0x12}},  // manual: low half first
  };
  const auto path = dir_ / "golden.MDBKSM";
  for (const Case& c : cases) {
    Settings().autoDetectCollation = c.autoDetectCollation;
    Settings().manualCollation = 0x123456783400D008;
    Settings().isSql2000 = 1;
    Settings().showAdvancedDeletedRecords = 1;
    WriteFile(path, Repeat(0xEE, 4096));  // a longer older snapshot must not shine through

    ASSERT_TRUE(SaveSnapshot(db, kTwentyCharacterPath, 1, path.string()));
    EXPECT_EQ(ReadBytes(path), Concat({pathAndAdvanced, {c.autoDetectCollation}, c.manualCollation, options, maps}));

    DatabaseFile loaded;
    ASSERT_TRUE(LoadSnapshotMaps(path.string(), loaded));
    EXPECT_EQ(loaded.systemPages, db.systemPages);
    EXPECT_EQ(loaded.dataPages, db.dataPages);
    EXPECT_EQ(loaded.iamPages, db.iamPages);
  }
}

TEST_F(SnapshotTest, RealFilesOpenFromTheirSnapshotWithTheSameMaps) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const auto& file : RealFixtureFiles()) {
    const std::string name = file.filename().string();
    ResetSettings();
    auto scanned = DatabaseFile::Open(file.string(), 0, nullptr);
    ASSERT_TRUE(scanned->opened) << name;
    const auto snapshot = dir_ / (name + ".MDBKSM");
    ASSERT_TRUE(SaveSnapshot(*scanned, file.string(), 0, snapshot.string())) << name;

    auto loaded = OpenWithSnapshot(file, snapshot);
    ASSERT_TRUE(loaded->opened) << name;
    EXPECT_TRUE(loaded->systemPages == scanned->systemPages) << name;
    EXPECT_TRUE(loaded->dataPages == scanned->dataPages) << name;
    EXPECT_TRUE(loaded->iamPages == scanned->iamPages) << name;
    EXPECT_TRUE(target_.Texts(WM_APP_FATAL).empty()) << name;
    const auto panel = target_.Texts(WM_APP_PANEL_TEXT);
    EXPECT_EQ(std::vector<std::string>(panel.end() - 2, panel.end()),
              (std::vector<std::string>{kLoadingSnapshot, kSnapshotLoaded}))
        << name;

    // Saved again from the loaded maps, the snapshot is the same byte for byte.
    ASSERT_TRUE(SaveSnapshot(*loaded, file.string(), 0, (dir_ / "again.MDBKSM").string())) << name;
    EXPECT_TRUE(ReadBytes(dir_ / "again.MDBKSM") == ReadBytes(snapshot)) << name;
  }
}

TEST_F(SnapshotTest, HeaderRestoresTheOpenOptions) {
  struct Case {
    std::string databasePath;
    std::uint8_t advanced;
    std::uint8_t autoDetectCollation;
    std::int64_t manualCollation;
    std::uint8_t isSql2000, showDeletedRecords, showAdvancedDeletedRecords;
  };
  const std::vector<Case> cases = {
      // Cyrillic, CJK and a character outside the BMP (a surrogate pair in UTF-16).
      {"/данные/Ярослав/数据 𝄞.mdf", 1, 0, -2, 1, 0, 1},
      {kTwentyCharacterPath, 0, 1, 0x1234, 0, 1, 0},
  };
  constexpr std::int64_t kCollationBefore = 77;
  const auto path = (dir_ / "header.MDBKSM").string();
  for (const Case& c : cases) {
    ResetSettings();
    Settings().autoDetectCollation = c.autoDetectCollation;
    Settings().manualCollation = c.manualCollation;
    Settings().isSql2000 = c.isSql2000;
    Settings().showDeletedRecords = c.showDeletedRecords;
    Settings().showAdvancedDeletedRecords = c.showAdvancedDeletedRecords;
    ASSERT_TRUE(SaveSnapshot(DatabaseFile{}, c.databasePath, c.advanced, path));

    ResetSettings();
    Settings().manualCollation = kCollationBefore;
    const auto header = ReadSnapshotHeader(path);
    ASSERT_TRUE(header) << c.databasePath;
    EXPECT_EQ(header->databasePath, c.databasePath);
    EXPECT_EQ(header->advanced, c.advanced);
    ApplySnapshotHeader(*header, path);

    const AppSettings& settings = Settings();
    EXPECT_EQ(settings.snapshotMode, 1);
    EXPECT_EQ(settings.snapshotPath, path);
    EXPECT_EQ(settings.snapshotDatabasePath, c.databasePath);
    EXPECT_EQ(settings.autoDetectCollation, c.autoDetectCollation);
    // Only a snapshot without collation detection carries a manual collation.
    EXPECT_EQ(settings.manualCollation, c.autoDetectCollation == 0 ? c.manualCollation : kCollationBefore);
    EXPECT_EQ(settings.isSql2000, c.isSql2000);
    EXPECT_EQ(settings.showDeletedRecords, c.showDeletedRecords);
    EXPECT_EQ(settings.showAdvancedDeletedRecords, c.showAdvancedDeletedRecords);
  }
}

TEST_F(SnapshotTest, DamagedSnapshotsFailTheOpen) {
  const auto [database, good] = BuiltDatabaseAndSnapshot();
  ASSERT_GT(good.size(), kFirstEntryCount + 4);
  ASSERT_EQ(Bytes(good.end() - 8, good.end()), Bytes(8, 0));  // no IAM page: the file ends with K3 = 0
  std::mt19937 random(11);
  Bytes garbage(4096);
  for (auto& byte : garbage) byte = static_cast<std::uint8_t>(random());

  DatabaseFile dataOnly;
  dataOnly.dataPages = {{500, {{1, 20, 1}, {1, 21, 1}}}, {501, {{1, 22, 1}}}};
  ASSERT_TRUE(SaveSnapshot(dataOnly, kTwentyCharacterPath, 0, (dir_ / "data-only.MDBKSM").string()));

  struct Case {
    std::string name;
    Bytes snapshot;
    bool headerReadable;
  };
  const std::vector<Case> cases = {
      {"empty", {}, false},
      {"cut in the path", Head(good, 10), false},
      {"cut before the first key count", Head(good, kHeaderSize), true},
      {"garbage", garbage, false},
      {"odd path length", Patched(good, 0, 39), false},
      {"path longer than the file", Patched(good, 0, 0x7FFFFFFE), false},
      {"key count 2^64-1", Patched(Patched(good, kHeaderSize, 0xFFFFFFFF), kHeaderSize + 4, 0xFFFFFFFF), true},
      {"entry count 2^32-1", Patched(good, kFirstEntryCount, 0xFFFFFFFF), true},
      {"key block missing after the last count", Patched(good, good.size() - 8, 1), true},
      {"a byte after the last map", Concat({good, {0}}), true},
      {"no system pages, full data map", ReadBytes(dir_ / "data-only.MDBKSM"), true},
  };
  for (const Case& c : cases) {
    ExpectOpenRefused(database, c.snapshot, c.name);
    EXPECT_EQ(ReadSnapshotHeader((dir_ / "damaged.MDBKSM").string()).has_value(), c.headerReadable) << c.name;
  }

  // The undamaged snapshot opens: what failed above is the damage.
  WriteFile(dir_ / "good.MDBKSM", good);
  EXPECT_TRUE(OpenWithSnapshot(database, dir_ / "good.MDBKSM")->opened);
}

TEST_F(SnapshotTest, RealSnapshotCutAnywhereFailsTheOpen) {
  QM_REQUIRE_REAL_FIXTURES();
  const auto database = RealFixture("sql2014_pubs.mdf");
  auto scanned = DatabaseFile::Open(database.string(), 0, nullptr);
  ASSERT_TRUE(scanned->opened);
  ASSERT_TRUE(SaveSnapshot(*scanned, kTwentyCharacterPath, 0, (dir_ / "pubs.MDBKSM").string()));
  const Bytes snapshot = ReadBytes(dir_ / "pubs.MDBKSM");

  // In the header, in the first key count, in a key block's header, in an
  // entry, across the maps and one byte short of the end.
  const std::size_t size = snapshot.size();
  for (std::size_t cut : {kHeaderSize - 1, kHeaderSize + 4, kFirstEntryCount + 2, kFirstEntryCount + 4 + 7,
                          size / 3, size / 2, size - 13, size - 1})
    ExpectOpenRefused(database, Head(snapshot, cut), "cut at " + std::to_string(cut));
}

TEST_F(SnapshotTest, LoadsAReadOnlySnapshot) {
  const auto [database, good] = BuiltDatabaseAndSnapshot();
  const auto snapshot = dir_ / "read-only.MDBKSM";
  WriteFile(snapshot, good);
  std::filesystem::permissions(snapshot, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
  // Run as root this cannot catch a request for write access; as any other
  // user it does.
  auto opened = OpenWithSnapshot(database, snapshot);
  EXPECT_TRUE(opened->opened);
  EXPECT_FALSE(opened->systemPages.empty());
  EXPECT_TRUE(ReadSnapshotHeader(snapshot.string()));
}

TEST_F(SnapshotTest, FailedSaveReturnsFalseAndLeavesNoFile) {
  DatabaseFile db;
  db.systemPages = {{7, {{1, 10, 1}}}};
  const auto pipe = dir_ / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // /dev/full refuses the write; the others cannot be opened (a pipe without a
  // reader must fail at once, not wait for one).
  for (const auto& path : {std::filesystem::path("/dev/full"), dir_ / "missing" / "s.MDBKSM", dir_.path(), pipe})
    EXPECT_FALSE(SaveSnapshot(db, kTwentyCharacterPath, 0, path.string())) << path;
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));  // only a regular file is removed
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));

  // A file size limit stops the write part way, as a full disk does.
  const auto path = dir_ / "limited.MDBKSM";
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit limited = before;
  limited.rlim_cur = 16;
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool saved = SaveSnapshot(db, kTwentyCharacterPath, 0, path.string());
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(saved);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quillmark::testing
