// CSV export of what the records list shows: the column titles, then every row
// of the list, as UTF-16LE text without a byte-order mark, "," between fields
// and CR LF after each line. A field holding a comma, a quote or a line break
// is quoted, its quotes doubled, so cells never shift.
#pragma once

#include <string>

#include "platform/Controls.h"

namespace quillmark {

// The file name suggested for an object's export: its name and "_", with every
// character a file name cannot safely hold replaced by "_".
std::u16string SuggestedCsvName(const std::u16string& objectName);

// Writes every column and row of `list` to `path`. False when the file cannot
// be created or a write or the close fails; a partial file is removed then.
bool WriteCsv(const platform::RecordsList& list, const std::string& path);

}  // namespace quillmark
