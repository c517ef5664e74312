#include "builder/DatabaseBuilder.h"

#include <set>
#include <stdexcept>

#include "builder/DatabaseImage.h"
#include "builder/DatabasePlan.h"

namespace quillmark::testing {
namespace {

// The database description with every default filled in: the version and the
// secondary files' names.
DatabaseSpec WithDefaults(const DatabaseSpec& given, const std::string& primaryName) {
  DatabaseSpec spec = given;
  spec.version = given.FormatVersion();
  const std::string stem = std::filesystem::path(primaryName).stem().string();
  std::set<std::uint16_t> fileIds{1};
  for (SecondaryFileSpec& file : spec.secondaryFiles) {
    const std::string id = std::to_string(file.fileId);
    if (file.fileId < 3 || !fileIds.insert(file.fileId).second)
      throw std::invalid_argument("secondary file ids start at 3 (2 is the log) and are unique");
    if (file.fileName.empty()) file.fileName = stem + "_" + id + ".ndf";
    if (file.logicalName.empty()) file.logicalName = spec.name + "_" + id;
    if (file.recordedPath.empty()) file.recordedPath = RecordedPath(file.fileName);
  }
  for (const TableSpec& table : spec.tables)
    if (!fileIds.count(table.fileId)) throw std::invalid_argument("table " + table.name + " names an unknown file");
  return spec;
}

std::vector<UnitImage> AllUnits(const DatabasePlan& plan, const Placements& placements) {
  std::vector<UnitImage> units = plan.layout == Layout::kSql2000 ? SystemUnits2000(plan, placements)
                                                                 : SystemUnits2005(plan, placements);
  for (UnitImage& unit : UserTableUnits(plan, placements)) units.push_back(std::move(unit));
  return units;
}

void WritePages(const std::filesystem::path& path, const std::vector<Bytes>& pages) {
  Bytes all;
  for (const Bytes& page : pages) all.insert(all.end(), page.begin(), page.end());
  WriteFile(path, all);
}

ColumnSpec Sized(std::string name, std::uint8_t type, std::int16_t length) {
  return Column(std::move(name), type, length);
}

}  // namespace

ColumnSpec& ColumnSpec::NotNull() {
  nullable = false;
  return *this;
}

ColumnSpec& ColumnSpec::Identity(std::int64_t seed, std::int64_t increment) {
  identity = true;
  identitySeed = seed;
  identityIncrement = increment;
  return NotNull();
}

ColumnSpec& ColumnSpec::Default(std::string definition) {
  defaultDefinition = std::move(definition);
  return *this;
}

ColumnSpec& ColumnSpec::Sparse() {
  sparse = true;
  return *this;
}

ColumnSpec& ColumnSpec::Stored(Storage where, std::int32_t fragmentBytes) {
  storage = where;
  fragmentLength = fragmentBytes;
  return *this;
}

ColumnSpec& ColumnSpec::Damaged(LinkDamage how) {
  damage = how;
  return *this;
}

ColumnSpec& ColumnSpec::Added(ColumnHistory how) {
  history = how;
  return *this;
}

ColumnSpec& ColumnSpec::Dropped() {
  history = ColumnHistory::kDropped;
  return *this;
}

ColumnSpec Column(std::string name, std::uint8_t type, std::int16_t maxLength, std::uint8_t precision,
                  std::uint8_t scale) {
  ColumnSpec column;
  column.name = std::move(name);
  column.type = type;
  column.maxLength = maxLength;
  column.precision = precision;
  column.scale = scale;
  return column;
}

ColumnSpec TinyInt(std::string name) { return Column(std::move(name), sqltype::kTinyInt); }
ColumnSpec SmallInt(std::string name) { return Column(std::move(name), sqltype::kSmallInt); }
ColumnSpec Int(std::string name) { return Column(std::move(name), sqltype::kInt); }
ColumnSpec BigInt(std::string name) { return Column(std::move(name), sqltype::kBigInt); }
ColumnSpec Bit(std::string name) { return Column(std::move(name), sqltype::kBit); }
ColumnSpec Real(std::string name) { return Column(std::move(name), sqltype::kReal); }
ColumnSpec Float(std::string name) { return Column(std::move(name), sqltype::kFloat); }
ColumnSpec Money(std::string name) { return Column(std::move(name), sqltype::kMoney); }
ColumnSpec SmallMoney(std::string name) { return Column(std::move(name), sqltype::kSmallMoney); }
ColumnSpec Decimal(std::string name, std::uint8_t precision, std::uint8_t scale) {
  return Column(std::move(name), sqltype::kDecimal, 0, precision, scale);
}
ColumnSpec Numeric(std::string name, std::uint8_t precision, std::uint8_t scale) {
  return Column(std::move(name), sqltype::kNumeric, 0, precision, scale);
}
ColumnSpec DateTime(std::string name) { return Column(std::move(name), sqltype::kDateTime); }
ColumnSpec SmallDateTime(std::string name) { return Column(std::move(name), sqltype::kSmallDateTime); }
ColumnSpec Date(std::string name) { return Column(std::move(name), sqltype::kDate); }
ColumnSpec Time(std::string name, std::uint8_t scale) { return Column(std::move(name), sqltype::kTime, 0, 0, scale); }
ColumnSpec DateTime2(std::string name, std::uint8_t scale) {
  return Column(std::move(name), sqltype::kDateTime2, 0, 0, scale);
}
ColumnSpec DateTimeOffset(std::string name, std::uint8_t scale) {
  return Column(std::move(name), sqltype::kDateTimeOffset, 0, 0, scale);
}
ColumnSpec UniqueIdentifier(std::string name) { return Column(std::move(name), sqltype::kUniqueIdentifier); }
ColumnSpec Char(std::string name, std::int16_t length) { return Sized(std::move(name), sqltype::kChar, length); }
ColumnSpec VarChar(std::string name, std::int16_t length) { return Sized(std::move(name), sqltype::kVarChar, length); }
ColumnSpec NChar(std::string name, std::int16_t characters) {
  return Sized(std::move(name), sqltype::kNChar, static_cast<std::int16_t>(2 * characters));
}
ColumnSpec NVarChar(std::string name, std::int16_t characters) {
  return Sized(std::move(name), sqltype::kNVarChar, characters < 0 ? std::int16_t{-1} : static_cast<std::int16_t>(2 * characters));
}
ColumnSpec Binary(std::string name, std::int16_t length) { return Sized(std::move(name), sqltype::kBinary, length); }
ColumnSpec VarBinary(std::string name, std::int16_t length) {
  return Sized(std::move(name), sqltype::kVarBinary, length);
}
ColumnSpec Text(std::string name) { return Column(std::move(name), sqltype::kText); }
ColumnSpec NText(std::string name) { return Column(std::move(name), sqltype::kNText); }
ColumnSpec Image(std::string name) { return Column(std::move(name), sqltype::kImage); }
ColumnSpec Timestamp(std::string name) { return Column(std::move(name), sqltype::kTimestamp); }
ColumnSpec SqlVariant(std::string name) { return Column(std::move(name), sqltype::kSqlVariant); }
ColumnSpec Xml(std::string name) { return Column(std::move(name), sqltype::kXml, -1); }
ColumnSpec Clr(std::string name, std::int32_t userType) {
  ColumnSpec column = Column(std::move(name), sqltype::kClr);
  column.userType = userType;
  return column;
}

TableSpec& DatabaseSpec::AddTable(std::string tableName, std::vector<ColumnSpec> columns, std::vector<Row> rows) {
  TableSpec table;
  table.name = std::move(tableName);
  table.columns = std::move(columns);
  table.rows = std::move(rows);
  tables.push_back(std::move(table));
  return tables.back();
}

DatabaseSpec& DatabaseSpec::AddView(std::string viewName, std::string definition, std::vector<ColumnSpec> columns) {
  modules.push_back(ModuleSpec{ModuleType::kView, std::move(viewName), std::move(definition), "", std::move(columns)});
  return *this;
}

DatabaseSpec& DatabaseSpec::AddProcedure(std::string procedureName, std::string definition) {
  modules.push_back(ModuleSpec{ModuleType::kProcedure, std::move(procedureName), std::move(definition), "", {}});
  return *this;
}

DatabaseSpec& DatabaseSpec::AddFunction(std::string functionName, std::string definition, ModuleType type) {
  modules.push_back(ModuleSpec{type, std::move(functionName), std::move(definition), "", {}});
  return *this;
}

DatabaseSpec& DatabaseSpec::AddTrigger(std::string triggerName, std::string table, std::string definition) {
  modules.push_back(
      ModuleSpec{ModuleType::kTrigger, std::move(triggerName), std::move(definition), std::move(table), {}});
  return *this;
}

std::uint16_t DatabaseSpec::FormatVersion() const {
  if (version != 0) return version;
  return layout == Layout::kSql2000 ? 539 : 782;
}

WrittenDatabase DatabaseSpec::Write(const std::filesystem::path& folder, const std::string& primaryName) const {
  const DatabaseSpec spec = WithDefaults(*this, primaryName);
  const DatabasePlan plan = PlanDatabase(spec, primaryName);
  // Placed once to learn the pages each unit takes, then built again with
  // those addresses (the catalog rows and text pointers name pages).
  const std::vector<UnitImage> units = AllUnits(plan, PlaceUnits(AllUnits(plan, Placements{})));
  const Placements placements = PlaceUnits(units);

  ImageOptions options;
  options.version = options.createVersion = spec.version;
  options.databaseName = spec.name;
  options.collation = spec.collation;
  options.sql2000 = spec.layout == Layout::kSql2000;
  options.tornPageBits = spec.tornPageBits;
  for (const SecondaryFileSpec& file : spec.secondaryFiles) options.fileIds.push_back(file.fileId);
  const auto files = BuildFiles(units, placements, options);

  WrittenDatabase written;
  written.primary = folder / primaryName;
  written.objectIds = plan.objectIds;
  WritePages(written.primary, files.at(1));
  for (const SecondaryFileSpec& file : spec.secondaryFiles) {
    written.secondaries.push_back(folder / file.fileName);
    WritePages(written.secondaries.back(), files.at(file.fileId));
  }
  return written;
}

}  // namespace quillmark::testing
