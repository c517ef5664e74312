// The collation list "collation.txt": one collation per line as name, tab,
// collation id, tab, code page. It pairs the collation id stored in a boot page
// with the collation's name and the code page of its 8-bit text.
#pragma once

#include <filesystem>
#include <istream>

#include "engine/AppSettings.h"

namespace quillmark {

// Reads the list from "collation.txt" (in the program's folder, or in the share
// folder of an installed program: platform::ProgramDataFile) into
// Settings().collationMap. A missing file leaves the map empty.
void LoadCollationList();
void LoadCollationList(const std::filesystem::path& path, CollationMap& map);
void ParseCollationList(std::istream& in, CollationMap& map);

// The number at the start of `text` as strtoll reads it, saturated to 64 bits;
// a value in 2^31 ... 2^32 - 1 wraps to the negative 32-bit number with the same
// bits, the way the boot page's signed collation field stores it.
std::int64_t ParseCollationNumber(const char* text);

}  // namespace quillmark
