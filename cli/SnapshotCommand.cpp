// `snapshot save` and `snapshot load`: the window's Save snapshot (342) after a
// scan, and Load snapshot (341), which opens the database through the page
// maps the snapshot keeps instead of mapping the file again.
#include <fmt/format.h>

#include <filesystem>

#include "catalog/Snapshot.h"
#include "cli/Commands.h"
#include "cli/ShellSession.h"

namespace quillmark::cli {
namespace {

constexpr const char* kSnapshotSaved = "Snapshot Saved successfully in path ";

// A snapshot that is missing or has no header is named as such, before the
// shell reports only that its scan was aborted.
void CheckSnapshot(const std::string& snapshotPath) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(snapshotPath, error))
    throw CliError(fmt::format("snapshot '{}' cannot be opened: no such file", snapshotPath));
  if (!ReadSnapshotHeader(snapshotPath))
    throw CliError(fmt::format("snapshot '{}' cannot be read: not a snapshot file", snapshotPath));
}

}  // namespace

void SnapshotSaveCommand(const app::ScanOptions& scan, const std::string& snapshotPath, ProgressBar* progress,
                         std::ostream& out, std::ostream& err) {
  const PrivateFolder logs;
  // The snapshot names its database by full path, so it loads from any folder.
  app::ScanOptions options = WithPrivateLog(scan, logs);
  options.file = std::filesystem::absolute(scan.file).string();
  ShellSession session(err, progress);
  session.ScanOrFail(options);
  const std::size_t before = session.Boxes().size();
  session.shell.window.dialogs.files.push_back(snapshotPath);
  session.shell.Command(app::kCommandSaveSnapshot);
  const std::string box = session.Boxes().size() > before ? session.LastBox() : "Snapshot cannot be saved.";
  if (box.rfind(kSnapshotSaved, 0) != 0) throw CliError(box);
  out << box << "\n";
}

void SnapshotLoadCommand(const std::string& snapshotPath, const std::string& format, ProgressBar* progress,
                         std::ostream& out, std::ostream& err) {
  CheckSnapshot(snapshotPath);
  ShellSession session(err, progress);
  if (!session.LoadSnapshot(snapshotPath)) throw CliError(session.FailureText());
  if (format == "tree")
    out << session.shell.TreeText();
  else
    ObjectsCommand(*session.shell.frame.opened().catalog, format == "json", out);
}

}  // namespace quillmark::cli
