#include "gui/CommandLine.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <iostream>

#include "gui/MainWindow.h"
#include "gui/OpenDatabaseDialog.h"
#include "gui/QtText.h"

namespace quillmark::gui {
namespace {

constexpr const char16_t* kScanCompleted = u"Scanning process completed.";

// Lets the window lay itself out and paint before its picture is taken.
void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

app::ScanOptions ScanOptionsOf(const WindowOptions& options) {
  app::ScanOptions scan;
  scan.file = *options.file;
  scan.advanced = options.advanced;
  scan.showDeleted = options.deleted;
  scan.showAdvancedDeleted = options.advancedDeleted;
  scan.logFolder = options.logFolder;
  return scan;
}

// The open dialog as Open shows it, filled in from the options, pictured.
bool PictureOfTheDialog(MainWindow& window, const WindowOptions& options) {
  bool written = false;
  window.frame().runOpenDialog = [&](app::CKestrumFileSettingDlg& rules) {
    if (options.file) rules.path = *options.file;
    rules.modeSelection = options.advanced ? 1 : 0;
    rules.showDeleted = options.deleted;
    rules.showAdvancedDeleted = options.advancedDeleted;
    if (options.logFolder) rules.logFolder = *options.logFolder;
    OpenDatabaseDialog dialog(rules, &window);
    dialog.show();
    dialog.adjustSize();
    Settle();
    written = WritePicture(dialog, *options.dialogScreenshot);
    return false;
  };
  window.frame().OnCommand(app::kCommandOpen);
  return written;
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, WindowOptions& options, std::ostream& out,
                                    std::ostream& err) {
  CLI::App cli("Quillmark: a viewer of SQL Server data files (.mdf, .ndf) that needs no server.\n"
               "Without FILE the window starts empty; Open (in the tool area) asks for a file.",
               "quillmark");
  std::string file;
  cli.add_option("FILE", file, "database file to open and scan at once, as Open would (Standard mode, automatic "
                               "collation, the desktop as log folder unless the options below say otherwise)");
  cli.add_flag("--advanced", options.advanced, "scan in Advanced mode (every page of the file)");
  cli.add_flag("--deleted", options.deleted, "show deleted records");
  cli.add_flag("--advanced-deleted", options.advancedDeleted, "show advanced deleted records");
  std::string logFolder, select, screenshot, dialogShot;
  cli.add_option("--log-folder", logFolder, "folder for the scan's log file (default: the desktop)")
      ->option_text("DIR");
  cli.add_option("--select", select,
                 "after the scan, click the label of the tree item at PATH: node texts separated by '/', "
                 "e.g. \"User Tables/Orders\"")
      ->option_text("PATH");
  cli.add_option("--screenshot", screenshot,
                 "once no worker runs any more, write a picture of the window to PNG and end; the exit "
                 "status is 0 when the scan completed and the --select item was found, else 1. Message "
                 "boxes are not shown then: their texts go to the error stream")
      ->option_text("PNG");
  cli.add_option("--dialog-screenshot", dialogShot, "write a picture of the open dialog (filled in from FILE and "
                                                    "the options) to PNG and end")
      ->option_text("PNG");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return cli.exit(error, out, err);
  }
  if (!file.empty()) options.file = file;
  if (!logFolder.empty()) options.logFolder = logFolder;
  if (!select.empty()) options.select = select;
  if (!screenshot.empty()) options.screenshot = screenshot;
  if (!dialogShot.empty()) options.dialogScreenshot = dialogShot;
  return std::nullopt;
}

bool WritePicture(QWidget& widget, const std::string& path) {
  Settle();
  return widget.grab().save(FromUtf8(path), "PNG");
}

std::optional<int> RunOptions(MainWindow& window, const WindowOptions& options) {
  const bool picture = options.screenshot || options.dialogScreenshot;
  window.dialogs().SetScripted(picture);
  if (options.dialogScreenshot) return PictureOfTheDialog(window, options) ? 0 : 1;
  bool completed = false;
  bool found = !options.select;
  if (options.file) {
    if (window.OpenFile(ScanOptionsOf(options))) {
      window.WaitForWorker();
      const std::vector<std::u16string>& boxes = window.dialogs().shown();
      completed = std::find(boxes.begin(), boxes.end(), kScanCompleted) != boxes.end();
      if (options.select && completed) {
        found = window.SelectPath(*options.select);
        if (!found) std::cerr << "quillmark: no tree item " << *options.select << '\n';
      }
    }
  }
  if (!options.screenshot) return std::nullopt;
  if (!WritePicture(window, *options.screenshot)) {
    std::cerr << "quillmark: the picture could not be written to " << *options.screenshot << '\n';
    return 1;
  }
  return completed && found ? 0 : 1;
}

}  // namespace quillmark::gui
