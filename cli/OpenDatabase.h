// Opening the database a command reads.
#pragma once

#include <string>

#include "catalog/OpenSequence.h"
#include "cli/ProgressBar.h"

namespace quillmark::cli {

// Opens and maps `path`, drawing the pass on `progress` when there is one;
// `withCatalog` also builds the catalog, as a scan does. Throws CliError with
// the engine's own text when the file is refused.
OpenedDatabaseFile OpenDatabase(const std::string& path, ProgressBar* progress, bool withCatalog);

}  // namespace quillmark::cli
