// How fast a click on a table shows its first page: from the selection message
// to the status label of the first 1000 rows, in a 1 GiB database file whose
// pages are hot in the page cache. The file is a builder database of 300,000
// rows, extended to 1 GiB with empty pages; the scan runs once, before timing.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/HeadlessShell.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"
#include "builder/DatabaseBuilder.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmark;
namespace build = quillmark::testing;

constexpr std::int64_t kRowCount = 300'000;
constexpr std::uintmax_t kFileSize = std::uintmax_t{1} << 30;

struct BigFile {
  BigFile() {
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
  ~BigFile() {
    std::error_code error;
    fs::remove_all(folder, error);
  }
  fs::path folder;
  fs::path path;
};

void FirstPageOfATableInA1GiBFile(benchmark::State& state) {
  static BigFile file;
  ResetSettings();
  LoadCollationList();
  app::HeadlessShell shell;
  app::ScanOptions options;
  options.file = file.path.string();
  options.logFolder = file.folder.string();
  if (!shell.Scan(options)) {
    state.SkipWithError("the scan did not start");
    return;
  }
  const platform::TreeItem root = shell.window.tree.FirstChild(platform::kNoItem);
  const platform::TreeItem table =
      shell.window.tree.Find({shell.window.tree.ItemText(root), u"Tables", u"User Tables", u"Customers"});
  for (auto _ : state) {
    shell.frame.send(platform::WM_APP_OBJECT_SELECTED, platform::kHitOnLabel, static_cast<platform::LParam>(table));
    shell.Wait();
  }
  const std::string status = platform::Utf16ToUtf8(shell.window.status.Text());
  if (status != "Page1 - [1000](1-1000) Records") state.SkipWithError(("unexpected status: " + status).c_str());
  state.SetLabel(status);
}
BENCHMARK(FirstPageOfATableInA1GiBFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
