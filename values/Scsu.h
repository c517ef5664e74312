// The Standard Compression Scheme for Unicode (UTS #6), as SQL Server uses it
// for nchar and nvarchar values of compressed records: each value is one SCSU
// string, decoded from the initial state.
#pragma once

#include <string>

#include "engine/Bytes.h"

namespace quillmark {

// The UTF-16 text of an SCSU string. A reserved tag, a reserved window offset
// or a sequence cut off by the end stops the decoding with the text so far; a
// single byte left over at the end in Unicode mode (padding) is dropped.
std::u16string DecodeScsu(ByteSpan bytes);

}  // namespace quillmark
