// The bounds the xml decoder keeps, and its entry points with the cap as a
// parameter, so that tests can reach it with small values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/Bytes.h"

namespace quillmark::binxml {

// Of a value joined from its chunks, and of the text written for a value.
inline constexpr std::size_t kMaxXmlBytes = std::size_t{64} << 20;
// Open elements and nested documents together.
inline constexpr std::size_t kMaxXmlDepth = 512;

std::u16string Decode(ByteSpan bytes, std::size_t maxTextBytes);
std::u16string DecodeChunks(std::vector<ByteVector>& chunks, std::size_t maxBytes);

}  // namespace quillmark::binxml
