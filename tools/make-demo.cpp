// Writes a database file as SQL Server lays it out: the demo database of
// `make run`, or (with the options below) the databases the benchmarks read.
#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "builder/BenchmarkDatabase.h"
#include "builder/DatabaseBuilder.h"
#include "builder/ManyTables.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes a Quillmark demo database (.mdf) in SQL Server's file format.",
               "quillmark-make-demo"};
  std::string target;
  bool sql2000 = false;
  std::int64_t rows = 0;
  app.add_option("PATH", target, "The .mdf file to write (its folder is created)")->required();
  app.add_flag("--sql2000", sql2000, "Write the SQL Server 2000 layout instead of the 2005-and-later one");
  std::size_t tables = 0;
  app.add_option("--tables", tables, "Write N tables of ten columns each (keys, constraints, a few rows) instead of the demo")
      ->check(CLI::PositiveNumber);
  app.add_option("--rows", rows,
                 "Write the benchmark database instead: table Narrow of N narrow rows and table Wide of N/10 rows "
                 "of 30 columns")
      ->check(CLI::PositiveNumber)
      ->excludes("--sql2000")
      ->excludes("--tables");
  CLI11_PARSE(app, argc, argv);

  try {
    namespace builder = quillmark::testing;
    const std::filesystem::path path = std::filesystem::absolute(target);
    const builder::Layout layout = sql2000 ? builder::Layout::kSql2000 : builder::Layout::kSql2005Plus;
    std::filesystem::create_directories(path.parent_path());
    if (rows > 0) {
      builder::BenchmarkDatabase(rows).Write(path.parent_path(), path.filename().string());
    } else {
      const builder::DatabaseSpec spec = tables > 0 ? builder::ManyTables(tables, layout) : builder::DemoShop(layout);
      spec.Write(path.parent_path(), path.filename().string());
    }
    std::cout << path.string() << "\n";
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "quillmark-make-demo: " << error.what() << "\n";
    return 1;
  }
}
