// The catalog's indexed lookups answer exactly as walks of the lists in order
// do. The walks are kept here as the reference: on every real file and on
// built catalogs with duplicate and conflicting rows, every object resolves to
// the same working set (layouts, data pages, keys, and so the tree's bold
// state), and the derived foreign-key columns and object details are those of
// the nested walks over the lists.
#include <deque>

#include "builder/DatabaseBuilder.h"
#include "builder/ManyTables.h"
#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "tests/catalog/CatalogTest.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

// Every lookup walks its whole list in order and keeps the positions that match.
class PlainScanLookups final : public CatalogLookups {
 public:
  explicit PlainScanLookups(const DatabaseCatalog& catalog) : c_(catalog) {}

  RowPositions ObjectsNamed(const std::u16string& name) const override {
    return Walk(c_.objects, [&](const CatalogObject& o) { return o.name == name; });
  }
  RowPositions ObjectsWithId(std::int32_t id) const override {
    return Walk(c_.objects, [&](const CatalogObject& o) { return o.id == id; });
  }
  RowPositions ObjectsWithParent(std::int32_t parentId) const override {
    return Walk(c_.objects, [&](const CatalogObject& o) { return o.parentId == parentId; });
  }
  RowPositions RowsetsOfObject(std::int32_t objectId) const override {
    return Walk(c_.rowsets, [&](const CatalogRowset& r) { return r.objectId == objectId; });
  }
  RowPositions IndexesOfObject(std::int32_t objectId) const override {
    return Walk(c_.indexes, [&](const CatalogIndex& i) { return i.objectId == objectId; });
  }
  RowPositions AllocUnitsOwnedBy(std::int64_t ownerId) const override {
    return Walk(c_.allocUnits, [&](const CatalogAllocUnit& u) { return u.ownerId == ownerId; });
  }
  RowPositions AllocUnitsWithId(std::int64_t id) const override {
    return Walk(c_.allocUnits, [&](const CatalogAllocUnit& u) { return u.id == id; });
  }
  RowPositions ColumnsOfTable(std::int32_t maskedObjectId) const override {
    return Walk(c_.columns, [&](const CatalogColumn& c) { return (c.objectId & kColumnIdBits) == maskedObjectId; });
  }
  RowPositions LegacyColumnsOfTable(std::int32_t maskedObjectId) const override {
    return Walk(c_.legacyColumns, [&](const LegacyColumn& c) { return (c.objectId & kColumnIdBits) == maskedObjectId; });
  }
  RowPositions RowsetColumnsOf(std::int64_t rowsetId) const override {
    return Walk(c_.rowsetColumns, [&](const CatalogRowsetColumn& r) { return r.rowsetId == rowsetId; });
  }
  RowPositions Object13RowsOf(std::int64_t rowsetId) const override {
    return Walk(c_.object13Rows, [&](const Object13Row& r) { return RowsetIdOf(r.value0, r.value4) == rowsetId; });
  }
  RowPositions Object4RowsOf(std::int64_t rowsetId) const override {
    return Walk(c_.object4Rows, [&](const Object4Row& r) { return RowsetIdOf(r.values[0], r.values[1]) == rowsetId; });
  }
  RowPositions IndexColumnsOf(std::int32_t objectId, std::int32_t indexId) const override {
    return Walk(c_.indexColumns,
                [&](const CatalogIndexColumn& c) { return c.objectId == objectId && c.indexId == indexId; });
  }
  RowPositions TypesWithId(std::int32_t id) const override {
    return Walk(c_.types, [&](const CatalogType& t) { return t.id == id; });
  }
  RowPositions ForeignKeysOfTable(std::int32_t parentTableId) const override {
    return Walk(c_.foreignKeyColumns, [&](const ForeignKeyColumn& k) { return k.parentTableId == parentTableId; });
  }

  void Forget() const { found_.clear(); }

 private:
  template <class Row, class Match>
  RowPositions Walk(const std::vector<Row>& rows, Match match) const {
    std::vector<std::uint32_t>& found = found_.emplace_back();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (match(rows[i])) found.push_back(static_cast<std::uint32_t>(i));
    return found;
  }

  const DatabaseCatalog& c_;
  mutable std::deque<std::vector<std::uint32_t>> found_;
};

// The foreign-key columns as the nested walks over references, objects and
// columns give them (later matches overwrite the names).
std::vector<ForeignKeyColumn> PlainForeignKeyColumns(const DatabaseCatalog& catalog) {
  std::vector<ForeignKeyColumn> keys;
  for (const CatalogReference& parent : catalog.references) {
    if (parent.referenceClass != 28) continue;
    for (const CatalogReference& referenced : catalog.references) {
      if (referenced.referenceClass != 29 || referenced.dependentId != parent.dependentId ||
          referenced.dependentSubId != parent.dependentSubId)
        continue;
      keys.push_back(ForeignKeyColumn{parent.dependentId, parent.dependentSubId, parent.independentId,
                                      parent.independentSubId, referenced.independentId, referenced.independentSubId});
    }
  }
  for (ForeignKeyColumn& key : keys) {
    for (const CatalogObject& object : catalog.objects) {
      if (object.id == key.parentTableId) key.parentTableName = object.name;
      if (object.id == key.referencedTableId) key.referencedTableName = object.name;
      if (object.id == key.constraintId) {
        key.constraintName = object.name;
        key.constraintStatus = object.status;
      }
    }
    for (const CatalogColumn& column : catalog.columns) {
      if (column.objectId == key.parentTableId && column.columnId == key.parentColumnId)
        key.parentColumnName = column.name;
      if (column.objectId == key.referencedTableId && column.columnId == key.referencedColumnId)
        key.referencedColumnName = column.name;
    }
  }
  return keys;
}

// The referenced details as the walk of every reference over every detail gives them.
std::vector<ObjectDetail> PlainReferencedDetails(const DatabaseCatalog& catalog) {
  std::vector<ObjectDetail> details = catalog.objectDetails;
  for (ObjectDetail& detail : details) detail.class97ReferenceId = detail.class27ReferenceId = detail.class27ReferenceSubId = 0;
  std::vector<ObjectDetail> referenced;
  for (const CatalogReference& reference : catalog.references) {
    for (ObjectDetail& detail : details) {
      if (detail.id != reference.dependentId || reference.dependentSubId != 0) continue;
      if (reference.referenceClass == 97) {
        detail.class97ReferenceId = reference.independentId;
      } else if (reference.referenceClass == 27) {
        detail.class27ReferenceId = reference.independentId;
        detail.class27ReferenceSubId = reference.independentSubId;
      } else {
        continue;
      }
      referenced.push_back(detail);
    }
  }
  return referenced;
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// Every object of the catalog, and a name no object has, resolve alike through
// both lookups. Returns the number of user tables shown bold.
std::size_t ExpectSameResolutions(DatabaseCatalog& catalog) {
  const PlainScanLookups plain(catalog);
  std::size_t bold = 0;
  std::vector<CatalogObject> asked = catalog.objects;
  asked.push_back(CatalogObject{.name = u"no such object", .type = "U "});
  for (const CatalogObject& object : asked) {
    SCOPED_TRACE(Narrow(object.name) + " " + object.type);
    const std::vector<ColumnLayout> indexed = ResolveTableSchema(catalog, object.name, object.type, {});
    const SelectedTable indexedSet = catalog.selected;
    const std::vector<ColumnLayout> reference = ResolveTableSchema(catalog, plain, object.name, object.type, {});
    plain.Forget();
    EXPECT_TRUE(indexed == reference);
    EXPECT_TRUE(indexedSet == catalog.selected);
    EXPECT_EQ(indexedSet.dataPages, catalog.selected.dataPages);
    if (object.type == "U " && !indexed.empty() && !indexedSet.dataPages.empty()) ++bold;
  }
  return bold;
}

void ExpectSameDerivations(const DatabaseCatalog& catalog) {
  EXPECT_TRUE(catalog.foreignKeyColumns == PlainForeignKeyColumns(catalog));
  EXPECT_TRUE(catalog.referencedDetails == PlainReferencedDetails(catalog));
}

class IndexedLookupsTest : public CatalogTest {};

TEST_F(IndexedLookupsTest, EveryRealFileResolvesAsThePlainWalksDo) {
  QM_REQUIRE_REAL_FIXTURES();
  std::size_t bold = 0;
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    auto db = OpenDatabase(path.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    ExpectSameDerivations(*db.catalog);
    bold += ExpectSameResolutions(*db.catalog);
  }
  EXPECT_GT(bold, 0u);
}

// Rows that repeat ids, names and keys with other values: the first row in
// list order must still be the first, the last the last.
TEST_F(IndexedLookupsTest, DuplicateAndConflictingRowsResolveAsThePlainWalksDo) {
  constexpr std::int64_t kRowsetA = 0x0100000000050000;
  constexpr std::int64_t kRowsetB = 0x0100000000060000;
  constexpr std::int64_t kRowsetC = 0x0100000000070000;
  constexpr std::int64_t kRowsetD = 0x0100000000080000;
  auto unit = [](std::int64_t field) { return (256LL << 48) | (field << 16); };
  auto db = OpenWith({
      {11, SystemPage(34, 11,
                      {ObjectRow(510, u"T", "P "), ObjectRow(500, u"T", "U "), ObjectRow(501, u"T", "S "),
                       ObjectRow(502, u"PK_T", "PK", 500), ObjectRow(502, u"PK_T_again", "PK", 500),
                       ObjectRow(503, u"FK_T", "F ", 500), ObjectRow(504, u"V", "V "), ObjectRow(505, u"U2", "U "),
                       ObjectRow(500, u"T_later", "U "), ObjectRow(506, u"U3", "U "), ObjectRow(505, u"U2", "U "),
                       ObjectRow(507, u"", "U "), ObjectRow(508, u"Lone", "U ")})},
      {12, SystemPage(41, 12,
                      {ColumnRow(500, 2, u"b"), ColumnRow(500, 1, u"a"), ColumnRow(500, 1, u"a_again", 127, 8),
                       ColumnRow(500 | (1 << 24), 3, u"c"), ColumnRow(500 | (1 << 25), 2, u"b_again"),
                       ColumnRow(501, 1, u"x"), ColumnRow(505, 1, u"y"), ColumnRow(505, 1, u"y_again"),
                       ColumnRow(505, 2, u"z", 0), ColumnRow(506, 1, u"w"), ColumnRow(508, 1, u"l")})},
      {13, SystemPage(74, 13,
                      {ReferenceRow(28, 503, 1, 500, 1), ReferenceRow(29, 503, 1, 505, 1),
                       ReferenceRow(29, 503, 1, 505, 2), ReferenceRow(28, 503, 1, 500, 2),
                       ReferenceRow(28, 503, 2, 500, 3), ReferenceRow(29, 503, 2, 506, 1),
                       ReferenceRow(97, 502, 0, 500, 0), ReferenceRow(27, 502, 0, 500, 1),
                       ReferenceRow(97, 502, 0, 501, 0), ReferenceRow(27, 503, 1, 500, 0)})},
      {20, SystemPage(5, 20,
                      {RowsetRow(kRowsetA, 500, 1), RowsetRow(kRowsetB, 500, 0), RowsetRow(kRowsetC, 500, 0),
                       RowsetRow(kRowsetD, 505, 2), RowsetRow(kRowsetA, 506, 0), RowsetRow(kRowsetD, 505, 3)})},
      {10, SystemPage(7, 10,
                      {AllocUnitRow(unit(72), 1, kRowsetC, 30), AllocUnitRow(unit(73), 1, kRowsetC, 31),
                       AllocUnitRow(unit(72), 2, kRowsetB, 30), AllocUnitRow(unit(74), 1, kRowsetA, 32),
                       AllocUnitRow(unit(75), 1, kRowsetD, 33), AllocUnitRow(unit(75), 1, kRowsetD, 33)})},
      {14, SystemPage(3, 14,
                      {RowsetColumnRow(kRowsetC, 1, 1, 4, 1), RowsetColumnRow(kRowsetC, 1, 2, 8, 2),
                       RowsetColumnRow(kRowsetC, 2, 2, 8, 2), RowsetColumnRow(kRowsetA, 1, 1, 4, 1)})},
      {30, UserPage(72, 30, 0x30)},
      {31, UserPage(73, 31, 0x31)},
      {32, UserPage(74, 32, 0x32)},
      {33, UserPage(75, 33, 0x33)},
      {34, UserPage(73, 34, 0x34)},
  });
  DatabaseCatalog catalog(*db);
  ASSERT_FALSE(catalog.foreignKeyColumns.empty());
  ExpectSameDerivations(catalog);
  ExpectSameResolutions(catalog);
  // The procedure named like the table comes first in list order and is taken.
  ResolveTableSchema(catalog, u"T", "U ", {});
  EXPECT_EQ(catalog.selected.object.id, 510);
}

// A built database of many tables (keys, constraints, views, procedures), in
// both layouts, then the same with copies of its rows that conflict with the
// originals appended to every list the lookups index.
TEST_F(IndexedLookupsTest, BuiltDatabasesWithRepeatedRowsResolveAsThePlainWalksDo) {
  for (const Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(layout == Layout::kSql2000 ? "2000" : "2005+");
    ResetSettings();
    const WrittenDatabase written = ManyTables(40, layout).Write(dir_.path(), "many.mdf");
    auto db = OpenDatabase(written.primary.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    DatabaseCatalog& catalog = *db.catalog;
    ExpectSameDerivations(catalog);
    EXPECT_EQ(ExpectSameResolutions(catalog), 40u);

    auto appendChanged = [](auto& rows, auto change) {
      const std::size_t count = rows.size();
      for (std::size_t i = 0; i < count; i += 3) {
        auto copy = rows[i];
        change(copy);
        rows.push_back(copy);
      }
    };
    appendChanged(catalog.objects, [](CatalogObject& o) { o.type = o.type == "U " ? "S " : "U "; });
    appendChanged(catalog.columns, [](CatalogColumn& c) { c.name += u"_again"; c.systemTypeId = 127; });
    appendChanged(catalog.legacyColumns, [](LegacyColumn& c) { c.name += u"_again"; c.systemType = 127; });
    appendChanged(catalog.rowsets, [](CatalogRowset& r) { r.indexId = 0; r.rowsetId += 7; });
    appendChanged(catalog.allocUnits, [](CatalogAllocUnit& u) { u.firstPage.pageNumber += 1; });
    appendChanged(catalog.rowsetColumns, [](CatalogRowsetColumn& r) { r.leafOffset += 2; });
    appendChanged(catalog.indexes, [](CatalogIndex& i) { i.status |= 0x40; });
    appendChanged(catalog.indexColumns, [](CatalogIndexColumn& c) { c.tinyProperty1 = 9; });
    appendChanged(catalog.types, [](CatalogType& t) { t.name += u"_again"; t.schemaId = 1; });
    appendChanged(catalog.foreignKeyColumns, [](ForeignKeyColumn& k) { k.referencedTableName += u"_again"; });
    ExpectSameResolutions(catalog);
  }
}

}  // namespace
}  // namespace quillmark::testing
