// Writes whole small databases the way SQL Server lays them out: the file header,
// allocation pages and boot page, the system tables as data pages with their IAM
// pages, and the rows of user tables: ordinary, row- or page-compressed records,
// large values on text pages, sparse columns, forwarded, ghost and deleted
// records, and columns added or dropped after the rows were written.
//
// Two layouts: SQL Server 2005 and later (the system-table rows of format
// versions 706 to 782, that is 2012 and 2014; the version number written to the
// boot page is free) and SQL Server 2000 (version 539).
//
//   DatabaseSpec shop{.name = "Shop"};
//   TableSpec& customers = shop.AddTable("Customers",
//       {Int("CustomerId").Identity(), NVarChar("Name", 40).NotNull(), Bit("Active")},
//       {{1, "Ada", 1}, {2, "Brian", nullptr}});
//   customers.primaryKey = {"PK_Customers", {"CustomerId"}};
//   shop.AddView("ActiveCustomers", "CREATE VIEW ActiveCustomers AS SELECT ...");
//   TableSpec& notes = shop.AddTable("Notes",
//       {Int("Id").NotNull(), NVarChar("Body", -1).Stored(Storage::kDataFragments, 3000), Int("Extra").Sparse()},
//       {{1, std::string(9000, 'x'), 7}, {2, "short", nullptr}});
//   notes.ghostRows = {1};  // also unlistedRows, movedRows, and compression for tables without sparse columns
//   WrittenDatabase files = shop.Write(folder, "shop.mdf");
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "builder/FixtureBuilder.h"

namespace quillmark::testing {

// System type ids (sys.types.system_type_id).
namespace sqltype {
inline constexpr std::uint8_t kImage = 34;
inline constexpr std::uint8_t kText = 35;
inline constexpr std::uint8_t kUniqueIdentifier = 36;
inline constexpr std::uint8_t kDate = 40;
inline constexpr std::uint8_t kTime = 41;
inline constexpr std::uint8_t kDateTime2 = 42;
inline constexpr std::uint8_t kDateTimeOffset = 43;
inline constexpr std::uint8_t kTinyInt = 48;
inline constexpr std::uint8_t kSmallInt = 52;
inline constexpr std::uint8_t kInt = 56;
inline constexpr std::uint8_t kSmallDateTime = 58;
inline constexpr std::uint8_t kReal = 59;
inline constexpr std::uint8_t kMoney = 60;
inline constexpr std::uint8_t kDateTime = 61;
inline constexpr std::uint8_t kFloat = 62;
inline constexpr std::uint8_t kSqlVariant = 98;
inline constexpr std::uint8_t kNText = 99;
inline constexpr std::uint8_t kBit = 104;
inline constexpr std::uint8_t kDecimal = 106;
inline constexpr std::uint8_t kNumeric = 108;
inline constexpr std::uint8_t kSmallMoney = 122;
inline constexpr std::uint8_t kBigInt = 127;
inline constexpr std::uint8_t kVarBinary = 165;
inline constexpr std::uint8_t kVarChar = 167;
inline constexpr std::uint8_t kBinary = 173;
inline constexpr std::uint8_t kChar = 175;
inline constexpr std::uint8_t kTimestamp = 189;
inline constexpr std::uint8_t kNVarChar = 231;
inline constexpr std::uint8_t kNChar = 239;
inline constexpr std::uint8_t kClr = 240;  // hierarchyid, geometry, geography: told apart by their user type id
inline constexpr std::uint8_t kXml = 241;
}  // namespace sqltype

// User type ids of the CLR types (sys.types.user_type_id).
namespace clrtype {
inline constexpr std::int32_t kHierarchyId = 128;
inline constexpr std::int32_t kGeometry = 129;
inline constexpr std::int32_t kGeography = 130;
}  // namespace clrtype

// One cell of a row: NULL, an integer, a floating-point number, text (UTF-8) or
// bytes. Text also carries decimal, money, date and uniqueidentifier values
// ("12.50", "2024-03-15 10:30:00", "6F9619FF-8B86-D011-B42D-00C04FC964FF");
// bytes are written as they are (binary types, or any stored form given raw).
class Value {
 public:
  Value(std::nullptr_t = nullptr) {}
  Value(int value) : value_(std::int64_t{value}) {}
  Value(std::int64_t value) : value_(value) {}
  Value(double value) : value_(value) {}
  Value(const char* text) : value_(std::string(text)) {}
  Value(std::string text) : value_(std::move(text)) {}
  Value(Bytes bytes) : value_(std::move(bytes)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  const std::int64_t* Integer() const { return std::get_if<std::int64_t>(&value_); }
  const double* Real() const { return std::get_if<double>(&value_); }
  const std::string* Text() const { return std::get_if<std::string>(&value_); }
  const Bytes* Raw() const { return std::get_if<Bytes>(&value_); }

 private:
  std::variant<std::monostate, std::int64_t, double, std::string, Bytes> value_;
};
using Row = std::vector<Value>;

// Where a column's values live. text, ntext and image values always sit on
// text pages behind a 16-byte text pointer; the other variable-length types
// leave the row only when asked to, behind an in-row root (first byte 4) or a
// row-overflow pointer (first byte 2).
enum class Storage {
  kDefault,         // in the row; text, ntext and image: one small-root fragment
  kSmallRoot,       // one small-root fragment (at most 8000 bytes)
  kDataFragments,   // data fragments of fragmentLength bytes under a large root (text
                    // pointer) or linked from the in-row root itself
  kInternalNodes,   // the same data fragments grouped two by two under internal nodes
  kRowOverflow,     // one data fragment behind a row-overflow pointer
};

// A damaged tree of internal nodes: the first node's last link leads back to
// the node itself, or to the second node, whose last link leads to the first.
enum class LinkDamage { kNone, kSelfLink, kTwoNodeCycle };

// What happened to a column after the table's rows were written.
enum class ColumnHistory {
  kOriginal,
  kAdded,           // no row stores it; its rowset-column row places it after the stored columns
  kAddedUnplaced,   // no row stores it and it has no rowset-column row either
  kDropped,         // the rows keep its bytes; it has no column row any more
};

struct ColumnSpec {
  std::string name;
  std::uint8_t type = sqltype::kInt;
  std::int16_t maxLength = 0;  // bytes; 0: the type's own length; -1: (max)
  std::uint8_t precision = 0;  // 0: the type's own
  std::uint8_t scale = 0;
  bool nullable = true;
  bool identity = false;
  std::int64_t identitySeed = 1;
  std::int64_t identityIncrement = 1;
  // A default constraint, as SQL Server stores it: "(getdate())", "((0))".
  std::string defaultDefinition;
  std::int32_t userType = 0;  // 0: the system type itself; CLR columns: a clrtype id
  bool sparse = false;
  Storage storage = Storage::kDefault;
  std::int32_t fragmentLength = 8000;  // bytes of data per data fragment
  LinkDamage damage = LinkDamage::kNone;  // with Storage::kInternalNodes
  ColumnHistory history = ColumnHistory::kOriginal;

  ColumnSpec& NotNull();
  ColumnSpec& Identity(std::int64_t seed = 1, std::int64_t increment = 1);  // also NOT NULL
  ColumnSpec& Default(std::string definition);
  ColumnSpec& Sparse();
  ColumnSpec& Stored(Storage where, std::int32_t fragmentBytes = 8000);
  ColumnSpec& Damaged(LinkDamage how);
  ColumnSpec& Added(ColumnHistory how = ColumnHistory::kAdded);
  ColumnSpec& Dropped();
};

ColumnSpec Column(std::string name, std::uint8_t type, std::int16_t maxLength = 0, std::uint8_t precision = 0,
                  std::uint8_t scale = 0);
ColumnSpec TinyInt(std::string name);
ColumnSpec SmallInt(std::string name);
ColumnSpec Int(std::string name);
ColumnSpec BigInt(std::string name);
ColumnSpec Bit(std::string name);
ColumnSpec Real(std::string name);
ColumnSpec Float(std::string name);
ColumnSpec Money(std::string name);
ColumnSpec SmallMoney(std::string name);
ColumnSpec Decimal(std::string name, std::uint8_t precision, std::uint8_t scale);
ColumnSpec Numeric(std::string name, std::uint8_t precision, std::uint8_t scale);
ColumnSpec DateTime(std::string name);
ColumnSpec SmallDateTime(std::string name);
ColumnSpec Date(std::string name);
ColumnSpec Time(std::string name, std::uint8_t scale = 7);
ColumnSpec DateTime2(std::string name, std::uint8_t scale = 7);
ColumnSpec DateTimeOffset(std::string name, std::uint8_t scale = 7);  // values "2010-05-01 14:30:00 +05:30"
ColumnSpec UniqueIdentifier(std::string name);
ColumnSpec Char(std::string name, std::int16_t length);
ColumnSpec VarChar(std::string name, std::int16_t length);   // -1: varchar(max)
ColumnSpec NChar(std::string name, std::int16_t characters);
ColumnSpec NVarChar(std::string name, std::int16_t characters);  // -1: nvarchar(max)
ColumnSpec Binary(std::string name, std::int16_t length);
ColumnSpec VarBinary(std::string name, std::int16_t length);  // -1: varbinary(max)
ColumnSpec Text(std::string name);
ColumnSpec NText(std::string name);
ColumnSpec Image(std::string name);
ColumnSpec Timestamp(std::string name);  // values: an integer (the row version) or 8 bytes
ColumnSpec SqlVariant(std::string name);  // values: Variant(...), or an integer (an int variant)
ColumnSpec Xml(std::string name);         // values: the binary XML bytes
ColumnSpec Clr(std::string name, std::int32_t userType);  // values: bytes

// A sql_variant value: the stored form of `value` as a column of type `base`,
// behind the variant header (base type, version 1, the base type's own header).
Value Variant(const ColumnSpec& base, const Value& value);

struct KeySpec {
  std::string name;
  std::vector<std::string> columns;
};

struct ForeignKeySpec {
  std::string name;
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
};

struct CheckSpec {
  std::string name;
  std::string definition;  // "([Quantity]>(0))"
  std::string column;      // a column-level check; empty: a table-level one
};

enum class Compression { kNone, kRowLevel, kPageLevel };

// A heap row that grew and was moved: its slot holds a forwarding stub, the
// row itself a forwarded record on a later page; through a second stub when
// `stubToStub` is set.
struct MovedRow {
  std::size_t row = 0;
  bool stubToStub = false;
};

struct TableSpec {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<Row> rows;  // values in column order; give a clustered table's rows in key order
  KeySpec primaryKey;     // clustered; no columns: the table is a heap
  // Row compression writes every record in the column-descriptor format; page
  // compression adds to each page an anchor record and a dictionary.
  Compression compression = Compression::kNone;
  std::vector<std::size_t> ghostRows;     // deleted rows left on their page as ghost records
  std::vector<std::size_t> unlistedRows;  // deleted rows whose slot is gone, their bytes still on the page
  std::vector<MovedRow> movedRows;        // heaps only
  std::vector<KeySpec> uniqueKeys;  // nonclustered
  std::vector<ForeignKeySpec> foreignKeys;
  std::vector<CheckSpec> checks;
  std::uint16_t fileId = 1;  // the file that holds the table's pages (a secondary file's id)
  // Dropped: its catalog rows stay on the pages as ghost records, its pages keep
  // their rows but have no IAM page.
  bool dropped = false;
};

enum class ModuleType { kView, kProcedure, kScalarFunction, kInlineFunction, kTableFunction, kTrigger };

struct ModuleSpec {
  ModuleType type = ModuleType::kProcedure;
  std::string name;
  std::string definition;  // the CREATE statement
  std::string parentTable;  // triggers
  std::vector<ColumnSpec> columns;  // a view's result columns
};

struct SecondaryFileSpec {
  std::uint16_t fileId = 3;  // 2 is the log file
  std::string fileName;      // written beside the primary file; empty: <stem>_<id>.ndf
  std::string logicalName;   // empty: <database>_<id>
  std::string recordedPath;  // the file table's physical name; empty: C:\QuillmarkData\<fileName>
};

enum class Layout { kSql2005Plus, kSql2000 };

struct WrittenDatabase {
  std::filesystem::path primary;
  std::vector<std::filesystem::path> secondaries;
  std::map<std::string, std::int32_t> objectIds;  // every object by name
};

struct DatabaseSpec {
  Layout layout = Layout::kSql2005Plus;
  std::uint16_t version = 0;  // 0: 782 (2014), or 539 for the 2000 layout
  std::string name = "Quillmark";
  std::int32_t collation = 872468488;  // SQL_Latin1_General_CP1_CI_AS
  std::vector<TableSpec> tables;
  std::vector<ModuleSpec> modules;
  std::vector<SecondaryFileSpec> secondaryFiles;
  bool fileTableRows = true;  // false: the file table holds no rows at all
  bool tornPageBits = false;  // every page carries torn-page bits (flag 0x100)

  TableSpec& AddTable(std::string tableName, std::vector<ColumnSpec> columns, std::vector<Row> rows);
  DatabaseSpec& AddView(std::string viewName, std::string definition, std::vector<ColumnSpec> columns = {});
  DatabaseSpec& AddProcedure(std::string procedureName, std::string definition);
  DatabaseSpec& AddFunction(std::string functionName, std::string definition,
                            ModuleType type = ModuleType::kScalarFunction);
  DatabaseSpec& AddTrigger(std::string triggerName, std::string table, std::string definition);

  std::uint16_t FormatVersion() const;
  // Writes <folder>/<primaryName> and the secondary files beside it.
  WrittenDatabase Write(const std::filesystem::path& folder, const std::string& primaryName) const;
};

// The demo shop: Customers, Products, Orders and OrderLines with keys,
// constraints, a view, a procedure, a function and a trigger.
DatabaseSpec DemoShop(Layout layout = Layout::kSql2005Plus);

}  // namespace quillmark::testing
