// Shared set-up of the catalog tests: settings reset around every test, and
// system-table pages and rows written byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "catalog/DatabaseCatalog.h"
#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::testing {

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  // A page of system table `objectId` at `position` holding `rows`.
  static Bytes SystemPage(std::int32_t objectId, std::int32_t position, const std::vector<Bytes>& rows,
                          std::uint8_t type = 1) {
    PageBuilder page(type, objectId, position);
    page.IndexId(1);
    for (const Bytes& row : rows) page.AddRecord(row);
    return page.Build();
  }

  // A row with the given fixed part and variable-length columns.
  static Bytes Row(const Bytes& fixed, const std::vector<Bytes>& variable = {}) {
    RecordBuilder row;
    row.Fixed(fixed).Columns(static_cast<std::int16_t>(2 + variable.size()));
    for (const Bytes& value : variable) row.Var(value);
    return row.Build();
  }

  // A sysschobjs row: id, schema, namespace class, status, type, parent, parent class, property.
  static Bytes ObjectRow(std::int32_t id, const std::u16string& name, const std::string& type,
                         std::int32_t parent = 0, std::uint8_t namespaceClass = 0, std::uint8_t parentClass = 1) {
    Bytes fixed(40, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(id));
    PutU32(fixed, 4, 1);
    fixed[8] = namespaceClass;
    PutU32(fixed, 9, 0x100);
    fixed[13] = static_cast<std::uint8_t>(type.at(0));
    fixed[14] = static_cast<std::uint8_t>(type.at(1));
    PutU32(fixed, 15, static_cast<std::uint32_t>(parent));
    fixed[19] = parentClass;
    PutU32(fixed, 20, 7);
    return Row(fixed, {Utf16(name)});
  }

  // A syscolpars row of a table column.
  static Bytes ColumnRow(std::int32_t objectId, std::int32_t columnId, const std::u16string& name,
                         std::uint8_t systemType = 56, std::int16_t maxLength = 4, std::int32_t status = 0,
                         const Bytes& identity = {}) {
    Bytes fixed(41, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(objectId));
    PutU32(fixed, 6, static_cast<std::uint32_t>(columnId));
    fixed[10] = systemType;
    PutU32(fixed, 11, systemType);
    PutU16(fixed, 15, static_cast<std::uint16_t>(maxLength));
    PutU32(fixed, 23, static_cast<std::uint32_t>(status));
    std::vector<Bytes> variable = {Utf16(name)};
    if (!identity.empty()) variable.push_back(identity);
    return Row(fixed, variable);
  }

  // A reference-table row.
  static Bytes ReferenceRow(std::uint8_t referenceClass, std::int32_t dependent, std::int32_t dependentSub,
                            std::int32_t independent, std::int32_t independentSub) {
    Bytes fixed(21, 0);
    fixed[0] = referenceClass;
    PutU32(fixed, 1, static_cast<std::uint32_t>(dependent));
    PutU32(fixed, 5, static_cast<std::uint32_t>(dependentSub));
    PutU32(fixed, 9, static_cast<std::uint32_t>(independent));
    PutU32(fixed, 13, static_cast<std::uint32_t>(independentSub));
    return Row(fixed);
  }

  // A sysrowsets row.
  static Bytes RowsetRow(std::int64_t rowsetId, std::int32_t objectId, std::int32_t indexId) {
    Bytes fixed(35, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(rowsetId));
    PutU32(fixed, 4, static_cast<std::uint32_t>(rowsetId >> 32));
    PutU32(fixed, 9, static_cast<std::uint32_t>(objectId));
    PutU32(fixed, 13, static_cast<std::uint32_t>(indexId));
    return Row(fixed);
  }

  // A sysallocunits row: unit id, type, owner rowset and its first page.
  static Bytes AllocUnitRow(std::int64_t unitId, std::uint8_t type, std::int64_t owner, std::int32_t firstPage) {
    Bytes fixed(41, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(unitId));
    PutU32(fixed, 4, static_cast<std::uint32_t>(unitId >> 32));
    fixed[8] = type;
    PutU32(fixed, 9, static_cast<std::uint32_t>(owner));
    PutU32(fixed, 13, static_cast<std::uint32_t>(owner >> 32));
    PutPagePointer(fixed, 23, firstPage, 1);
    return Row(fixed);
  }

  // A sysrscols row: where column `columnId` sits in the rowset's records.
  static Bytes RowsetColumnRow(std::int64_t rowsetId, std::int32_t columnId, std::int32_t hobtColumnId,
                               std::int32_t leafOffset, std::int32_t nullBit) {
    Bytes fixed(50, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(rowsetId));
    PutU32(fixed, 4, static_cast<std::uint32_t>(rowsetId >> 32));
    PutU32(fixed, 8, static_cast<std::uint32_t>(columnId));
    PutU32(fixed, 12, static_cast<std::uint32_t>(hobtColumnId));
    PutU32(fixed, 40, static_cast<std::uint32_t>(leafOffset));
    PutU32(fixed, 44, static_cast<std::uint32_t>(nullBit));
    return Row(fixed);
  }

  // A user data page of allocation unit `objectField` (header index id 256).
  static Bytes UserPage(std::int32_t objectField, std::int32_t position, std::uint8_t marker) {
    PageBuilder page(1, objectField, position);
    page.IndexId(256).AddRecord(RecordBuilder().Fixed({marker, 0, 0, 0}).Columns(1).Build());
    return page.Build();
  }

  // A database of the minimal pages with these system pages put in place.
  std::unique_ptr<DatabaseFile> OpenWith(const std::map<std::int32_t, Bytes>& pages, std::size_t pageCount = 40) {
    FileBuilder file = FileBuilder::MinimalDatabase(pageCount);
    for (const auto& [position, page] : pages) file.SetPage(static_cast<std::size_t>(position), page);
    path_ = file.Write(dir_ / "catalog.mdf");
    auto db = DatabaseFile::Open(path_.string(), 0, nullptr);
    EXPECT_TRUE(db->opened);
    return db;
  }

  TempDir dir_;
  std::filesystem::path path_;

 private:
  static void Reset() {
    ResetSettings();
    DatabaseFile::SetSnapshotLoader(nullptr);
  }
};

}  // namespace quillmark::testing
