#include "catalog/SchemaResolution.h"

#include <algorithm>
#include <set>

#include "catalog/DatabaseCatalog.h"
#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "engine/PageHeader.h"

namespace quillmark {
namespace {

bool IsProgrammability(const std::string& type) {
  static const char* const kTypes[] = {"PK", "X ", "P ", "C ", "FN", "IF", "TR", "V ", "D ", "TT", "F ", "TF"};
  return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return type == t; });
}

std::u16string Decimal(std::int64_t value) {
  std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

// One column of either layout, as the layouts are built from it.
struct ColumnSource {
  std::int32_t columnId;
  std::u16string name;
  std::uint8_t systemTypeId;
  std::int32_t userTypeId;
  std::int16_t maxLength;
  std::uint8_t precision;
  std::uint8_t scale;
  std::int32_t collationId;
  std::int32_t status;
  std::u16string identityText;
  bool legacy;
  std::int16_t legacyOffset;     // 2000: the offset field
  std::int16_t legacyLeafOffset; // 2000: the leaf offset field
};

class Resolver {
 public:
  Resolver(DatabaseCatalog& catalog, const CatalogLookups& lookups, const std::vector<ModuleTextEntry>& entries)
      : catalog_(catalog),
        lookups_(lookups),
        selected_(catalog.selected),
        entries_(entries),
        sql2000_(Settings().isSql2000 != 0) {}

  std::vector<ColumnLayout> Run(const std::u16string& name, const std::string& type);

 private:
  bool SelectObject(const std::u16string& name, const std::string& type);
  void BuildKeys();
  void ProgrammabilityColumns();
  void LocateRows();
  CatalogRowset ChooseRowset();
  void ChooseInRowAllocUnit();
  void CollectRowsetsAndUnits();
  void CollectDataPages();
  void AppendDataPages(std::int32_t key);
  void CollectColumns();
  void CollectLayoutRows();
  void CollectUniqueIndexColumns();
  void BuildLayouts();
  ColumnLayout LayoutOf(const ColumnSource& column) const;
  void SortByColumnId();
  void ApplyLayoutRows();
  void ApplyObject13Rows();
  void ApplyDefaults();
  void ApplyKeys();
  void ApplyForeignKeys();
  std::u16string DefaultOf(std::int32_t columnId) const;
  const PageMap& DataPages() const { return catalog_.file->dataPages; }

  DatabaseCatalog& catalog_;
  const CatalogLookups& lookups_;
  SelectedTable& selected_;
  const std::vector<ModuleTextEntry>& entries_;
  const bool sql2000_;
  std::vector<ColumnSource> columns_;
  bool usedObject13Rows_ = false;
};

std::vector<ColumnLayout> Resolver::Run(const std::u16string& name, const std::string& type) {
  selected_ = SelectedTable{};
  if (!SelectObject(name, type)) return {};
  BuildKeys();
  if (IsProgrammability(selected_.object.type)) {
    ProgrammabilityColumns();
    return selected_.layouts;
  }
  LocateRows();
  CollectColumns();
  if (!sql2000_) CollectLayoutRows();
  CollectUniqueIndexColumns();
  BuildLayouts();
  SortByColumnId();
  ApplyLayoutRows();
  ApplyObject13Rows();
  ApplyDefaults();
  ApplyKeys();
  ApplyForeignKeys();
  auto physical = std::find_if(selected_.layouts.begin(), selected_.layouts.end(),
                               [](const ColumnLayout& layout) { return layout.physicalColumnId != kNoStorage; });
  selected_.firstPhysicalColumn =
      physical == selected_.layouts.end() ? 0 : static_cast<std::size_t>(physical - selected_.layouts.begin());
  selected_.resolved = 1;
  return selected_.layouts;
}

bool Resolver::SelectObject(const std::u16string& name, const std::string& type) {
  for (std::uint32_t at : lookups_.ObjectsNamed(name)) {
    const CatalogObject& object = catalog_.objects[at];
    if (object.name != name) continue;
    if (object.type == type || (object.type != "U " && object.type != "S ")) {
      selected_.object = object;
      return true;
    }
  }
  return false;
}

void Resolver::BuildKeys() {
  for (std::uint32_t at : lookups_.ObjectsWithParent(selected_.object.id)) {
    const CatalogObject& object = catalog_.objects[at];
    TableKey key;
    key.primaryKey = object.type == "PK";
    key.foreignKey = object.type == "F ";
    key.unique = object.type == "UQ";
    key.name = object.name;
    key.objectId = sql2000_ ? object.parentId : object.id;
    key.type = object.type;
    selected_.keys.push_back(std::move(key));
  }
}

void Resolver::ProgrammabilityColumns() {
  const CatalogObject& object = selected_.object;
  for (const std::u16string& text : {Decimal(object.id), std::u16string(object.type.begin(), object.type.end()), object.name}) {
    ColumnLayout layout;
    layout.valueText = text;
    selected_.layouts.push_back(std::move(layout));
  }
  selected_.resolved = 0;
}

void Resolver::LocateRows() {
  const std::int32_t tableId = selected_.object.id;
  if (sql2000_) {
    auto found = DataPages().find(tableId);
    if (found == DataPages().end()) return;
    for (const PageEntry& entry : found->second)
      if (entry.pageType == kDataPageType) selected_.dataPages.push_back(entry.Page());
    return;
  }
  selected_.inRowRowset = ChooseRowset();
  ChooseInRowAllocUnit();
  CollectRowsetsAndUnits();
  CollectDataPages();
}

// A rowset made from an index row, for files whose sysrowsets lack the table.
CatalogRowset RowsetOfIndex(const CatalogIndex& index, std::int32_t tableId) {
  CatalogRowset rowset;
  rowset.rowsetId = index.rowsetId;
  rowset.ownerType = 255;
  rowset.objectId = tableId;
  rowset.status = index.status;
  return rowset;
}

CatalogRowset Resolver::ChooseRowset() {
  const std::int32_t tableId = selected_.object.id;
  const CatalogRowset* best = nullptr;
  const CatalogRowset* last = nullptr;
  for (std::uint32_t at : lookups_.RowsetsOfObject(tableId)) {
    const CatalogRowset& rowset = catalog_.rowsets[at];
    last = &rowset;
    if (rowset.indexId <= 1 && (!best || rowset.indexId <= best->indexId)) best = &rowset;
  }
  if (best) return *best;
  for (std::uint32_t at : lookups_.IndexesOfObject(tableId)) {
    const CatalogIndex& index = catalog_.indexes[at];
    if (index.rowsetId != 0) {
      selected_.dedupPages = 1;
      return RowsetOfIndex(index, tableId);
    }
  }
  if (last) return *last;
  CatalogRowset none;
  none.rowsetId = -1;
  none.ownerType = 255;
  return none;
}

void Resolver::ChooseInRowAllocUnit() {
  const std::int64_t rowsetId = selected_.inRowRowset.rowsetId;
  CatalogAllocUnit unit;
  for (std::uint32_t at : lookups_.AllocUnitsOwnedBy(rowsetId))
    if (catalog_.allocUnits[at].type == 1) unit = catalog_.allocUnits[at];
  const PageMap& data = DataPages();
  const PageMap& iam = catalog_.file->iamPages;
  if (unit.firstPage.pageNumber != 0 || unit.rootPage.pageNumber != 0 || unit.firstIamPage.pageNumber != 0) {
    auto found = data.find(DataPageKeyOf(data, unit.id));
    if (found != data.end())
      for (const PageEntry& entry : found->second)
        if (entry.pageType == kDataPageType) unit.firstPage = entry.Page();
  } else {
    // No pages recorded: the rowset id stands in for the unit id.
    unit.id = rowsetId;
    unit.ownerId = rowsetId;
    if (auto found = data.find(DataPageKeyOf(data, rowsetId)); found != data.end()) {
      for (const PageEntry& entry : found->second) {
        selected_.dedupPages = 1;
        if (entry.pageType == kDataPageType) unit.firstPage = entry.Page();
      }
    }
    if (auto found = iam.find(DataPageKeyOf(iam, rowsetId)); found != iam.end()) {
      for (const PageEntry& entry : found->second) {
        selected_.dedupPages = 1;
        if (entry.pageType == kIamPageType) unit.firstIamPage = entry.Page();
      }
    }
  }
  selected_.inRowAllocUnit = unit;
}

void Resolver::CollectRowsetsAndUnits() {
  const std::int32_t tableId = selected_.object.id;
  for (std::uint32_t at : lookups_.RowsetsOfObject(tableId)) selected_.rowsets.push_back(catalog_.rowsets[at]);
  if (selected_.rowsets.empty())
    for (std::uint32_t at : lookups_.IndexesOfObject(tableId))
      if (catalog_.indexes[at].rowsetId != 0) selected_.rowsets.push_back(RowsetOfIndex(catalog_.indexes[at], tableId));

  std::set<std::int64_t> taken;
  auto add = [&](const CatalogAllocUnit& unit) {
    if (taken.insert(unit.id).second) selected_.allocUnits.push_back(unit);
  };
  for (const CatalogRowset& rowset : selected_.rowsets) {
    bool matched = false;
    for (std::uint32_t at : lookups_.AllocUnitsOwnedBy(rowset.rowsetId)) {
      add(catalog_.allocUnits[at]);
      matched = true;
    }
    if (!matched && selected_.dedupPages) {
      for (std::uint32_t at : lookups_.AllocUnitsWithId(rowset.rowsetId)) {
        add(catalog_.allocUnits[at]);
        matched = true;
      }
    }
    if (!matched) {
      CatalogAllocUnit unit;
      unit.id = rowset.rowsetId;
      unit.ownerId = rowset.rowsetId;
      add(unit);
    }
  }
}

void Resolver::AppendDataPages(std::int32_t key) {
  auto found = DataPages().find(key);
  if (found == DataPages().end()) return;
  for (const PageEntry& entry : found->second) {
    if (entry.pageType != kDataPageType) continue;
    // A page is listed once even when several of the table's allocation units
    // lead to it: in files upgraded from SQL Server 2000 every unit of a table
    // keys its pages under the table's id, which would repeat every row.
    const PageId page = entry.Page();
    if (!selected_.takenPages.insert({page.fileId, page.pageNumber}).second) continue;
    selected_.dataPages.push_back(entry.Page());
  }
}

void Resolver::CollectDataPages() {
  selected_.takenPages.clear();
  for (const CatalogAllocUnit& unit : selected_.allocUnits) AppendDataPages(DataPageKeyOf(DataPages(), unit.id));
  if (selected_.dataPages.empty()) AppendDataPages(selected_.object.id);
}

void Resolver::CollectColumns() {
  const std::int32_t tableId = selected_.object.id & kColumnIdBits;
  std::set<std::int32_t> taken;
  if (sql2000_) {
    for (std::uint32_t at : lookups_.LegacyColumnsOfTable(tableId)) {
      const LegacyColumn& column = catalog_.legacyColumns[at];
      if (!taken.insert(column.columnId).second) continue;
      selected_.legacyColumns.push_back(column);
      columns_.push_back(ColumnSource{column.columnId, column.name, column.systemType, column.userType, column.length,
                                      column.precision, column.scale, column.collationId, column.status, u"", true,
                                      column.offset, column.leafOffset});
    }
    return;
  }
  for (std::uint32_t at : lookups_.ColumnsOfTable(tableId)) {
    const CatalogColumn& column = catalog_.columns[at];
    if (column.number != 0 || !taken.insert(column.columnId).second) continue;
    selected_.columns.push_back(column);
    columns_.push_back(ColumnSource{column.columnId, column.name, column.systemTypeId, column.userTypeId,
                                    column.maxLength, column.precision, column.scale, column.collationId, column.status,
                                    column.identityText, false, 0, 0});
  }
}

void Resolver::CollectLayoutRows() {
  const std::int64_t rowsetId = selected_.inRowRowset.rowsetId;
  for (std::uint32_t at : lookups_.RowsetColumnsOf(rowsetId)) selected_.rowsetColumns.push_back(catalog_.rowsetColumns[at]);
  if (!selected_.rowsetColumns.empty()) return;
  for (std::uint32_t at : lookups_.Object13RowsOf(rowsetId)) selected_.object13Rows.push_back(catalog_.object13Rows[at]);
  for (std::uint32_t at : lookups_.Object4RowsOf(rowsetId)) selected_.object4Rows.push_back(catalog_.object4Rows[at]);
  for (const Object4Row& four : selected_.object4Rows)
    for (Object13Row& thirteen : selected_.object13Rows)
      if (thirteen.value8 == four.values[2]) thirteen.trailing = four.values[3];
}

void Resolver::CollectUniqueIndexColumns() {
  const std::int32_t tableId = selected_.object.id;
  for (std::uint32_t indexAt : lookups_.IndexesOfObject(tableId)) {
    const CatalogIndex& index = catalog_.indexes[indexAt];
    if (index.indexId <= 0 || !(index.status & 1)) continue;
    for (std::uint32_t at : lookups_.IndexColumnsOf(tableId, index.indexId)) {
      CatalogIndexColumn copy = catalog_.indexColumns[at];
      copy.indexStatus = index.status;
      selected_.uniqueIndexColumns.push_back(copy);
    }
  }
}

ColumnLayout Resolver::LayoutOf(const ColumnSource& column) const {
  // The system type itself when the column's user type is a system type of
  // schema 1; otherwise the first type with the column's system type id.
  const CatalogType* type = nullptr;
  // A SQL Server 2000 column names its type by user type (its systypes row's
  // xusertype), so that user-defined types keep their names.
  if (column.legacy)
    if (const RowPositions named = lookups_.TypesWithId(column.userTypeId); !named.empty())
      type = &catalog_.types[named.front()];
  for (std::uint32_t at : lookups_.TypesWithId(column.userTypeId)) {
    if (type) break;
    const CatalogType& candidate = catalog_.types[at];
    if (candidate.id == candidate.systemTypeId && candidate.schemaId == 1) {
      type = &candidate;
      break;
    }
  }
  if (!type)
    if (const RowPositions found = lookups_.TypesWithId(column.systemTypeId); !found.empty())
      type = &catalog_.types[found.front()];
  ColumnLayout layout;
  layout.columnId = column.columnId;
  layout.physicalColumnId = column.columnId;
  layout.name = column.name;
  layout.typeCode = column.systemTypeId == 34 ? kImage : TypeCodeOf(column.systemTypeId);
  std::string length = std::to_string(column.maxLength);
  layout.typeText = (type ? type->name : u"") + u"(" + std::u16string(length.begin(), length.end()) + u")";
  layout.nullable = static_cast<std::uint8_t>(1 - (column.status & 1));
  if (!column.legacy) {
    layout.sparseFlag = static_cast<std::uint8_t>((column.status >> 24) & 1);
    layout.statusBit3 = static_cast<std::uint8_t>((column.status >> 3) & 1);
  } else {
    layout.leafOffset = column.legacyOffset;
    layout.legacyOffset = column.legacyLeafOffset;
  }
  layout.precision = column.precision;
  layout.scale = column.scale;
  layout.collationId = column.collationId;
  layout.identityText = column.identityText;
  if (layout.typeCode == kClrType && column.userTypeId == 129) layout.typeCode = kGeometry;
  if (layout.typeCode == kClrType && column.userTypeId == 128) layout.typeCode = kHierarchyId;
  layout.length = LayoutLength(layout.typeCode, layout.typeText);
  layout.variableFlag = LayoutVariableFlag(layout.typeCode);
  return layout;
}

void Resolver::BuildLayouts() {
  for (const ColumnSource& column : columns_)
    if (column.systemTypeId != 0) selected_.layouts.push_back(LayoutOf(column));
}

void Resolver::SortByColumnId() {
  std::vector<ColumnLayout>& layouts = selected_.layouts;
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    std::size_t smallest = i;
    for (std::size_t j = i + 1; j < layouts.size(); ++j)
      if (layouts[j].columnId < layouts[smallest].columnId) smallest = j;
    if (smallest != i) std::swap(layouts[i], layouts[smallest]);
  }
}

void Resolver::ApplyLayoutRows() {
  for (const CatalogRowsetColumn& row : selected_.rowsetColumns) {
    for (ColumnLayout& layout : selected_.layouts) {
      if (layout.columnId != row.rowsetColumnId) continue;
      layout.leafOffset = static_cast<std::int16_t>(row.leafOffset);
      layout.physicalColumnId = row.hobtColumnId;
      layout.nullBit = row.nullBit;
      layout.hasLayout = 1;
      break;
    }
  }
  if (selected_.rowsetColumns.empty() && selected_.object13Rows.empty())
    for (ColumnLayout& layout : selected_.layouts) layout.hasLayout = 1;
}

void Resolver::ApplyObject13Rows() {
  const std::size_t rows = selected_.object13Rows.size();
  usedObject13Rows_ = rows > 0;
  for (const Object13Row& row : selected_.object13Rows) {
    auto match = std::find_if(selected_.layouts.begin(), selected_.layouts.end(),
                              [&](const ColumnLayout& layout) { return layout.columnId == row.value8; });
    if (match != selected_.layouts.end()) {
      match->leafOffset = row.value27;
      match->nullBit = row.value33;
      match->physicalColumnId = row.trailing;
      match->hasLayout = 1;
      continue;
    }
    if (selected_.layouts.size() == rows) continue;
    ColumnLayout placeholder;
    placeholder.columnId = row.value8;
    placeholder.physicalColumnId = kNoStorage;
    placeholder.leafOffset = row.value27;
    placeholder.nullBit = row.value33;
    placeholder.valueText = DefaultOf(row.value8);
    selected_.layouts.push_back(std::move(placeholder));
  }
}

void Resolver::ApplyDefaults() {
  std::vector<ColumnLayout>& layouts = selected_.layouts;
  if (usedObject13Rows_) {
    for (ColumnLayout& layout : layouts) {
      auto partner = std::find_if(layouts.begin(), layouts.end(), [&](const ColumnLayout& other) {
        return other.columnId == layout.physicalColumnId;
      });
      if (partner != layouts.end()) {
        layout.leafOffset = partner->leafOffset;
        layout.nullBit = partner->nullBit;
      } else {
        layout.valueText = DefaultOf(layout.physicalColumnId);
      }
    }
    return;
  }
  // A column added after the rows were written has no storage in them: it
  // shows its default.
  for (ColumnLayout& layout : layouts) {
    if (layout.hasLayout) continue;
    layout.physicalColumnId = kNoStorage;
    layout.valueText = DefaultOf(layout.columnId);
  }
}

std::u16string Resolver::DefaultOf(std::int32_t columnId) const {
  const std::u16string table = Decimal(selected_.object.id);
  const std::u16string column = Decimal(columnId);
  std::u16string text;
  for (const ModuleTextEntry& entry : entries_)
    if (entry.objectId == table && entry.subId == column && !entry.value.empty())
      text += ModuleValueToText(DecodeModuleValue(entry.value)).text;
  return text;
}

void Resolver::ApplyKeys() {
  // Each layout's unique-index columns, in list order: one pass over the
  // index columns, each finding its layouts by column id.
  std::vector<ColumnLayout>& layouts = selected_.layouts;
  PositionIndex<std::int32_t> layoutsById;
  layoutsById.Update(layouts, [](const ColumnLayout& layout) { return layout.columnId; });
  std::vector<std::vector<std::uint32_t>> columnsOfLayout(layouts.size());
  for (std::size_t i = 0; i < selected_.uniqueIndexColumns.size(); ++i)
    for (std::uint32_t layoutAt : layoutsById.Find(selected_.uniqueIndexColumns[i].columnId))
      columnsOfLayout[layoutAt].push_back(static_cast<std::uint32_t>(i));
  for (std::size_t layoutAt = 0; layoutAt < layouts.size(); ++layoutAt) {
    ColumnLayout& layout = layouts[layoutAt];
    for (std::uint32_t at : columnsOfLayout[layoutAt]) {
      const CatalogIndexColumn& column = selected_.uniqueIndexColumns[at];
      if (column.indexStatus & 0x20) {
        layout.inPrimaryKey = 1;
        selected_.primaryKeyColumns.push_back(
            PrimaryKeyColumn{selected_.object.name, layout.name, u"", column.tinyProperty1});
      }
      if (column.indexStatus & 0x8) layout.indexFlag8 = 1;
      if (column.indexStatus & 0x40) {
        layout.inUniqueKey = 1;
        layout.uniqueKeyProperty = column.tinyProperty1;
      }
    }
  }
}

void Resolver::ApplyForeignKeys() {
  // The layouts by column id, each id's in list order.
  PositionIndex<std::int32_t> byColumn;
  byColumn.Update(selected_.layouts, [](const ColumnLayout& layout) { return layout.columnId; });
  for (std::uint32_t at : lookups_.ForeignKeysOfTable(selected_.object.id)) {
    const ForeignKeyColumn& key = catalog_.foreignKeyColumns[at];
    if (key.referencedColumnName.empty() || key.referencedTableName.empty()) continue;
    for (std::uint32_t layoutAt : byColumn.Find(key.parentColumnId)) {
      ColumnLayout& layout = selected_.layouts[layoutAt];
      layout.inForeignKey = 1;
      layout.referencedColumn = key.referencedColumnName;
      layout.referencedTable = key.referencedTableName;
    }
  }
}

}  // namespace

std::int32_t DataPageKeyOf(const PageMap& map, std::int64_t allocationUnitId) {
  const std::int32_t key = AllocationUnitPageKey(allocationUnitId);
  // Maps that key user units apart hold negative keys. Only maps without any
  // (written by a program that keyed every page by its object field) are
  // looked up under the plain field: otherwise a unit without pages of its own,
  // an empty table's, would take a system table's pages.
  const bool keysUserUnits = !map.empty() && map.begin()->first < 0;
  if (map.count(key) || keysUserUnits) return key;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(allocationUnitId) >> 16));
}

std::int16_t LayoutLength(std::uint32_t typeCode, const std::u16string& typeText) {
  switch (typeCode) {
    case kBinary: case kChar: case kNChar: case kNVarChar: case kSystemType232: case kNumeric: case kDecimal:
    case kText: case kClrType: case kXml: {
      std::size_t open = typeText.find(u'(');
      if (open == std::u16string::npos) return 0;
      std::int32_t value = 0;
      bool negative = false;
      std::size_t at = open + 1;
      if (at < typeText.size() && typeText[at] == u'-') {
        negative = true;
        ++at;
      }
      for (; at < typeText.size() && typeText[at] >= u'0' && typeText[at] <= u'9'; ++at)
        value = std::min(value * 10 + (typeText[at] - u'0'), 32767);
      return static_cast<std::int16_t>(negative ? -value : value);
    }
    default:
      return 0;
  }
}

std::uint8_t LayoutVariableFlag(std::uint32_t typeCode) {
  switch (typeCode) {
    case kNVarChar: case kUniqueIdentifier: case kVarBinary: case kVarChar: case kSystemType232: case kNText:
    case kSqlVariant: case kImage: case kText: case kHierarchyId: case kGeometry: case kClrType: case kXml:
      return 1;
    default:
      return typeCode > kXml ? 1 : 0;
  }
}

std::vector<ColumnLayout> ResolveTableSchema(DatabaseCatalog& catalog, const std::u16string& name,
                                             const std::string& type, const std::vector<ModuleTextEntry>& entries) {
  return Resolver(catalog, catalog.Lookups(), entries).Run(name, type);
}

std::vector<ColumnLayout> ResolveTableSchema(DatabaseCatalog& catalog, const CatalogLookups& lookups,
                                             const std::u16string& name, const std::string& type,
                                             const std::vector<ModuleTextEntry>& entries) {
  return Resolver(catalog, lookups, entries).Run(name, type);
}

}  // namespace quillmark
