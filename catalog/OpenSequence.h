// Opening a database as a scan does: the file mapped (or its maps loaded from a
// snapshot), then its catalog built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "catalog/DatabaseCatalog.h"
#include "engine/DatabaseFile.h"

namespace quillmark {

struct OpenedDatabaseFile {
  std::unique_ptr<DatabaseFile> file;
  std::unique_ptr<DatabaseCatalog> catalog;  // null when the file did not open

  bool opened() const { return file && file->opened; }
};

// The version text and collation values of an earlier open are cleared first,
// so nothing of another database carries over when this one's boot page is
// unreadable or its collation unknown.
OpenedDatabaseFile OpenDatabase(const std::string& path, std::uint8_t advanced, platform::MessageTarget* target);

// Puts the values read from a boot page back to their initial state.
void ResetDatabaseValues();

}  // namespace quillmark
