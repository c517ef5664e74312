#include "builder/DatabasePlan.h"

#include <algorithm>
#include <stdexcept>

#include "builder/LargeValues.h"
#include "builder/StoredValues.h"

namespace quillmark::testing {
namespace {

// Object ids spread over the positive range the way SQL Server's look.
class ObjectIdSequence {
 public:
  std::int32_t Next() { return static_cast<std::int32_t>(100 + (245575813 + 16000057 * count_++) % 2147000000); }

 private:
  std::int64_t count_ = 0;
};

// A user allocation unit or rowset id: 256 in bits 48-63 (the header index id
// of its pages) and a counter in bits 16-47 (the header object id).
std::int64_t UserUnitId(std::int32_t counter) { return (std::int64_t{256} << 48) | (std::int64_t{counter} << 16); }

struct Counters {
  ObjectIdSequence objects;
  std::int32_t unit = 30;  // so that the demo's Orders pages carry object id 34, as sysschobjs' pages do
  std::int32_t rowset = 0x200;
  std::uint64_t blob = 2001;
};

std::int32_t Register(DatabasePlan& plan, Counters& counters, const std::string& name) {
  const std::int32_t id = counters.objects.Next();
  if (!plan.objectIds.emplace(name, id).second) throw std::invalid_argument("two objects named " + name);
  return id;
}

std::vector<PlannedColumn> PlanColumns(const std::vector<ColumnSpec>& specs) {
  std::vector<PlannedColumn> columns;
  for (const ColumnSpec& spec : specs) {
    PlannedColumn column;
    column.spec = &spec;
    column.type = TypeOf(spec);
    column.columnId = static_cast<std::int32_t>(columns.size() + 1);
    columns.push_back(column);
  }
  return columns;
}

// Where a column goes among the physical ones: the stored columns first, then
// those added after the rows, the sparse ones last.
int PhysicalGroup(const ColumnSpec& column) {
  if (column.sparse) return 2;
  return column.history == ColumnHistory::kAdded ? 1 : 0;
}

// The record order: in 2005 and later the clustered key's columns come first,
// in key order; SQL Server 2000 keeps the declared order.
void PlaceColumns(PlannedTable& table, Layout layout) {
  const std::vector<std::string>& key = table.spec->primaryKey.columns;
  for (PlannedColumn& column : table.columns) {
    const auto found = std::find(key.begin(), key.end(), column.spec->name);
    if (found != key.end()) column.keyOrdinal = static_cast<std::int32_t>(found - key.begin() + 1);
  }
  for (const std::string& name : key) table.ColumnNamed(name);  // every key column exists
  std::vector<PlannedColumn*> order;
  for (PlannedColumn& column : table.columns)
    if (column.spec->history != ColumnHistory::kAddedUnplaced) order.push_back(&column);
  const bool keyFirst = layout == Layout::kSql2005Plus;
  std::stable_sort(order.begin(), order.end(), [keyFirst](const PlannedColumn* a, const PlannedColumn* b) {
    const auto rank = [keyFirst](const PlannedColumn* c) {
      return std::pair(PhysicalGroup(*c->spec), keyFirst && c->keyOrdinal != 0 ? c->keyOrdinal : 1 << 20);
    };
    return rank(a) < rank(b);
  });
  std::vector<ColumnType> types;
  for (const PlannedColumn* column : order) {
    if (column->spec->sparse) ++table.sparseColumns;
    else types.push_back(column->type);
    if (PhysicalGroup(*column->spec) == 0) ++table.storedColumns;
  }
  table.layout = PackColumns(types);
  std::int32_t variable = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i]->physical = static_cast<std::int32_t>(i);
    // Sparse columns all live in the sparse vector, the value after the stored columns' own.
    const bool sparse = order[i]->spec->sparse;
    order[i]->place = sparse ? LayoutColumn{order[i]->type, -1, 0} : table.layout.columns[i];
    if (order[i]->place.offset < 0) order[i]->variableIndex = sparse ? variable : variable++;
  }
}

// What the builder can write for a table in the layout asked for.
void CheckTable(const TableSpec& spec, Layout layout) {
  const auto fail = [&](const std::string& why) { throw std::invalid_argument("table " + spec.name + ": " + why); };
  bool sparse = false, added = false, changed = false, clr = false;
  for (const ColumnSpec& column : spec.columns) {
    sparse = sparse || column.sparse;
    added = added || column.history == ColumnHistory::kAdded || column.history == ColumnHistory::kAddedUnplaced;
    changed = changed || column.history != ColumnHistory::kOriginal;
    clr = clr || column.type == sqltype::kClr;
  }
  if (layout == Layout::kSql2000 && (sparse || changed || clr || spec.compression != Compression::kNone))
    fail("sparse, CLR, added or dropped columns and compression came after SQL Server 2000");
  if (sparse && (added || spec.compression != Compression::kNone)) fail("sparse columns with added columns or compression");
  if (!spec.movedRows.empty() && (!spec.primaryKey.columns.empty() || spec.compression != Compression::kNone))
    fail("only rows of uncompressed heaps are moved");
  for (std::size_t k = 0; k < spec.columns.size(); ++k) {
    if (spec.columns[k].history != ColumnHistory::kAdded && spec.columns[k].history != ColumnHistory::kAddedUnplaced)
      continue;
    for (const Row& row : spec.rows)
      if (k < row.size() && !row[k].IsNull()) fail("rows were written before column " + spec.columns[k].name);
  }
}

PlannedIndex PlanIndex(const PlannedTable& table, const KeySpec* key, std::int32_t objectId, std::int32_t indexId) {
  PlannedIndex index;
  index.key = key;
  index.objectId = objectId;
  index.indexId = indexId;
  if (key)
    for (const std::string& name : key->columns) index.columnIds.push_back(table.ColumnNamed(name).columnId);
  return index;
}

void PlanConstraints(DatabasePlan& plan, Counters& counters, PlannedTable& table) {
  const TableSpec& spec = *table.spec;
  const bool clustered = !spec.primaryKey.columns.empty();
  table.indexes.push_back(
      PlanIndex(table, clustered ? &spec.primaryKey : nullptr,
                clustered ? Register(plan, counters, spec.primaryKey.name) : 0, clustered ? 1 : 0));
  for (const KeySpec& unique : spec.uniqueKeys)
    table.indexes.push_back(PlanIndex(table, &unique, Register(plan, counters, unique.name),
                                      static_cast<std::int32_t>(table.indexes.size() + 1)));
  for (const ForeignKeySpec& foreignKey : spec.foreignKeys)
    table.foreignKeyIds.push_back(Register(plan, counters, foreignKey.name));
  for (const CheckSpec& check : spec.checks) table.checkIds.push_back(Register(plan, counters, check.name));
  for (PlannedColumn& column : table.columns)
    if (!column.spec->defaultDefinition.empty() && column.spec->history != ColumnHistory::kDropped)
      column.defaultId = Register(plan, counters, "DF_" + spec.name + "_" + column.spec->name);
}

void PlanUnits(PlannedTable& table, Layout layout, Counters& counters) {
  // Every fragment has a blob id of its own: one range per table.
  table.firstBlobId = counters.blob;
  counters.blob += std::uint64_t{1} << 24;
  if (layout == Layout::kSql2000) {
    table.dataUnit = std::int64_t{table.id} << 8 | table.indexes.front().indexId;
    table.textUnit = std::int64_t{table.id} << 8 | 255;
    table.dataHeaderObject = table.textHeaderObject = table.id;
    return;
  }
  table.dataHeaderObject = counters.unit;
  table.dataUnit = UserUnitId(counters.unit++);
  if (table.HasText()) {
    table.textHeaderObject = counters.unit;
    table.textUnit = UserUnitId(counters.unit++);
  }
  for (PlannedIndex& index : table.indexes) {
    index.rowsetId = UserUnitId(counters.rowset++);
    index.unitId = index.indexId <= 1 ? table.dataUnit : UserUnitId(counters.unit++);
  }
}

PlannedTable PlanTable(DatabasePlan& plan, Counters& counters, const TableSpec& spec) {
  PlannedTable table;
  table.spec = &spec;
  table.id = Register(plan, counters, spec.name);
  table.columns = PlanColumns(spec.columns);
  for (const Row& row : spec.rows)
    if (row.size() > table.columns.size()) throw std::invalid_argument("a row of " + spec.name + " has too many values");
  CheckTable(spec, plan.layout);
  PlaceColumns(table, plan.layout);
  PlanConstraints(plan, counters, table);
  PlanUnits(table, plan.layout, counters);
  return table;
}

PlannedModule PlanModule(DatabasePlan& plan, Counters& counters, const ModuleSpec& spec) {
  PlannedModule module;
  module.spec = &spec;
  module.id = Register(plan, counters, spec.name);
  if (spec.type == ModuleType::kTrigger) module.parentId = plan.TableNamed(spec.parentTable).id;
  module.columns = PlanColumns(spec.columns);
  return module;
}

}  // namespace

bool PlannedTable::HasText() const {
  return std::any_of(columns.begin(), columns.end(), [](const PlannedColumn& c) { return StoredOffRow(*c.spec); });
}

const PlannedColumn& PlannedTable::ColumnNamed(const std::string& name) const {
  const auto found = std::find_if(columns.begin(), columns.end(),
                                  [&](const PlannedColumn& column) { return column.spec->name == name; });
  if (found == columns.end()) throw std::invalid_argument("table " + spec->name + " has no column " + name);
  return *found;
}

std::vector<const PlannedColumn*> PlannedTable::PhysicalOrder() const {
  std::vector<const PlannedColumn*> order;
  for (const PlannedColumn& column : columns)
    if (column.physical >= 0) order.push_back(&column);
  std::sort(order.begin(), order.end(), [](const auto* a, const auto* b) { return a->physical < b->physical; });
  return order;
}

const PlannedTable& DatabasePlan::TableNamed(const std::string& name) const {
  const auto found = tableIndexes.find(name);
  if (found == tableIndexes.end()) throw std::invalid_argument("no table " + name);
  return tables[found->second];
}

DatabasePlan PlanDatabase(const DatabaseSpec& spec, const std::string& primaryName) {
  DatabasePlan plan;
  plan.spec = &spec;
  plan.layout = spec.layout;
  plan.primaryName = primaryName;
  Counters counters;
  for (const TableSpec& table : spec.tables) {
    plan.tables.push_back(PlanTable(plan, counters, table));
    plan.tableIndexes.emplace(table.name, plan.tables.size() - 1);
  }
  for (const ModuleSpec& module : spec.modules) plan.modules.push_back(PlanModule(plan, counters, module));
  return plan;
}

const UnitPlacement& PlacementOf(const Placements& placements, std::int64_t key) {
  static const UnitPlacement none;
  const auto found = placements.find(key);
  return found == placements.end() ? none : found->second;
}

Bytes PagePointer(PageId page) {
  Bytes bytes(6, 0);
  PutPagePointer(bytes, 0, page.pageNumber, page.fileId);
  return bytes;
}

Bytes IdentityValue(const PlannedTable& table, const PlannedColumn& column, std::uint8_t flags) {
  const ColumnSpec& spec = *column.spec;
  std::int64_t last = spec.identitySeed;
  for (const Row& row : table.spec->rows) {
    const auto index = static_cast<std::size_t>(column.columnId - 1);
    const std::int64_t* value = index < row.size() ? row[index].Integer() : nullptr;
    if (value && (spec.identityIncrement > 0 ? *value > last : *value < last)) last = *value;
  }
  const auto width = static_cast<std::size_t>(FixedWidth(column.type));
  Bytes bytes;
  for (std::int64_t part : {last, spec.identitySeed, spec.identityIncrement})
    for (std::size_t i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(part) >> (8 * i)));
  bytes.push_back(flags);
  return bytes;
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

Bytes DefinitionBytes(const std::string& definition) {
  return IsAscii(definition) ? EightBitText(definition) : Utf16Text(definition);
}

std::string RecordedPath(const std::string& fileName) { return "C:\\QuillmarkData\\" + fileName; }

bool IsPadded(std::uint8_t typeId) {
  return typeId == sqltype::kChar || typeId == sqltype::kVarChar || typeId == sqltype::kNChar ||
         typeId == sqltype::kNVarChar || typeId == sqltype::kBinary || typeId == sqltype::kVarBinary;
}

std::int16_t MinRecordLength(const RecordLayout& layout) {
  return static_cast<std::int16_t>(4 + layout.fixedLength + 2 + (layout.columns.size() + 7) / 8);
}

std::int32_t MaxRecordLength(const RecordLayout& layout) {
  std::int32_t length = MinRecordLength(layout);
  for (const LayoutColumn& column : layout.columns)
    if (column.offset < 0) length += 2 + (column.type.maxLength < 0 || IsLargeObject(column.type.id) ? 24 : column.type.maxLength);
  return std::min(length, 8060);
}

const char* ModuleTypeCode(ModuleType type) {
  switch (type) {
    case ModuleType::kView:
      return "V ";
    case ModuleType::kProcedure:
      return "P ";
    case ModuleType::kScalarFunction:
      return "FN";
    case ModuleType::kInlineFunction:
      return "IF";
    case ModuleType::kTableFunction:
      return "TF";
    case ModuleType::kTrigger:
      return "TR";
  }
  return "P ";
}

std::int32_t ReferencedIndexId(const PlannedTable& table, const std::vector<std::string>& columns) {
  std::vector<std::int32_t> ids;
  for (const std::string& name : columns) ids.push_back(table.ColumnNamed(name).columnId);
  for (const PlannedIndex& index : table.indexes)
    if (index.key && index.columnIds == ids) return index.indexId;
  return 1;
}

}  // namespace quillmark::testing
