// How fast a table's rows come out: (a) the data pages of a table of a million
// narrow rows, hot in the page cache, read and decoded to row texts on one
// thread; (b) `rows --format csv --all` of the same table (the streaming path)
// into a stream that discards what it is given, opening and catalog included;
// (c) `export` of the same table into a SQLite file.
//
// The database is written once per run by the fixture builder, on first use,
// and removed when the run ends.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "cli/Cli.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/PageBuffer.h"
#include "engine/PageHeader.h"
#include "builder/BenchmarkDatabase.h"
#include "builder/DatabaseBuilder.h"
#include "values/CompressedValues.h"
#include "values/RowDecoder.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmark;
namespace build = quillmark::testing;

constexpr std::int64_t kRowCount = 1'000'000;
constexpr const char* kTable = "Narrow";
constexpr const char16_t* kTableName = u"Narrow";

// The narrow table of the benchmark database (see builder/BenchmarkDatabase.h).
build::DatabaseSpec NarrowDatabase() {
  build::DatabaseSpec spec;
  spec.name = "RowsBench";
  build::AddNarrowTable(spec, kRowCount);
  return spec;
}

// The written database, shared by both benchmarks and removed at exit.
class NarrowFile {
 public:
  static const NarrowFile& Get(const fs::path& folder) {
    static const NarrowFile file(folder);
    return file;
  }
  ~NarrowFile() {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
  NarrowFile(const NarrowFile&) = delete;
  NarrowFile& operator=(const NarrowFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  explicit NarrowFile(const fs::path& parent)
      : folder_(parent / ("quillmark-rows-bench-" + std::to_string(::getpid()))) {
    fs::create_directories(folder_);
    path_ = NarrowDatabase().Write(folder_, "narrow.mdf").primary.string();
  }

  fs::path folder_;
  std::string path_;
};

// Decodes every data page of the table as a listing does; returns the rows.
std::int64_t DecodeAllPages(DatabaseFile& file, const std::vector<PageId>& pages, std::vector<ColumnLayout>& layouts,
                            std::int64_t& pagesRead) {
  std::int64_t rows = 0;
  for (const PageId id : pages) {
    const auto page = file.ReadDataPage(id);
    if (!page || !page->header || page->header->pageType != kDataPageType) continue;
    const std::vector<DecodedRow> decoded = DecodeCurrentFormat(*page, layouts, DecodeVariant::kListing);
    benchmark::DoNotOptimize(decoded.data());
    rows += static_cast<std::int64_t>(decoded.size());
    ++pagesRead;
  }
  return rows;
}

void DecodeRows(benchmark::State& state, fs::path folder) {
  const std::string& path = NarrowFile::Get(folder).path();
  ResetSettings();
  LoadCollationList();
  auto db = OpenDatabase(path, 0, nullptr);
  if (!db.opened()) {
    state.SkipWithError("the benchmark database did not open");
    return;
  }
  std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, kTableName, "U ", {});
  const std::vector<PageId> pages = db.catalog->selected.dataPages;
  CompressedValueRebuilder rebuilder(layouts);
  Settings().listingActive = 1;
  Settings().listingContext = &rebuilder;

  std::int64_t rows = 0;
  std::int64_t pagesRead = 0;
  for (auto _ : state) rows += DecodeAllPages(*db.file, pages, layouts, pagesRead);

  Settings().listingActive = 0;
  Settings().listingContext = nullptr;
  if (rows != kRowCount * state.iterations()) state.SkipWithError("not every row was decoded");
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  state.counters["page MB/s"] = benchmark::Counter(
      static_cast<double>(pagesRead) * static_cast<double>(kPageSize) / 1e6, benchmark::Counter::kIsRate);
}

// Counts what it is given and keeps none of it.
class DiscardingBuffer : public std::streambuf {
 public:
  std::uint64_t bytes = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize count) override {
    bytes += static_cast<std::uint64_t>(count);
    return count;
  }
  int_type overflow(int_type c) override {
    ++bytes;
    return traits_type::not_eof(c);
  }
};

void RowsAsCsv(benchmark::State& state, fs::path folder) {
  const std::string path = NarrowFile::Get(folder).path();
  // Every page of the table, as the window lists them one after another.
  const char* const argv[] = {"quillmark-cli", "rows", path.c_str(), kTable, "--format", "csv", "--all", "--quiet"};
  DiscardingBuffer buffer;
  std::ostream out(&buffer);
  std::ostream err(&buffer);
  for (auto _ : state)
    if (cli::RunCli(static_cast<int>(std::size(argv)), argv, out, err) != 0) {
      state.SkipWithError("rows --format csv failed");
      return;
    }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(kRowCount * state.iterations()), benchmark::Counter::kIsRate);
  state.counters["CSV MB/s"] = benchmark::Counter(static_cast<double>(buffer.bytes) / 1e6, benchmark::Counter::kIsRate);
}

// `export --format sqlite` of the same table into a SQLite file, opening and catalog included.
void ExportAsSqlite(benchmark::State& state, fs::path folder) {
  const std::string path = NarrowFile::Get(folder).path();
  const std::string out = (fs::path(path).parent_path() / "narrow.db").string();
  const char* const argv[] = {"quillmark-cli", "export", path.c_str(), kTable, out.c_str(), "--quiet"};
  DiscardingBuffer buffer;
  std::ostream text(&buffer);
  for (auto _ : state)
    if (cli::RunCli(static_cast<int>(std::size(argv)), argv, text, text) != 0) {
      state.SkipWithError("export --format sqlite failed");
      return;
    }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(kRowCount * state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

void RegisterRowsBenchmarks(const fs::path& scratchFolder) {
  benchmark::RegisterBenchmark("DecodeRows/1M narrow rows", DecodeRows, scratchFolder)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("RowsAsCsv/1M narrow rows", RowsAsCsv, scratchFolder)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ExportAsSqlite/1M narrow rows", ExportAsSqlite, scratchFolder)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
}
