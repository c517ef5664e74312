// Catalogs of real files damaged on purpose: the catalog is read from every
// page that carries a system table's object id, so allocation pages do not
// matter, and what the remaining pages hold is still found.

#include <fstream>
#include <iterator>

#include "catalog/OpenSequence.h"
#include "catalog/SystemTables.h"
#include "engine/RecordPage.h"
#include "tests/catalog/CatalogTest.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint8_t PageType(const Bytes& file, std::size_t page) { return file[page * kPage + 1]; }

std::int32_t PageObject(const Bytes& file, std::size_t page) {
  return static_cast<std::int32_t>(file[page * kPage + 24] | (file[page * kPage + 25] << 8) |
                                   (file[page * kPage + 26] << 16) | (static_cast<std::uint32_t>(file[page * kPage + 27]) << 24));
}

std::uint16_t PageIndexId(const Bytes& file, std::size_t page) {
  return static_cast<std::uint16_t>(file[page * kPage + 6] | (file[page * kPage + 7] << 8));
}

void ZeroPage(Bytes& file, std::size_t page) {
  std::fill(file.begin() + static_cast<std::ptrdiff_t>(page * kPage),
            file.begin() + static_cast<std::ptrdiff_t>((page + 1) * kPage), 0);
}

std::vector<std::u16string> ObjectNames(const DatabaseCatalog& catalog) {
  std::vector<std::u16string> names;
  for (const CatalogObject& object : catalog.objects) names.push_back(object.name);
  return names;
}

class DamagedFilesTest : public CatalogTest {
 protected:
  OpenedDatabaseFile OpenBytes(const Bytes& file, const std::string& name = "damaged.mdf") {
    WriteFile(dir_ / name, file);
    return OpenDatabase((dir_ / name).string(), 0, nullptr);
  }
  // The object table of the layout the last open found.
  static std::int32_t ObjectTable() {
    return Settings().isSql2000 ? kLegacyObjectTableId : kObjectTableId;
  }
};

TEST_F(DamagedFilesTest, AllocationPagesDoNotMatter) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    Bytes file = ReadAll(path);
    auto original = OpenDatabase(path.string(), 0, nullptr);
    ASSERT_TRUE(original.opened());
    for (std::size_t page = 1; page < file.size() / kPage; ++page) {
      std::uint8_t type = PageType(file, page);
      if (type == 8 || type == 9 || type == 10 || type == 11) ZeroPage(file, page);  // GAM, SGAM, IAM, PFS
    }
    auto damaged = OpenBytes(file);
    ASSERT_TRUE(damaged.opened());
    EXPECT_EQ(ObjectNames(*damaged.catalog), ObjectNames(*original.catalog));
    EXPECT_EQ(damaged.catalog->columns.size(), original.catalog->columns.size());
    EXPECT_EQ(damaged.catalog->legacyColumns.size(), original.catalog->legacyColumns.size());
    EXPECT_EQ(damaged.catalog->allocUnits.size(), original.catalog->allocUnits.size());
    EXPECT_EQ(damaged.catalog->rowsetColumns.size(), original.catalog->rowsetColumns.size());
    EXPECT_EQ(damaged.catalog->foreignKeyColumns.size(), original.catalog->foreignKeyColumns.size());
  }
}

TEST_F(DamagedFilesTest, ObjectsOnTheOtherPagesOfTheObjectTableRemain) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::string name : {"sql2000_distmdl.mdf", "sql2017_dnn_empty.mdf", "sql2008_reportserver.mdf"}) {
    SCOPED_TRACE(name);
    Bytes file = ReadAll(RealFixture(name));
    auto original = OpenDatabase(RealFixture(name).string(), 0, nullptr);
    const std::int32_t table = ObjectTable();
    // Lose the data page that holds the most listed objects (positive ids).
    std::int32_t lost = 0;
    std::size_t most = 0;
    std::size_t dataPages = 0;
    for (const PageEntry& entry : original.file->SystemPages(table)) {
      auto page = original.file->ReadDataPage(entry.Page());
      if (!page || page->header->pageType != 1) continue;
      ++dataPages;
      std::size_t listed = 0;
      for (const auto& record : page->records)
        listed += record && ReadLeOr<std::int32_t>(ByteSpan(record->fixedData), 0, 0) > 0 ? 1 : 0;
      if (listed > most) {
        most = listed;
        lost = entry.pageNumber;
      }
    }
    ASSERT_GT(dataPages, 1u);
    ZeroPage(file, static_cast<std::size_t>(lost));

    auto damaged = OpenBytes(file);
    ASSERT_TRUE(damaged.opened());
    std::vector<std::u16string> left = ObjectNames(*damaged.catalog);
    std::vector<std::u16string> all = ObjectNames(*original.catalog);
    EXPECT_LT(left.size(), all.size());
    EXPECT_GT(left.size(), 0u);
    for (const std::u16string& object : left) EXPECT_NE(std::find(all.begin(), all.end(), object), all.end());
  }
}

TEST_F(DamagedFilesTest, WithoutTheObjectTableTablesComeFromTheirColumns) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::string name : {"sql2000_northwind.mdf", "sql2014_pubs.mdf", "sql2008r2_northwind.mdf"}) {
    SCOPED_TRACE(name);
    Bytes file = ReadAll(RealFixture(name));
    auto original = OpenDatabase(RealFixture(name).string(), 0, nullptr);
    const bool sql2000 = Settings().isSql2000 != 0;
    const std::int32_t table = ObjectTable();
    for (std::size_t page = 1; page < file.size() / kPage; ++page)
      if (PageObject(file, page) == table && PageIndexId(file, page) < 256) ZeroPage(file, page);

    auto damaged = OpenBytes(file);
    ASSERT_TRUE(damaged.opened());
    EXPECT_EQ(Settings().isSql2000, sql2000);
    // Every user table comes back under its decimal id.
    for (const CatalogObject& object : original.catalog->objects) {
      if (object.type != "U ") continue;
      std::string id = std::to_string(object.id);
      const CatalogObject* synthesized = damaged.catalog->ObjectById(object.id);
      ASSERT_NE(synthesized, nullptr) << id;
      EXPECT_EQ(synthesized->name, std::u16string(id.begin(), id.end()));
      EXPECT_EQ(synthesized->type, "U ");
    }
  }
}

TEST_F(DamagedFilesTest, TruncatedFilesYieldWhatTheirPagesHold) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    Bytes file = ReadAll(path);
    auto original = OpenDatabase(path.string(), 0, nullptr);
    for (std::size_t keep : {file.size() / 2, file.size() / 2 + 3001}) {
      auto damaged = OpenBytes(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep)));
      if (!damaged.opened()) continue;  // the cut may take every system page
      EXPECT_LE(damaged.catalog->objects.size(), original.catalog->objects.size());
    }
  }
}

}  // namespace
}  // namespace quillmark::testing
