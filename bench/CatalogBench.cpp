// How long opening a real file takes: the mapping pass alone, and the mapping
// pass followed by the catalog build. The difference is the build.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "catalog/OpenSequence.h"
#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"

namespace {

void MapRealFile(benchmark::State& state, const std::string& path) {
  quillmark::ResetSettings();
  for (auto _ : state) {
    auto db = quillmark::DatabaseFile::Open(path, 0, nullptr);
    if (!db->opened) {
      state.SkipWithError("the file did not open");
      return;
    }
    benchmark::DoNotOptimize(db->systemPages.size());
  }
}

void OpenWithCatalog(benchmark::State& state, const std::string& path) {
  quillmark::ResetSettings();
  for (auto _ : state) {
    auto opened = quillmark::OpenDatabase(path, 0, nullptr);
    if (!opened.opened()) {
      state.SkipWithError("the file did not open");
      return;
    }
    benchmark::DoNotOptimize(opened.catalog->objects.size());
  }
}

}  // namespace

// The real files with the most catalog rows.
void RegisterCatalogBenchmarks(const std::filesystem::path& fixturesFolder) {
  for (const char* name : {"sql2008_reportserver.mdf", "sql2008_northwind_junktail.mdf", "sql2019_articles.mdf"}) {
    const std::filesystem::path path = fixturesFolder / name;
    if (!std::filesystem::exists(path)) continue;
    benchmark::RegisterBenchmark((std::string("MapRealFile/") + name).c_str(), MapRealFile, path.string())
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("OpenWithCatalog/") + name).c_str(), OpenWithCatalog, path.string())
        ->Unit(benchmark::kMillisecond);
  }
}
