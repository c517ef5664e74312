#include "engine/PageHeader.h"

#include <fmt/format.h>

#include "engine/Bytes.h"

namespace quillmark {

void RestoreTornBits(std::span<std::uint8_t> page, std::uint32_t tornBits) {
  constexpr std::size_t kSector = 512;
  for (std::size_t sector = 1; sector < 16; ++sector) {
    std::size_t last = kSector * sector + kSector - 1;
    if (last >= page.size()) break;
    auto original = static_cast<std::uint8_t>((tornBits >> (2 * sector)) & 3);
    page[last] = static_cast<std::uint8_t>((page[last] & ~3u) | original);
  }
}

CPage_Header CPage_Header::Parse(std::span<std::uint8_t> page) {
  ByteSpan bytes(page.data(), page.size());
  CPage_Header header;
  header.headerVersion = ReadLeOr<std::uint8_t>(bytes, 0);
  header.pageType = ReadLeOr<std::uint8_t>(bytes, 1);
  header.typeFlagBits = ReadLeOr<std::uint8_t>(bytes, 2);
  header.level = ReadLeOr<std::uint8_t>(bytes, 3);
  header.flagBits = ReadLeOr<std::uint16_t>(bytes, 4);
  header.indexId = ReadLeOr<std::uint16_t>(bytes, 6);
  header.previousPage = ReadPagePointer(bytes, 8);
  header.fixedLength = ReadLeOr<std::uint16_t>(bytes, 14);
  header.nextPage = ReadPagePointer(bytes, 16);
  header.slotCount = ReadLeOr<std::int16_t>(bytes, 22);
  header.objectId = ReadLeOr<std::int32_t>(bytes, 24);
  header.freeCount = ReadLeOr<std::int16_t>(bytes, 28);
  header.freeData = ReadLeOr<std::uint16_t>(bytes, 30);
  header.thisPage = ReadPagePointer(bytes, 32);
  header.reservedCount = ReadLeOr<std::uint16_t>(bytes, 38);
  header.lsn = fmt::format("( {} : {} : {} )", ReadLeOr<std::int32_t>(bytes, 40), ReadLeOr<std::int32_t>(bytes, 44),
                           ReadLeOr<std::int16_t>(bytes, 48));
  header.transactionReserved = ReadLeOr<std::uint16_t>(bytes, 50);
  header.transactionId =
      fmt::format("( {} : {} )", ReadLeOr<std::int16_t>(bytes, 56), ReadLeOr<std::int32_t>(bytes, 52));
  header.ghostRecordCount = ReadLeOr<std::int16_t>(bytes, 58);
  header.tornBits = ReadLeOr<std::uint32_t>(bytes, 60);
  if (header.flagBits & kTornBitsFlag) RestoreTornBits(page, header.tornBits);
  return header;
}

}  // namespace quillmark
