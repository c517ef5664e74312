// The program-wide settings that the shell, the workers and the engine share:
// the busy and stop flags, the open dialog's choices, the values read from the
// boot page, the collation map and the snapshot-load settings.
//
// There is one instance per process, reached through Settings(). The application
// object writes it; tests put it back to its initial state with ResetSettings().
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/SharedFlag.h"

namespace quillmark {

class CompressedRecordRebuilder;

struct CollationEntry {
  std::string name;
  std::int32_t codePage = 0;
};

using CollationMap = std::map<std::int64_t, CollationEntry>;

struct AppSettings {
  platform::SharedFlag<std::int32_t> busy = 0;      // 1 while a worker runs
  std::int32_t logLineCount = 0;                    // index of the next log-list line
  platform::SharedFlag<std::uint8_t> stopRequested = 0;
  platform::SharedFlag<std::uint8_t> listingActive = 0;  // 1 while a record listing runs
  // 1: listings read large values whole instead of showing placeholders (the
  // command line's rows and export); the window's listing leaves it 0.
  platform::SharedFlag<std::uint8_t> wholeLargeValues = 0;
  std::uint8_t isSql2000 = 0;
  std::uint8_t showDeletedRecords = 0;
  std::uint8_t showAdvancedDeletedRecords = 0;
  // The log file object itself belongs to the log; its path is kept here.
  std::string versionText;
  std::int32_t recoveryMode = 0;  // 1 Standard Mode, 2 Advanced Mode
  std::string databasePath;
  std::string logFilePath;
  std::string logFolder;
  CollationMap collationMap;
  std::uint8_t collationKnown = 0;
  std::int64_t collationId = -1;
  std::int32_t collationCodePage = 1252;
  std::string collationName;
  std::uint8_t autoDetectCollation = 1;
  std::int64_t manualCollation = 0;
  std::string snapshotDatabasePath;
  std::uint8_t snapshotMode = 0;
  std::string snapshotPath;

  // The current listing context: set by the record listing while it runs, so
  // that pages holding compressed records can rebuild their values with the
  // selected table's column layouts. Not owned.
  CompressedRecordRebuilder* listingContext = nullptr;
};

AppSettings& Settings();
void ResetSettings();

inline bool StopRequested() { return Settings().stopRequested.load() != 0; }

}  // namespace quillmark
