#include "catalog/SecondaryFiles.h"

#include "catalog/OpenSequence.h"
#include "catalog/Snapshot.h"

#include <dirent.h>

#include "catalog/SystemTables.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "platform/CodePage.h"
#include "tests/catalog/CatalogTest.h"

namespace quillmark::testing {
namespace {

namespace fs = std::filesystem;

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) count += entry.is_symlink() ? 1 : 0;
  return count;
}

// A file-table row: file id and the physical name the server recorded.
Bytes FileRow(std::int16_t fileId, const std::u16string& logical, const std::u16string& physical) {
  Bytes fixed(782, 0);
  PutU16(fixed, 4, static_cast<std::uint16_t>(fileId));
  PutBytes(fixed, 6, Utf16(logical));
  PutBytes(fixed, 262, Utf16(physical));
  return RecordBuilder().Fixed(fixed).Columns(2).Build();
}

// A secondary file of `pages` pages whose data pages 5 and 6 belong to user
// allocation unit 77 and carry `headerFileId` in their headers.
FileBuilder SecondaryFileOf(std::uint16_t headerFileId, std::size_t pages = 12) {
  FileBuilder file(pages);
  for (std::int32_t position : {5, 6}) {
    PageBuilder page(1, 77, position, headerFileId);
    page.IndexId(256).AddRecord(RecordBuilder().Fixed({static_cast<std::uint8_t>(position)}).Columns(1).Build());
    file.SetPage(static_cast<std::size_t>(position), page.Build());
  }
  file.SetPage(7, PageBuilder(1, 5, 7, headerFileId).Build());  // a page of sysrowsets
  return file;
}

class SecondaryFilesTest : public CatalogTest {};

TEST_F(SecondaryFilesTest, ExpectedPathsStayInThePrimaryFolder) {
  fs::path folder = dir_.path();
  WriteFile(folder / "MixedCase.NDF", {});
  const std::vector<std::pair<std::u16string, fs::path>> cases = {
      {u"E:\\other\\folder\\db_3.dat", folder / "db_3.ndf"},
      {u"/var/opt/mssql/data/db_4.ndf", folder / "db_4.ndf"},
      {u"../../etc/x.ndf", folder / "x.ndf"},
      {u"noextension", folder / "noextension"},
      {u"D:\\data\\.ndf", folder / ".ndf"},
      {u"D:\\data\\mixedcase.ndf", folder / "MixedCase.NDF"},
      {u"D:\\data\\", fs::path()},
      {u"D:\\data\\..", fs::path()},
      {u".", fs::path()},
  };
  for (const auto& [stored, expected] : cases)
    EXPECT_EQ(ExpectedSecondaryPath(folder, stored), expected) << platform::Utf16ToUtf8(stored);
}

TEST_F(SecondaryFilesTest, ListModeIndexesTheFilesTheFileTableNames) {
  SecondaryFileOf(9).Write(dir_ / "shop_3.ndf");  // its headers name file 9: the row's id counts
  auto before = OpenDescriptors();
  auto db = OpenWith({{20, SystemPage(8, 20,
                                      {FileRow(1, u"shop", u"C:\\db\\shop.mdf"), FileRow(2, u"shop_log", u"C:\\db\\shop_log.ldf"),
                                       FileRow(3, u"shop_3", u"E:\\elsewhere\\shop_3.dat")})}});
  std::vector<CatalogFile> files;
  CatalogReader reader(*db);
  ReadFileTable(reader, files);
  CheckSecondaryFiles(files, *db, path_.string());
  db.reset();
  EXPECT_EQ(OpenDescriptors(), before);  // every file opened was closed again

  db = DatabaseFile::Open(path_.string(), 0, nullptr);
  files.clear();
  CatalogReader again(*db);
  ReadFileTable(again, files);
  CheckSecondaryFiles(files, *db, path_.string());
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].physicalName, u"C:\\db\\shop.mdf");  // the primary keeps its name
  EXPECT_EQ(files[2].physicalName, platform::Utf8ToUtf16((dir_ / "shop_3.ndf").string()));
  EXPECT_EQ(files[2].pageCount, 12u);
  ASSERT_EQ(db->secondaryFiles.count(3), 1u);
  EXPECT_EQ(db->secondaryFiles.at(3).pageCount, 12u);
  EXPECT_EQ(db->secondaryFiles.count(2), 0u);  // the log has no .ndf
  EXPECT_EQ(db->DataPages(-78), (PageList{{3, 5, 1}, {3, 6, 1}}));
  EXPECT_EQ(db->SystemPages(5), (PageList{{3, 7, 1}}));

  auto page = db->ReadDataPage(PageId{3, 6});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->records.at(0)->fixedData, (ByteVector{6}));
}

TEST_F(SecondaryFilesTest, SearchModeIndexesEveryNdfOfTheFolder) {
  SecondaryFileOf(3).Write(dir_ / "a.ndf");
  SecondaryFileOf(4, 16).Write(dir_ / "b.NDF", 0, 100);  // with bytes after its last page
  fs::create_directory(dir_ / "folder.ndf");
  auto db = OpenWith({});
  std::vector<CatalogFile> files;
  CheckSecondaryFiles(files, *db, path_.string());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].fileId, 3);
  EXPECT_EQ(files[1].fileId, 4);
  EXPECT_EQ(files[1].baseOffset, 0);  // the check found page 0 at the start
  EXPECT_EQ(db->DataPages(-78), (PageList{{3, 5, 1}, {3, 6, 1}, {4, 5, 1}, {4, 6, 1}}));
  auto page = db->ReadDataPage(PageId{4, 5});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->records.at(0)->fixedData, (ByteVector{5}));
}

TEST_F(SecondaryFilesTest, SnapshotModeRegistersFilesWithoutIndexingThemAgain) {
  SecondaryFileOf(3).Write(dir_ / "shop_3.ndf");
  auto db = OpenWith({});
  Settings().snapshotMode = 1;
  std::vector<CatalogFile> files = {CatalogFile{0, 3, u"shop_3", u"D:\\shop_3.ndf"}};
  CheckSecondaryFiles(files, *db, path_.string());
  EXPECT_EQ(db->secondaryFiles.count(3), 1u);
  EXPECT_EQ(files[0].pageCount, 12u);
  EXPECT_TRUE(db->DataPages(-78).empty());
}

TEST_F(SecondaryFilesTest, ASnapshotOfATwoFileDatabaseListsEachPageOnce) {
  SecondaryFileOf(3).Write(dir_ / "shop_3.ndf");
  FileBuilder primary = FileBuilder::MinimalDatabase(40);
  primary.SetPage(20, SystemPage(8, 20, {FileRow(1, u"shop", u"C:\\shop.mdf"), FileRow(3, u"shop_3", u"C:\\shop_3.ndf")}));
  std::string path = primary.Write(dir_ / "shop.mdf").string();
  auto scanned = OpenDatabase(path, 0, nullptr);
  ASSERT_TRUE(scanned.opened());
  const PageMap saved = scanned.file->dataPages;
  ASSERT_EQ(scanned.file->DataPages(-78).size(), 2u);
  ASSERT_TRUE(SaveSnapshot(*scanned.file, path, 0, (dir_ / "shop.MDBKSM").string()));

  Settings().snapshotMode = 1;
  Settings().snapshotPath = (dir_ / "shop.MDBKSM").string();
  auto loaded = OpenDatabase(path, 0, nullptr);
  ASSERT_TRUE(loaded.opened());
  EXPECT_EQ(loaded.file->dataPages, saved);
  EXPECT_EQ(loaded.file->secondaryFiles.count(3), 1u);
  EXPECT_TRUE(loaded.file->ReadDataPage(PageId{3, 5}));
}

}  // namespace
}  // namespace quillmark::testing
