// The 1 GiB database file of the shell and window benchmarks: a builder
// database of 300,000 rows in one table "Customers", extended to 1 GiB with
// empty pages, written to a folder of its own and removed afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder/DatabaseBuilder.h"

namespace quillmark::bench {

namespace fs = std::filesystem;
namespace build = quillmark::testing;

constexpr std::int64_t kRowCount = 300'000;
constexpr std::uintmax_t kFileSize = std::uintmax_t{1} << 30;

struct BigShellFile {
  BigShellFile() {
    folder = fs::temp_directory_path() / ("quillmark-shell-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::vector<build::Row> rows;
    rows.reserve(kRowCount);
    for (std::int64_t i = 0; i < kRowCount; ++i)
      rows.push_back({i + 1, "customer " + std::to_string(i * 7919 % 1'000'003), i % 3 == 0 ? build::Value() : build::Value(i)});
    build::DatabaseSpec spec;
    spec.name = "ShellBench";
    spec.AddTable("Customers", {build::Int("Id").NotNull(), build::VarChar("Name", 30), build::Int("Note")},
                  std::move(rows))
        .primaryKey = {"PK_Customers", {"Id"}};
    path = spec.Write(folder, "shell.mdf").primary;
    fs::resize_file(path, kFileSize);
  }
  ~BigShellFile() {
    std::error_code error;
    fs::remove_all(folder, error);
  }
  fs::path folder;
  fs::path path;
};

}  // namespace quillmark::bench
