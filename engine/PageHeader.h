// The 96-byte header at the start of every page.
//
//   offset width field
//    0     1    headerVersion
//    1     1    pageType             1 data, 2 index, 3/4 text, 10 IAM, 13 boot ...
//    2     1    typeFlagBits         0x80: a compression-information record follows the header
//    3     1    level                index level, non-zero above the leaf
//    4     2    flagBits             0x100: torn-page bits are present
//    6     2    indexId              256 and above: a user allocation unit (2005 and later)
//    8     6    previousPage         page pointer (page number, file id)
//   14     2    fixedLength
//   16     6    nextPage             page pointer
//   22     2    slotCount            signed
//   24     4    objectId             owning object (allocation unit) id
//   28     2    freeCount            signed
//   30     2    freeData
//   32     6    thisPage             the page's own page number (signed) and file id
//   38     2    reservedCount
//   40    10    lsn                  32-bit, 32-bit, 16-bit
//   50     2    transactionReserved
//   52     6    transactionId        32-bit at 52, 16-bit at 56
//   58     2    ghostRecordCount     signed
//   60     4    tornBits             two bits per 512-byte sector
//   64    32    (not read)
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/PageId.h"

namespace quillmark {

class CPage_Header {
 public:
  // Parses the header of `page` (a whole page). When the page carries torn-page
  // bits they are put back into the page bytes first, since the records are read
  // from the same bytes afterwards.
  static CPage_Header Parse(std::span<std::uint8_t> page);

  std::int16_t freeCount = 0;
  std::uint16_t freeData = 0;
  std::uint16_t flagBits = 0;
  std::string lsn;  // "( %d : %d : %d )"
  std::int32_t objectId = 0;
  std::uint32_t pageType = 0;
  std::uint16_t fixedLength = 0;
  std::uint16_t indexId = 0;
  std::uint8_t typeFlagBits = 0;
  std::int16_t slotCount = 0;
  std::string transactionId;  // "( %d : %d )"
  std::uint16_t transactionReserved = 0;
  std::uint16_t reservedCount = 0;
  std::uint8_t level = 0;
  std::uint8_t headerVersion = 0;
  std::int16_t ghostRecordCount = 0;
  std::uint32_t tornBits = 0;
  PageId nextPage;
  PageId previousPage;
  PageId thisPage;
};

inline constexpr std::uint16_t kTornBitsFlag = 0x100;
inline constexpr std::uint8_t kCompressionInfoFlag = 0x80;

inline constexpr std::uint32_t kDataPageType = 1;
inline constexpr std::uint32_t kIndexPageType = 2;
inline constexpr std::uint32_t kIamPageType = 10;
// Records of pages whose type is above this are refused.
inline constexpr std::uint32_t kHighestRecordPageType = 17;

// Puts the original low two bits back into the last byte of sectors 1 ... 15.
void RestoreTornBits(std::span<std::uint8_t> page, std::uint32_t tornBits);

}  // namespace quillmark
