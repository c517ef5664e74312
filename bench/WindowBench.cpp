// The window never freezes: the real main window on the offscreen platform,
// over the 1 GiB database file of the shell benchmark (pages hot in the page
// cache).
//
// - LongestEventLoopStall: the longest time the event loop was kept from
//   running (the largest gap between ticks of a 1 ms timer, less the tick)
//   while a scan of the file and a listing of its table run.
// - FirstPageShownAfterALabelClick: from a press on the table's label to the
//   first page of 1000 rows shown (status label set, worker ended).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "bench/BigShellFile.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "gui/MainWindow.h"
#include "gui/ObjectTreeView.h"
#include "gui/QtControls.h"
#include "gui/RecordsPanel.h"
#include "platform/TreeRules.h"

namespace {

using namespace quillmark;
using bench::BigShellFile;

BigShellFile& File() {
  static BigShellFile file;
  return file;
}

// Measures the largest gap between ticks of a 1 ms timer while it lives.
class StallMeter {
 public:
  StallMeter() {
    clock_.start();
    QObject::connect(&tick_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.start(1);
  }
  double LongestMs() const { return std::max<double>(0, static_cast<double>(longest_) / 1e6 - 1.0); }

 private:
  QElapsedTimer clock_;
  QTimer tick_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

app::ScanOptions Options() {
  app::ScanOptions options;
  options.file = File().path.string();
  options.logFolder = File().folder.string();
  return options;
}

platform::TreeItem Customers(gui::ObjectTreeView& tree) {
  platform::TreeItem at = tree.FirstChild(platform::kNoItem);
  for (const char16_t* text : {u"Tables", u"User Tables", u"Customers"}) {
    platform::TreeItem next = platform::kNoItem;
    for (const platform::TreeItem child : tree.Children(at))
      if (tree.ItemText(child) == text) next = child;
    at = next;
  }
  return at;
}

void PressLabel(gui::MainWindow& window, platform::TreeItem item) {
  platform::LeftButtonDown(*window.tree(), item, platform::kHitOnLabel, &window.frame());
}

void LongestEventLoopStall(benchmark::State& state) {
  File();
  double longest = 0;
  for (auto _ : state) {
    ResetSettings();
    LoadCollationList();
    gui::MainWindow window;
    window.dialogs().SetScripted(true);
    window.show();
    StallMeter meter;
    if (!window.OpenFile(Options())) {
      state.SkipWithError("the scan did not start");
      return;
    }
    window.WaitForWorker();
    const platform::TreeItem table = Customers(*window.tree());
    if (table == platform::kNoItem) {
      state.SkipWithError("no table Customers");
      return;
    }
    PressLabel(window, table);
    window.WaitForWorker();
    QApplication::processEvents();
    longest = std::max(longest, meter.LongestMs());
  }
  state.counters["stall_ms"] = longest;
}
BENCHMARK(LongestEventLoopStall)->Unit(benchmark::kMillisecond)->Iterations(3);

void FirstPageShownAfterALabelClick(benchmark::State& state) {
  File();
  ResetSettings();
  LoadCollationList();
  gui::MainWindow window;
  window.dialogs().SetScripted(true);
  window.show();
  if (!window.OpenFile(Options())) {
    state.SkipWithError("the scan did not start");
    return;
  }
  window.WaitForWorker();
  const platform::TreeItem table = Customers(*window.tree());
  for (auto _ : state) {
    PressLabel(window, table);
    window.WaitForWorker();
    QApplication::processEvents();
  }
  const QString status = window.panel()->status()->text();
  if (status != QStringLiteral("Page1 - [1000](1-1000) Records"))
    state.SkipWithError(("unexpected status: " + status.toStdString()).c_str());
  state.SetLabel(status.toStdString());
}
BENCHMARK(FirstPageShownAfterALabelClick)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
