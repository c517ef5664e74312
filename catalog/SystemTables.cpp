#include "catalog/SystemTables.h"

#include <fmt/format.h>

#include "catalog/RowFields.h"
#include "engine/Record.h"

namespace quillmark {
namespace {

using Options = CatalogReader::Options;

std::u16string TrimTrailingSpace(std::u16string text) {
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r' || text.back() == u'\n'))
    text.pop_back();
  return text;
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::u16string IdentityText(ByteSpan value) {
  const std::size_t length = value.size();
  std::int64_t seed = 1;
  std::int64_t increment = 1;
  if (length >= 24 && ReadLeOr<std::int32_t>(value, 4) == 0 && ReadLeOr<std::int32_t>(value, 0) != 0) {
    seed = ReadLeOr<std::int64_t>(value, 8);
    increment = ReadLeOr<std::int64_t>(value, 16);
  } else if (length >= 12) {
    seed = ReadLeOr<std::int32_t>(value, 4);
    increment = ReadLeOr<std::int32_t>(value, 8);
  } else if (length >= 6) {
    seed = ReadLeOr<std::int16_t>(value, 2);
    increment = ReadLeOr<std::int16_t>(value, 4);
  }
  if (increment == 0) increment = 1;
  return Ascii(fmt::format("identity({},{})", seed, increment));
}

void ReadFileTable(CatalogReader& reader, std::vector<CatalogFile>& files) {
  reader.ReadTable(kFileTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    CatalogFile file;
    if (row.FixedLength() >= 520) {
      file.status = row.Read<std::int32_t>(0, 0);
      file.fileId = row.Read<std::int16_t>(4, 0);
      file.logicalName = TrimTrailingSpace(row.Utf16(6, 256));
      file.physicalName = TrimTrailingSpace(row.Utf16(262, 520));
    }
    files.push_back(std::move(file));
  });
}

void ReadObjectTable(CatalogReader& reader, std::vector<CatalogObject>& objects) {
  reader.ReadTable(kObjectTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    if (!row.HasFixedData() || row.FixedLength() < 20 || row.Read<std::int32_t>(0, 0) <= 0) return;
    CatalogObject object;
    object.id = row.Read<std::int32_t>(0, -1);
    object.schemaId = row.Read<std::int32_t>(4, -1);
    object.namespaceClass = row.Read<std::uint8_t>(8, 255);
    object.status = row.Read<std::int32_t>(9, -1);
    object.type = row.TwoChars(13);
    object.parentId = row.Read<std::int32_t>(15, -1);
    object.parentClass = row.Read<std::uint8_t>(19, 255);
    object.property = row.Read<std::int32_t>(20, -1);
    object.name = reader.NameOf(record, kRepairName);
    objects.push_back(std::move(object));
  });
}

void ReadAllocUnits(CatalogReader& reader, std::int32_t tableId, std::vector<CatalogAllocUnit>& units) {
  reader.ReadTable(tableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    CatalogAllocUnit unit;
    if (row.HasFixedData() && row.FixedLength() >= 39) {
      unit.id = row.Read<std::int64_t>(0, 0);
      unit.type = row.Read<std::uint8_t>(8, 255);
      unit.ownerId = row.Read<std::int64_t>(9, 0);
      unit.status = row.Read<std::int32_t>(17, -1);
      unit.filegroupId = row.Read<std::int16_t>(21, 0);
      unit.firstPage = row.PagePointer(23);
      unit.rootPage = row.PagePointer(29);
      unit.firstIamPage = row.PagePointer(35);
    }
    units.push_back(unit);
  });
}

void ReadRowsets(CatalogReader& reader, std::vector<CatalogRowset>& rowsets) {
  reader.ReadTable(kRowsetTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    CatalogRowset rowset;
    if (row.HasFixedData() && row.FixedLength() >= 27) {
      rowset.rowsetId = row.Read<std::int64_t>(0, 0);
      rowset.ownerType = row.Read<std::uint8_t>(8, 255);
      rowset.objectId = row.Read<std::int32_t>(9, -1);
      rowset.indexId = row.Read<std::int32_t>(13, -1);
      rowset.partitionNumber = row.Read<std::int32_t>(17, -1);
      rowset.status = row.Read<std::int32_t>(21, -1);
      rowset.filegroup = row.Read<std::int16_t>(25, -1);
      rowset.rowCount = row.Read<std::int64_t>(27, -1);
    }
    rowsets.push_back(rowset);
  });
}

void ReadColumnTable(CatalogReader& reader, std::int32_t tableId, std::vector<CatalogColumn>& columns) {
  Options options;
  options.skipIndexRecords = true;
  reader.ReadTable(
      tableId,
      [&](const CRecord& record, const CDataPage&) {
        RowFields row(record);
        CatalogColumn column;
        if (row.HasFixedData() && row.FixedLength() >= 37) {
          column.objectId = row.Read<std::int32_t>(0, -1);
          column.number = row.Read<std::int16_t>(4, -1);
          column.columnId = row.Read<std::int32_t>(6, -1);
          column.systemTypeId = row.Read<std::uint8_t>(10, 255);
          column.userTypeId = row.Read<std::int32_t>(11, -1);
          column.maxLength = row.Read<std::int16_t>(15, -1);
          column.precision = row.Read<std::uint8_t>(17, 255);
          column.scale = row.Read<std::uint8_t>(18, 255);
          column.collationId = row.Read<std::int32_t>(19, -1);
          column.status = row.Read<std::int32_t>(23, -1);
          column.maxInRowLength = row.Read<std::int16_t>(27, -1);
          column.xmlCollectionId = row.Read<std::int32_t>(29, -1);
          column.defaultObjectId = row.Read<std::int32_t>(33, -1);
          column.checkObjectId = row.Read<std::int32_t>(37, -1);
          column.name = reader.NameOf(record, kRepairColumn);
          if (column.status == 5 && record.varValues.size() >= 2)
            column.identityText = IdentityText(record.varValues[1].bytes);
        }
        columns.push_back(std::move(column));
      },
      options);
}

void ReadTypes(CatalogReader& reader, std::vector<CatalogType>& types) {
  reader.ReadTable(kTypeTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    if (!row.HasFixedData()) return;
    CatalogType type;
    if (row.FixedLength() >= 34) {
      type.id = row.Read<std::int32_t>(0, -1);
      type.schemaId = row.Read<std::int32_t>(4, -1);
      type.systemTypeId = row.Read<std::uint8_t>(8, 255);
      type.length = row.Read<std::int16_t>(9, -1);
      type.precision = row.Read<std::uint8_t>(11, 255);
      type.scale = row.Read<std::uint8_t>(12, 255);
      type.collationId = row.Read<std::int32_t>(13, -1);
      type.status = row.Read<std::int32_t>(17, -1);
      type.value30 = row.Read<std::int32_t>(30, -1);
      type.value34 = row.Read<std::int32_t>(34, -1);
      type.name = FirstVariableText(record).value_or(u"");
    }
    types.push_back(std::move(type));
  });
}

void ReadRowsetColumns(CatalogReader& reader, std::vector<CatalogRowsetColumn>& rows) {
  reader.ReadTable(kRowsetColumnTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    CatalogRowsetColumn column;
    if (row.HasFixedData() && row.FixedLength() >= 48) {
      column.rowsetId = row.Read<std::int64_t>(0, 0);
      column.rowsetColumnId = row.Read<std::int32_t>(8, -1);
      column.hobtColumnId = row.Read<std::int32_t>(12, 0);
      column.modifiedCount = row.Read<std::int64_t>(16, -1);
      column.typeInfo = row.Read<std::int32_t>(24, -1);
      column.columnId = row.Read<std::int32_t>(28, -1);
      column.keyOrdinal = row.Read<std::int16_t>(32, -1);
      column.maxInRowLength = row.Read<std::int16_t>(34, -1);
      column.status = row.Read<std::int32_t>(36, -1);
      column.leafOffset = row.Read<std::int32_t>(40, -1);
      column.nullBit = row.Read<std::int32_t>(44, -1);
      column.bitPosition = row.Read<std::int16_t>(48, -1);
    }
    rows.push_back(column);
  });
}

void ReadReferences(CatalogReader& reader, std::vector<CatalogReference>& references) {
  Options options;
  options.dataPagesOnly = true;
  reader.ReadTable(
      kReferenceTableId,
      [&](const CRecord& record, const CDataPage&) {
        RowFields row(record);
        if (!row.HasFixedData()) return;
        CatalogReference reference;
        reference.referenceClass = row.Read<std::uint8_t>(0, 255);
        reference.dependentId = row.Read<std::int32_t>(1, -1);
        reference.dependentSubId = row.Read<std::int32_t>(5, -1);
        reference.independentId = row.Read<std::int32_t>(9, -1);
        reference.independentSubId = row.Read<std::int32_t>(13, -1);
        reference.status = row.Read<std::int32_t>(17, -1);
        references.push_back(reference);
      },
      options);
}

void ReadIndexes(CatalogReader& reader, std::vector<CatalogIndex>& indexes) {
  reader.ReadTable(kIndexTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    if (!row.HasFixedData()) return;
    CatalogIndex index;
    if (row.FixedLength() >= 27) {
      index.objectId = row.Read<std::int32_t>(0, -1);
      index.indexId = row.Read<std::int32_t>(4, -1);
      index.status = row.Read<std::int32_t>(8, -1);
      index.property = row.Read<std::int32_t>(12, -1);
      index.fillFactor = row.Read<std::uint8_t>(16, 255);
      index.indexType = row.Read<std::uint8_t>(17, 255);
      index.tinyProperty = row.Read<std::uint8_t>(18, 255);
      index.dataSpaceId = row.Read<std::int32_t>(19, -1);
      index.lobDataSpaceId = row.Read<std::int32_t>(23, -1);
      index.rowsetId = row.Read<std::int64_t>(27, -1);
      index.name = FirstVariableText(record).value_or(u"");
    }
    indexes.push_back(std::move(index));
  });
}

void ReadIndexColumns(CatalogReader& reader, std::vector<CatalogIndexColumn>& rows) {
  reader.ReadTable(kIndexColumnTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    CatalogIndexColumn column;
    if (row.HasFixedData() && row.FixedLength() >= 21) {
      column.objectId = row.Read<std::int32_t>(0, -1);
      column.indexId = row.Read<std::int32_t>(4, -1);
      column.keyOrdinal = row.Read<std::int32_t>(8, -1);
      column.status = row.Read<std::int32_t>(12, -1);
      column.columnId = row.Read<std::int32_t>(16, -1);
      column.tinyProperty1 = row.Read<std::uint8_t>(20, 255);
      column.tinyProperty2 = row.Read<std::uint8_t>(21, 255);
    }
    rows.push_back(column);
  });
}

void ReadObject13Rows(CatalogReader& reader, std::vector<Object13Row>& rows) {
  reader.ReadTable(kObject13TableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    Object13Row entry;
    entry.value0 = row.Read<std::int32_t>(0, 0);
    entry.value4 = row.Read<std::int32_t>(4, 0);
    entry.value8 = row.Read<std::int32_t>(8, 0);
    entry.value27 = row.Read<std::int16_t>(27, 0);
    entry.value33 = row.Read<std::int16_t>(33, 0);
    rows.push_back(entry);
  });
}

void ReadObject4Rows(CatalogReader& reader, std::vector<Object4Row>& rows) {
  reader.ReadTable(kObject4TableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    Object4Row entry;
    for (std::size_t i = 0; i < entry.values.size(); ++i) entry.values[i] = row.Read<std::int32_t>(4 * i, 0);
    rows.push_back(entry);
  });
}

}  // namespace quillmark
