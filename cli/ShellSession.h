// The commands that drive the shell the way a user drives the window: the open
// dialog filled in from the options, clicks on tree items, Next Records, the
// export and snapshot commands. What they print is what the window shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/HeadlessShell.h"
#include "cli/ProgressBar.h"
#include "cli/RowWriters.h"

namespace quillmark::cli {

// A folder of its own under the temporary folder, removed with everything in
// it when the object ends: where a command that prints no log keeps the log file.
class PrivateFolder {
 public:
  PrivateFolder();
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// `scan` with its log file in `folder`: a command that prints no log keeps it
// out of the user's folders.
app::ScanOptions WithPrivateLog(app::ScanOptions scan, const PrivateFolder& folder);

// Throws CliError when `id` is not a collation of the collation list (the
// dialog's "Manual" list offers only those).
void CheckListedCollation(std::int64_t id);

class ShellSession {
 public:
  // Error boxes and failures go to `err`; `progress`, when given, shows the
  // engine's progress while the file is mapped.
  ShellSession(std::ostream& err, ProgressBar* progress);
  ~ShellSession();
  ShellSession(const ShellSession&) = delete;
  ShellSession& operator=(const ShellSession&) = delete;

  // Each new log line goes to `out` as it arrives (nothing when null).
  void EchoLog(std::ostream* out) { echo_ = out; }

  // Open with the dialog filled in from `options`; throws CliError with the
  // dialog's message when it refuses them. True when the scan ended with
  // "Scanning process completed.".
  bool Scan(const app::ScanOptions& options);
  // A scan that must complete; otherwise throws CliError with what ended it.
  void ScanOrFail(const app::ScanOptions& options);
  // Load snapshot (341) with the open dialog answering `snapshot`; true when
  // the scan of its database completed.
  bool LoadSnapshot(const std::string& snapshot);

  // The texts of the boxes shown since the session began, in order.
  std::vector<std::string> Boxes() const;
  std::string LastBox() const;
  // What ended a failed scan in one line: the engine's error box when there
  // was one, else the last log line.
  std::string FailureText() const;
  // Writes the error boxes not yet reported to `err`, one line each.
  void ReportErrorBoxes();

  // The tree path (node texts below the root) named by `path`: texts separated
  // by '/', starting at the first node, breadth-first, whose text is the first
  // segment. A table's keys appear once the table was selected, so a segment
  // missing under a table selects the table and looks again; a text may hold
  // '/' itself. Throws CliError naming the segment that is missing.
  std::vector<std::u16string> ResolvePath(const std::string& path);
  // {"Tables", "User Tables", name}, or the system table of that name when no
  // user table has it; throws CliError when neither exists.
  std::vector<std::u16string> TablePath(const std::string& name) const;
  void Select(const std::vector<std::u16string>& path);
  // Next Records when it is enabled; false when there is no further page.
  bool NextPage();

  // The records list's titled columns (its own untitled last column left out),
  // numbers right-aligned as the selected table's types say.
  RowColumns Columns() const;
  int RowCount() const;
  std::vector<std::string> Row(int row, std::size_t columns) const;
  // Hands every listed row of the shown page, and with `all` of each page Next
  // Records lists after it, to `take` until it returns false; `pageDone`
  // follows each page. One page of rows is held at a time.
  void ForEachRow(bool all, const std::function<bool(const std::vector<std::string>&)>& take,
                  const std::function<void()>& pageDone = {});

  app::HeadlessShell shell;

 private:
  void OnMessage(platform::MessageId id, platform::WParam wParam, platform::LParam lParam);

  std::ostream& err_;
  ProgressBar* progress_;
  std::ostream* echo_ = nullptr;
  std::size_t reportedBoxes_ = 0;
  std::size_t scanBoxes_ = 0;  // boxes shown before the last scan began
};

}  // namespace quillmark::cli
