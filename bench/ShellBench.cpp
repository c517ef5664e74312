// How fast a click on a table shows its first page: from the selection message
// to the status label of the first 1000 rows, in a 1 GiB database file whose
// pages are hot in the page cache. The file is a builder database of 300,000
// rows, extended to 1 GiB with empty pages; the scan runs once, before timing.

#include <benchmark/benchmark.h>
#include <string>

#include "app/HeadlessShell.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"
#include "bench/BigShellFile.h"

namespace {

using namespace quillmark;
using bench::BigShellFile;

void FirstPageOfATableInA1GiBFile(benchmark::State& state) {
  static BigShellFile file;
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
