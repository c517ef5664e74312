// Data pages of the real files' tables, damaged on purpose and decoded as rows
// by both decoders in both variants, with compressed-record rebuilding on:
// no crash, no sanitizer report, no hang. QUILLMARK_CORRUPTION_SEEDS sets how
// many damaged pages each table gets.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "builder/FixtureBuilder.h"
#include "tests/support/RealFixtures.h"
#include "values/CompressedValues.h"
#include "values/RowDecoder.h"

namespace quillmark::testing {
namespace {

int SeedsPerTable() {
  const char* named = std::getenv("QUILLMARK_CORRUPTION_SEEDS");
  int seeds = named ? std::atoi(named) : 0;
  return seeds > 0 ? seeds / 10 + 1 : 6;
}

void Damage(Bytes& page, std::mt19937& random) {
  auto any = [&random](std::size_t below) { return static_cast<std::size_t>(random() % below); };
  switch (random() % 3) {
    case 0:
      for (std::size_t n = 1 + any(40); n > 0; --n) page[96 + any(kPage - 96)] = static_cast<std::uint8_t>(random());
      break;
    case 1:  // a record's lengths and counts
      for (std::size_t n = 1 + any(8); n > 0; --n) PutU16(page, 96 + any(kPage - 100), static_cast<std::uint16_t>(random()));
      break;
    default:  // status bytes: compressed, complex, ghost, forwarded
      for (std::size_t n = 1 + any(8); n > 0; --n) page[96 + any(kPage - 96)] = static_cast<std::uint8_t>(random() % 64);
      break;
  }
}

void DecodeEveryWay(const Bytes& bytes, DatabaseFile& file, std::vector<ColumnLayout> layouts) {
  CompressedValueRebuilder rebuilder(layouts);
  Settings().listingContext = &rebuilder;
  PageBuffer buffer = AllocatePageBuffer();
  std::copy(bytes.begin(), bytes.end(), buffer.get());
  CDataPage page(std::move(buffer), &file);
  for (DecodeVariant variant : {DecodeVariant::kListing, DecodeVariant::kCatalog}) {
    std::vector<ColumnLayout> current = layouts;
    for (const DecodedRow& row : DecodeCurrentFormat(page, current, variant)) EXPECT_EQ(row.size(), layouts.size());
    std::vector<ColumnLayout> legacy = layouts;
    for (const DecodedRow& row : DecodeLegacyFormat(page, legacy, variant)) EXPECT_EQ(row.size(), layouts.size());
  }
  Settings().listingContext = nullptr;
}

TEST(RowCorruptionTest, DamagedPagesOfRealTablesDecodeSafely) {
  QM_REQUIRE_REAL_FIXTURES();
  ResetSettings();
  std::mt19937 random(424242);
  const int seeds = SeedsPerTable();
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    auto db = OpenDatabase(path.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    const std::vector<CatalogObject> objects = db.catalog->objects;
    for (const CatalogObject& object : objects) {
      if (object.type != "U ") continue;
      std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, object.name, "U ", {});
      const std::vector<PageId> pages = db.catalog->selected.dataPages;
      if (pages.empty()) continue;
      for (int seed = 0; seed < seeds; ++seed) {
        PageBuffer original = db.file->ReadPage(pages[random() % pages.size()]);
        if (!original) continue;
        Bytes page(original.get(), original.get() + kPage);
        Damage(page, random);
        const bool deleted = seed % 2 == 0;
        Settings().showDeletedRecords = deleted;
        Settings().showAdvancedDeletedRecords = deleted;
        Settings().listingActive = seed % 3 != 0;
        DecodeEveryWay(page, *db.file, layouts);
      }
    }
  }
  ResetSettings();
}

TEST(RowCorruptionTest, DamagedCompressedRecordsDecodeSafely) {
  ResetSettings();
  std::mt19937 random(777);
  std::vector<ColumnLayout> layouts;
  const std::vector<std::pair<TypeCode, std::u16string>> types = {
      {kInt, u"int(4)"},           {kDecimal, u"decimal(9)"}, {kNVarChar, u"nvarchar(40)"}, {kChar, u"char(10)"},
      {kDateTime2, u"datetime2(8)"}, {kBit, u"bit(1)"},        {kVarBinary, u"varbinary(-1)"}, {kFloat, u"float(8)"}};
  for (std::size_t i = 0; i < types.size(); ++i) {
    ColumnLayout layout;
    layout.columnId = layout.physicalColumnId = static_cast<std::int32_t>(i + 1);
    layout.typeCode = types[i].first;
    layout.typeText = types[i].second;
    layout.precision = 9;
    layout.scale = 2;
    layout.hasLayout = 1;
    layouts.push_back(layout);
  }
  DatabaseFile file;
  for (int round = 0; round < 400; ++round) {
    PageBuilder builder(1, 77, 20);
    if (round % 2) {
      Bytes anchor = CompressedRecord({.codes = {6, 3, 0}, .shortData = {'A', 'B', 'C', 'D', 'E', 0x83, 0xE9}});
      builder.CompressionInfo(0x06, static_cast<std::uint16_t>(7 + anchor.size()), static_cast<std::uint16_t>(7 + anchor.size() + 6),
                              Concat({anchor, Bytes{0x01, 0x00, 0x06, 0x00, 0x41, 0x42}}));
    }
    for (int record = 0; record < 6; ++record) {
      CompressedRecordSpec spec;
      for (std::size_t i = 0; i < types.size(); ++i) spec.codes.push_back(static_cast<std::uint8_t>(random() % 13));
      for (int b = 0; b < 40; ++b) spec.shortData.push_back(static_cast<std::uint8_t>(random()));
      if (random() % 2) spec.longValues = {Repeat(static_cast<std::uint8_t>(random()), 1 + random() % 30)};
      builder.AddRecord(CompressedRecord(spec));
    }
    Bytes page = builder.Build();
    if (round % 3 == 0) Damage(page, random);
    Settings().listingActive = 1;
    DecodeEveryWay(page, file, layouts);
  }
  ResetSettings();
}

}  // namespace
}  // namespace quillmark::testing
