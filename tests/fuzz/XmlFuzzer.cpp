// The binary XML decoder: the fuzzer's bytes as one stored xml value, and as
// the chunks of a large value (cut where the first byte says).
#include <cstddef>
#include <cstdint>

#include "engine/AppSettings.h"
#include "values/XmlDecoder.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ResetSettings();
  DecodeXmlValue(ByteSpan(data, size));
  if (size < 2) return 0;
  const std::size_t step = 1 + data[0] % 64;
  std::vector<ByteVector> chunks;
  for (std::size_t at = 1; at < size; at += step)
    chunks.emplace_back(data + at, data + std::min(size, at + step));
  DecodeXmlChunks(chunks);
  return 0;
}
