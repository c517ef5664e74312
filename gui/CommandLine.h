// The window's command line:
//   quillmark [FILE] [--advanced] [--deleted] [--advanced-deleted]
//             [--log-folder DIR] [--select PATH] [--screenshot PNG]
// With FILE the window opens and scans it as Open would with those choices,
// without showing the dialog; --select then clicks the label of the item PATH
// names; --screenshot writes a picture of the window once no worker runs and
// ends the program.
#pragma once

#include <optional>
#include <ostream>
#include <string>

class QWidget;

namespace quillmark::gui {

class MainWindow;

struct WindowOptions {
  std::optional<std::string> file;
  bool advanced = false;
  bool deleted = false;
  bool advancedDeleted = false;
  std::optional<std::string> logFolder;
  std::optional<std::string> select;
  std::optional<std::string> screenshot;
  std::optional<std::string> dialogScreenshot;
};

// Parses the arguments into `options`; the exit status when the program is to
// end at once (--help: 0, a wrong argument: 2), with its text written.
std::optional<int> ParseCommandLine(int argc, char** argv, WindowOptions& options, std::ostream& out,
                                    std::ostream& err);

// Runs what the options ask of the shown window, handling events meanwhile.
// With a picture to take: writes it and returns the program's exit status (0
// when the scan completed and the item of --select was found, 1 otherwise);
// without: returns nothing and the window stays open.
std::optional<int> RunOptions(MainWindow& window, const WindowOptions& options);

// The picture of the whole window (or of any widget) as a PNG file.
bool WritePicture(QWidget& widget, const std::string& path);

}  // namespace quillmark::gui
