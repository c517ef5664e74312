// How the scan grows with the catalog. Databases of 1,000, 10,000 and 100,000
// tables (ten columns, a primary key and a foreign key each, defaults and
// checks on some, a view and a procedure per hundred tables) are scanned as
// the window scans them: open, catalog build, the tree with every table's bold
// state, module prefetch. Also: selecting one table of the largest database
// (schema resolution and its first page of rows).
//
// Each database is written by a child process, and the peak memory of a scan
// is measured in a child of its own, so that neither the builder's memory nor
// another run's shows in the figure ("peak_MiB": the child's peak resident
// set less what it held when it started).

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "app/HeadlessShell.h"
#include "builder/ManyTables.h"
#include "catalog/OpenSequence.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmark;
namespace build = quillmark::testing;

fs::path ScratchFolder() {
  fs::path folder = fs::temp_directory_path();
  if (const char* named = std::getenv("QUILLMARK_BENCH_DIR"); named && *named) folder = named;
  return folder / ("quillmark-scale-bench-" + std::to_string(::getpid()));
}

struct Scratch {
  Scratch() : folder(ScratchFolder()) { fs::create_directories(folder); }
  ~Scratch() {
    std::error_code error;
    fs::remove_all(folder, error);
  }
  fs::path folder;
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

// Runs `work` in a child process; its result (a number) comes back through a pipe.
template <class Work>
long InChild(Work work) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    const long result = work();
    [[maybe_unused]] const auto written = ::write(ends[1], &result, sizeof result);
    ::_exit(0);
  }
  ::close(ends[1]);
  long result = -1;
  if (child < 0 || ::read(ends[0], &result, sizeof result) != sizeof result) result = -1;
  ::close(ends[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return result;
}

// The database of `tables` tables, written once per run, or taken from the
// folder QUILLMARK_BENCH_TABLES names when it holds tables-<N>.mdf (written by
// `quillmark-make-demo --tables N`; the 100,000 take minutes to write).
const fs::path& ManyTablesFile(std::size_t tables) {
  static std::map<std::size_t, fs::path> written;
  auto found = written.find(tables);
  if (found != written.end()) return found->second;
  const std::string name = "tables-" + std::to_string(tables) + ".mdf";
  if (const char* folder = std::getenv("QUILLMARK_BENCH_TABLES"); folder && *folder && fs::exists(fs::path(folder) / name))
    return written.emplace(tables, fs::path(folder) / name).first->second;
  const fs::path path = TheScratch().folder / name;
  InChild([&] {
    build::ManyTables(tables).Write(path.parent_path(), path.filename().string());
    return 0L;
  });
  return written.emplace(tables, path).first->second;
}

long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

bool ScanOnce(app::HeadlessShell& shell, const fs::path& path) {
  app::ScanOptions options;
  options.file = path.string();
  options.logFolder = TheScratch().folder.string();
  return shell.Scan(options);
}

void Prepare() {
  ResetSettings();
  LoadCollationList();
}

void ScanManyTables(benchmark::State& state) {
  const auto tables = static_cast<std::size_t>(state.range(0));
  const fs::path& path = ManyTablesFile(tables);
  if (!fs::exists(path)) {
    state.SkipWithError("the database was not written");
    return;
  }
  const long peakKib = InChild([&] {
    const long before = ResidentKib();
    Prepare();
    {
      app::HeadlessShell shell;
      ScanOnce(shell, path);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss - before;
  });
  std::size_t userTables = 0;
  for (auto _ : state) {
    Prepare();
    app::HeadlessShell shell;
    if (!ScanOnce(shell, path)) {
      state.SkipWithError("the scan did not start");
      return;
    }
    state.PauseTiming();
    const platform::TreeItem root = shell.window.tree.FirstChild(platform::kNoItem);
    userTables = shell.window.tree.Children(shell.window.tree.Find({shell.window.tree.ItemText(root), u"Tables", u"User Tables"})).size();
    state.ResumeTiming();
  }
  if (userTables != tables) state.SkipWithError(("tree shows " + std::to_string(userTables) + " user tables").c_str());
  state.counters["tables"] = static_cast<double>(tables);
  state.counters["peak_MiB"] = static_cast<double>(peakKib) / 1024.0;
}
// Process CPU time: the scan runs on a worker thread, and the machine may be shared.
BENCHMARK(ScanManyTables)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->MeasureProcessCPUTime()->Iterations(1);

// A click on one table of the 100,000: its schema resolved, its first page of rows listed.
void SelectOneTableOf100000(benchmark::State& state) {
  const fs::path& path = ManyTablesFile(100'000);
  Prepare();
  app::HeadlessShell shell;
  if (!ScanOnce(shell, path)) {
    state.SkipWithError("the scan did not start");
    return;
  }
  const platform::TreeItem root = shell.window.tree.FirstChild(platform::kNoItem);
  const std::string name = build::ManyTablesName(50'000);
  const platform::TreeItem table = shell.window.tree.Find(
      {shell.window.tree.ItemText(root), u"Tables", u"User Tables", std::u16string(name.begin(), name.end())});
  for (auto _ : state) {
    shell.frame.send(platform::WM_APP_OBJECT_SELECTED, platform::kHitOnLabel, static_cast<platform::LParam>(table));
    shell.Wait();
  }
  const std::string status = platform::Utf16ToUtf8(shell.window.status.Text());
  if (status != "Page1 - [3](1-3) Records") state.SkipWithError(("unexpected status: " + status).c_str());
  state.SetLabel(status);
}
BENCHMARK(SelectOneTableOf100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(20);

// What the catalog of the 100,000-table database holds: its rows, the bytes
// of its lists (the rows as allocated, with the heap part of their strings),
// and the bytes of the lookups' indexes, per row.
template <class Row>
std::size_t StringBytes(const Row&) {
  return 0;
}
std::size_t HeapBytes(const std::u16string& text) {
  // Short strings live inside the string object.
  return text.capacity() > 7 ? (text.capacity() + 1) * sizeof(char16_t) : 0;
}
std::size_t StringBytes(const CatalogObject& row) { return HeapBytes(row.name); }
std::size_t StringBytes(const CatalogColumn& row) { return HeapBytes(row.name) + HeapBytes(row.identityText); }
std::size_t StringBytes(const LegacyColumn& row) { return HeapBytes(row.name); }
std::size_t StringBytes(const CatalogIndex& row) { return HeapBytes(row.name); }
std::size_t StringBytes(const CatalogType& row) { return HeapBytes(row.name); }
std::size_t StringBytes(const ObjectDetail& row) { return HeapBytes(row.name) + HeapBytes(row.spare); }
std::size_t StringBytes(const ForeignKeyColumn& row) {
  return HeapBytes(row.constraintName) + HeapBytes(row.parentTableName) + HeapBytes(row.parentColumnName) +
         HeapBytes(row.referencedTableName) + HeapBytes(row.referencedColumnName);
}

struct CatalogSize {
  std::size_t rows = 0;
  std::size_t bytes = 0;
  template <class Row>
  void Add(const std::vector<Row>& list) {
    rows += list.size();
    bytes += list.capacity() * sizeof(Row);
    for (const Row& row : list) bytes += StringBytes(row);
  }
};

void CatalogOf100000Tables(benchmark::State& state) {
  const fs::path& path = ManyTablesFile(100'000);
  CatalogSize size;
  std::size_t indexBytes = 0;
  for (auto _ : state) {
    Prepare();
    OpenedDatabaseFile opened = OpenDatabase(path.string(), 0, nullptr);
    if (!opened.opened()) {
      state.SkipWithError("the database did not open");
      return;
    }
    const DatabaseCatalog& c = *opened.catalog;
    size = CatalogSize{};
    size.Add(c.objects);
    size.Add(c.allocUnits);
    size.Add(c.rowsets);
    size.Add(c.legacyColumns);
    size.Add(c.columns);
    size.Add(c.types);
    size.Add(c.rowsetColumns);
    size.Add(c.references);
    size.Add(c.indexes);
    size.Add(c.indexColumns);
    size.Add(c.object13Rows);
    size.Add(c.object4Rows);
    size.Add(c.objectDetails);
    size.Add(c.referencedDetails);
    size.Add(c.foreignKeyColumns);
    indexBytes = c.LookupBytes();
  }
  state.counters["catalog_rows"] = static_cast<double>(size.rows);
  state.counters["bytes_per_row"] = static_cast<double>(size.bytes) / static_cast<double>(size.rows);
  state.counters["index_bytes_per_row"] = static_cast<double>(indexBytes) / static_cast<double>(size.rows);
}
BENCHMARK(CatalogOf100000Tables)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
