#include "builder/BenchmarkDatabase.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::testing {
namespace {

std::string DateText(std::int64_t i) {
  char created[32];
  std::snprintf(created, sizeof created, "20%02d-%02d-%02d %02d:%02d:%02d", static_cast<int>(i % 25),
                static_cast<int>(i % 12 + 1), static_cast<int>(i % 28 + 1), static_cast<int>(i % 24),
                static_cast<int>(i % 60), static_cast<int>(i / 60 % 60));
  return created;
}

std::string AmountText(std::int64_t i) {
  char amount[32];
  std::snprintf(amount, sizeof amount, "%lld.%02lld", static_cast<long long>(i % 99'999'999),
                static_cast<long long>(i % 100));
  return amount;
}

}  // namespace

void AddNarrowTable(DatabaseSpec& spec, std::int64_t count) {
  std::vector<Row> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i)
    rows.push_back({i + 1, "customer " + std::to_string(i * 7919 % 1'000'003), DateText(i), AmountText(i),
                    i % 3 == 0 ? Value() : Value(i)});
  TableSpec& table = spec.AddTable("Narrow",
                                   {Int("Id").NotNull(), VarChar("Name", 30), DateTime("Created"),
                                    Decimal("Amount", 10, 2), Int("Note")},
                                   std::move(rows));
  table.primaryKey = {"PK_Narrow", {"Id"}};
}

void AddWideTable(DatabaseSpec& spec, std::int64_t count) {
  std::vector<ColumnSpec> columns{Int("Id").NotNull()};
  for (int c = 1; c <= 6; ++c) columns.push_back(VarChar("Text" + std::to_string(c), 40));
  for (int c = 1; c <= 4; ++c) columns.push_back(NVarChar("Name" + std::to_string(c), 40));
  for (int c = 1; c <= 5; ++c) columns.push_back(BigInt("Count" + std::to_string(c)));
  for (int c = 1; c <= 3; ++c) columns.push_back(Decimal("Price" + std::to_string(c), 12, 4));
  columns.push_back(Money("Total"));
  for (int c = 1; c <= 3; ++c) columns.push_back(DateTime("When" + std::to_string(c)));
  columns.push_back(Bit("Flag1"));
  columns.push_back(Bit("Flag2"));
  columns.push_back(Float("Ratio"));
  columns.push_back(NVarChar("Body", -1));                                     // in the row
  columns.push_back(NVarChar("Document", -1).Stored(Storage::kDataFragments, 4000));  // off row, every 20th row
  columns.push_back(VarBinary("Picture", -1).Stored(Storage::kRowOverflow));      // off row, every 10th row
  std::vector<Row> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    Row row{i + 1};
    for (int c = 1; c <= 6; ++c) row.push_back("text " + std::to_string(c) + " of row " + std::to_string(i));
    for (int c = 1; c <= 4; ++c) row.push_back(i % 5 == 0 ? Value() : Value("naïve " + std::to_string(i * c)));
    for (int c = 1; c <= 5; ++c) row.push_back(i * c * 1'000'003);
    for (int c = 1; c <= 3; ++c) row.push_back(AmountText(i * c));
    row.push_back(AmountText(i));
    for (int c = 1; c <= 3; ++c) row.push_back(DateText(i + c));
    row.push_back(i % 2);
    row.push_back(i % 3 == 0 ? Value() : Value(1));
    row.push_back(static_cast<double>(i) / 7.0);
    row.push_back("body of row " + std::to_string(i));
    row.push_back(i % 20 == 0 ? Value(std::string(6000, static_cast<char>('a' + i % 26))) : Value());
    if (i % 10 == 0) {
      Bytes picture(1500);
      for (std::size_t b = 0; b < picture.size(); ++b) picture[b] = static_cast<std::uint8_t>((b * 31 + i) & 0xFF);
      row.push_back(std::move(picture));
    } else {
      row.push_back(Value());
    }
    rows.push_back(std::move(row));
  }
  TableSpec& table = spec.AddTable("Wide", std::move(columns), std::move(rows));
  table.primaryKey = {"PK_Wide", {"Id"}};
}

DatabaseSpec BenchmarkDatabase(std::int64_t rows) {
  DatabaseSpec spec;
  spec.name = "Benchmark";
  AddNarrowTable(spec, rows);
  AddWideTable(spec, rows / 10);
  return spec;
}

}  // namespace quillmark::testing
