// The commands behind quillmark-cli. Each prints its report to `out` and throws
// CliError for anything that ends it early; the message is one line.
#pragma once

#include <ostream>
#include <stdexcept>

#include "engine/DatabaseFile.h"

namespace quillmark::cli {

struct CliError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void InfoCommand(DatabaseFile& db, bool json, std::ostream& out);
void PageCommand(DatabaseFile& db, PageId page, bool hex, std::ostream& out);
void IamCommand(DatabaseFile& db, PageId page, std::ostream& out);

}  // namespace quillmark::cli
