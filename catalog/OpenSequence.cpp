#include "catalog/OpenSequence.h"

#include "catalog/Snapshot.h"
#include "engine/AppSettings.h"

namespace quillmark {

void ResetDatabaseValues() {
  AppSettings& settings = Settings();
  const AppSettings initial;
  settings.isSql2000 = initial.isSql2000;
  settings.versionText = initial.versionText;
  settings.collationKnown = initial.collationKnown;
  settings.collationId = initial.collationId;
  settings.collationCodePage = initial.collationCodePage;
  settings.collationName = initial.collationName;
}

OpenedDatabaseFile OpenDatabase(const std::string& path, std::uint8_t advanced, platform::MessageTarget* target) {
  ResetDatabaseValues();
  InstallSnapshotLoader();
  OpenedDatabaseFile opened;
  opened.file = DatabaseFile::Open(path, advanced, target);
  if (!opened.file->opened) return opened;
  opened.catalog = std::make_unique<DatabaseCatalog>(*opened.file);
  opened.file->catalog = opened.catalog.get();
  return opened;
}

}  // namespace quillmark
