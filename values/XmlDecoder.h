// Turns the stored form of an xml value (SQL Server's binary XML) back into
// XML text. Any failure gives empty text.
#pragma once

#include <string>
#include <vector>

#include "engine/Bytes.h"

namespace quillmark {

std::u16string DecodeXmlValue(ByteSpan bytes);

// The large-value form: the chunks a large value was collected in, decoded as
// one value. The chunks are released as they are joined.
std::u16string DecodeXmlChunks(std::vector<ByteVector>& chunks);

}  // namespace quillmark
