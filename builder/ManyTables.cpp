#include "builder/ManyTables.h"

#include <fmt/format.h>

namespace quillmark::testing {
namespace {

constexpr std::size_t kRowsPerTable = 3;
constexpr std::size_t kModulesEvery = 100;

std::vector<ColumnSpec> TableColumns(std::size_t index) {
  ColumnSpec created = DateTime("CreatedAt");
  ColumnSpec quantity = Int("Quantity").NotNull();
  // Every third table: a default on CreatedAt; every fifth: a check on Quantity
  // (added by the caller).
  if (index % 3 == 0) created.Default("(getdate())");
  return {Int("Id").NotNull(),       Int("PreviousId"),         VarChar("Code", 20).NotNull(),
          NVarChar("Name", 40),      Money("Amount"),           quantity,
          created,                   Bit("Active").NotNull(),   Float("Ratio"),
          NVarChar("Note", 100)};
}

std::vector<Row> TableRows(std::size_t index) {
  std::vector<Row> rows;
  for (std::size_t r = 1; r <= kRowsPerTable; ++r) {
    const int id = static_cast<int>(r);
    rows.push_back({id, index == 0 ? Value(nullptr) : Value(id), fmt::format("C{}-{}", index + 1, r),
                    fmt::format("Row {} of table {}", r, index + 1), fmt::format("{}.25", r * 10),
                    static_cast<int>(r * 3), "2024-01-02 03:04:05", static_cast<int>(r % 2), 0.5 * static_cast<double>(r),
                    r == 2 ? Value(nullptr) : Value(fmt::format("note {}", r))});
  }
  return rows;
}

}  // namespace

std::string ManyTablesName(std::size_t index) { return fmt::format("T{:06}", index + 1); }

DatabaseSpec ManyTables(std::size_t tableCount, Layout layout) {
  DatabaseSpec spec;
  spec.layout = layout;
  spec.name = "ManyTables";
  spec.tables.reserve(tableCount);
  for (std::size_t i = 0; i < tableCount; ++i) {
    const std::string name = ManyTablesName(i);
    TableSpec& table = spec.AddTable(name, TableColumns(i), TableRows(i));
    table.primaryKey = {"PK_" + name, {"Id"}};
    if (i > 0) {
      const std::string previous = ManyTablesName(i - 1);
      table.foreignKeys = {{"FK_" + name + "_" + previous, {"PreviousId"}, previous, {"Id"}}};
    }
    if (i % 5 == 0) table.checks = {{"CK_" + name + "_Quantity", "([Quantity]>=(0))", "Quantity"}};
    if ((i + 1) % kModulesEvery == 0) {
      spec.AddView("V_" + name, fmt::format("CREATE VIEW dbo.V_{0}\r\nAS\r\nSELECT Id, Name, Amount FROM dbo.{0}\r\n", name),
                   {Int("Id").NotNull(), NVarChar("Name", 40), Money("Amount")});
      spec.AddProcedure("P_" + name, fmt::format("CREATE PROCEDURE dbo.P_{0} @Id int\r\nAS\r\nSET NOCOUNT ON;\r\n"
                                                 "SELECT * FROM dbo.{0} WHERE Id = @Id;\r\n",
                                                 name));
    }
  }
  return spec;
}

}  // namespace quillmark::testing
