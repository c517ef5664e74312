// Page addresses as a user types and reads them: "N" or "FILEID:N" on the
// command line, "(FILEID:N)" in reports.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/DatabaseFile.h"

namespace quillmark::cli {

// "9" is page 9 of the primary file; "1:9" the same. Null for anything else.
std::optional<PageId> ParsePageAddress(std::string_view text);

std::string PageAddressText(PageId page);

// Why `page` cannot be read from `db`, as the one-line error a command ends with.
std::string UnreadablePageMessage(const DatabaseFile& db, PageId page);

}  // namespace quillmark::cli
