// `snapshot save` and `snapshot load`: the page maps of an opened database kept
// in a file, so that a later open skips the mapping pass.
#include <fmt/format.h>

#include <filesystem>

#include "catalog/Snapshot.h"
#include "cli/Commands.h"

namespace quillmark::cli {

void SnapshotSaveCommand(const DatabaseFile& file, const std::string& databasePath, const std::string& snapshotPath,
                         std::ostream& out) {
  if (!SaveSnapshot(file, databasePath, 0, snapshotPath)) throw CliError("Snapshot cannot be saved.");
  out << "Snapshot Saved successfully in path " << snapshotPath << "\n";
}

std::string ApplySnapshot(const std::string& snapshotPath) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(snapshotPath, error))
    throw CliError(fmt::format("snapshot '{}' cannot be opened: no such file", snapshotPath));
  const auto header = ReadSnapshotHeader(snapshotPath);
  if (!header) throw CliError(fmt::format("snapshot '{}' cannot be read: not a snapshot file", snapshotPath));
  ApplySnapshotHeader(*header, snapshotPath);
  return header->databasePath;
}

}  // namespace quillmark::cli
