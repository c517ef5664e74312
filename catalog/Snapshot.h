// Snapshot files: the three page maps of an opened database, with the path of
// the database and the open options, so that a later open can skip the mapping
// pass.
//
// The file is a flat little-endian stream with no signature or version:
//   uint32 L                 byte length of the database path (UTF-16 units x 2)
//   L bytes                  database path, UTF-16LE, no terminator
//   uint8                    advanced byte of the opened database
//   uint8                    autoDetectCollation
//   int64                    manualCollation, low half first; only when the
//                            byte before is 0
//   uint8 x 3                isSql2000, showDeletedRecords, showAdvancedDeletedRecords
// then systemPages, dataPages and iamPages, each as
//   uint64 K                 key count
//   K key blocks             ascending keys: int32 key, uint32 N, N entries of
//                            uint16 file id, uint32 page number, uint32 page type
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/DatabaseFile.h"

namespace quillmark {

inline constexpr const char* kLoadingSnapshot = "Loading snapshot...please wait ......................";

// Writes the snapshot of `file`'s page maps, taking the options from Settings().
// False when the file cannot be created or written; a partly written file is
// removed.
bool SaveSnapshot(const DatabaseFile& file, const std::string& databasePath, std::uint8_t advanced,
                  const std::string& snapshotPath);

// Appends the snapshot's page maps to `file`'s maps. False when the snapshot
// cannot be opened or is not exactly one whole snapshot (cut short, a count
// larger than the bytes left, bytes after the last map).
bool LoadSnapshotMaps(const std::string& snapshotPath, DatabaseFile& file);

// The database path and options at the start of a snapshot.
struct SnapshotHeader {
  std::string databasePath;  // UTF-8
  std::uint8_t advanced = 0;
  std::uint8_t autoDetectCollation = 1;
  std::int64_t manualCollation = 0;
  std::uint8_t isSql2000 = 0;
  std::uint8_t showDeletedRecords = 0;
  std::uint8_t showAdvancedDeletedRecords = 0;
};

// Nothing when the snapshot cannot be opened or its header is cut short or malformed.
std::optional<SnapshotHeader> ReadSnapshotHeader(const std::string& snapshotPath);

// Restores the header's options into Settings() and switches to snapshot mode,
// so that the next open loads its maps from `snapshotPath`. The advanced byte
// is not applied: the mode of the loaded workspace comes from recoveryMode.
void ApplySnapshotHeader(const SnapshotHeader& header, const std::string& snapshotPath);

// Makes DatabaseFile load its maps with LoadSnapshotMaps in snapshot mode.
void InstallSnapshotLoader();

}  // namespace quillmark
