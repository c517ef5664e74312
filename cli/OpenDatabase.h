// Opening the database a command reads.
#pragma once

#include <memory>
#include <string>

#include "cli/ProgressBar.h"
#include "engine/DatabaseFile.h"

namespace quillmark::cli {

// Opens and maps `path`, drawing the pass on `progress` when there is one.
// Throws CliError with the engine's own text when the file is refused.
std::unique_ptr<DatabaseFile> OpenDatabase(const std::string& path, ProgressBar* progress);

}  // namespace quillmark::cli
