// The atomic value tokens of binary XML (01-8C) and their text: typed values
// read the way SQL Server writes them when it turns an xml value into text.
#pragma once

#include <cstdint>
#include <string>

#include "values/BinaryXmlReader.h"

namespace quillmark::binxml {

inline constexpr std::uint8_t kQNameValue = 0x8C;

bool IsAtomicToken(std::uint8_t token);
// The character types: two of them in a row join without a separator.
bool IsStringToken(std::uint8_t token);
// nvarchar, nchar and ntext: the only values a namespace declaration may hold.
bool IsUnicodeTextToken(std::uint8_t token);

// The text of the value that follows `token` (read past it). The qname value
// (8C) needs the decoder's tables and is read there.
std::u16string ReadAtomicText(std::uint8_t token, Reader& in);

}  // namespace quillmark::binxml
