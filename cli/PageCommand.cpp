// `page`: one page laid out the way a SQL Server page dump shows it: the header
// fields by their dump names, each slot's record, the offset table and, on
// request, the page bytes.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <vector>

#include "cli/Commands.h"
#include "cli/FieldRows.h"
#include "cli/PageAddress.h"
#include "engine/AppSettings.h"
#include "engine/RecordPage.h"

namespace quillmark::cli {
namespace {

constexpr std::int32_t kStubLength = 9;  // status byte and an 8-byte row pointer
constexpr std::uint16_t kFirstRecordOffset = 96;

// Record types by the three type bits of status byte A.
constexpr std::array<const char*, 8> kRecordTypeNames = {
    "PRIMARY_RECORD", "FORWARDED_RECORD",   "FORWARDING_STUB",   "INDEX_RECORD",
    "BLOB_FRAGMENT",  "GHOST_INDEX_RECORD", "GHOST_DATA_RECORD", "GHOST_VERSION_RECORD"};

int RecordTypeOf(std::uint8_t status) { return (status >> 1) & 7; }

// The engine writes "( 35 : 365 : 1 )"; a page dump writes "(35:365:1)".
std::string WithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

void PrintHeader(const CPage_Header& h, std::ostream& out) {
  out << "\nPAGE HEADER:\n\n";
  PrintInRows({{"m_pageId", PageAddressText(h.thisPage)},
               {"m_headerVersion", std::to_string(h.headerVersion)},
               {"m_type", std::to_string(h.pageType)},
               {"m_typeFlagBits", fmt::format("{:#x}", h.typeFlagBits)},
               {"m_level", std::to_string(h.level)},
               {"m_flagBits", fmt::format("{:#x}", h.flagBits)},
               {"m_objId", std::to_string(h.objectId)},
               {"m_indexId", std::to_string(h.indexId)},
               {"m_prevPage", PageAddressText(h.previousPage)},
               {"m_nextPage", PageAddressText(h.nextPage)},
               {"pminlen", std::to_string(h.fixedLength)},
               {"m_slotCnt", std::to_string(h.slotCount)},
               {"m_freeCnt", std::to_string(h.freeCount)},
               {"m_freeData", std::to_string(h.freeData)},
               {"m_reservedCnt", std::to_string(h.reservedCount)},
               {"m_lsn", WithoutBlanks(h.lsn)},
               {"m_xactReserved", std::to_string(h.transactionReserved)},
               {"m_xdesId", WithoutBlanks(h.transactionId)},
               {"m_ghostRecCnt", std::to_string(h.ghostRecordCount)},
               {"m_tornBits", std::to_string(h.tornBits)}},
              3, out);
}

std::string Hex(const ByteVector& bytes) {
  if (bytes.empty()) return "none";
  std::string text;
  for (std::uint8_t byte : bytes) text += fmt::format("{}{:02x}", text.empty() ? "" : " ", byte);
  return text;
}

std::string Attributes(std::uint8_t status) {
  std::string text;
  for (auto [bit, name] : {std::pair{0x01, "COMPRESSED"}, std::pair{0x10, "NULL_BITMAP"},
                           std::pair{0x20, "VARIABLE_COLUMNS"}, std::pair{0x40, "VERSIONING_INFO"}})
    if (status & bit) text += fmt::format("{}{}", text.empty() ? "" : " ", name);
  return text;
}

// "24, 31 (complex)": end offsets, each marked when its column is complex.
template <typename EndOf, typename ComplexOf>
std::string EndOffsets(std::size_t count, EndOf endOf, ComplexOf complexOf) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    text += fmt::format("{}{}{}", i ? ", " : "", endOf(i), complexOf(i) ? " (complex)" : "");
  return text.empty() ? "none" : text;
}

void PrintOrdinaryParts(const CRecord& r, std::ostream& out) {
  PrintRow({{"Fixed Data Length", std::to_string(r.fixedLength)},
            {"Column Count", std::to_string(r.columnCount)},
            {"Null Bitmap", Hex(r.nullBitmap)}},
           out);
  if (!r.hasVarColumns) return;
  PrintRow({{"Variable Columns", std::to_string(r.varCount)},
            {"End Offsets", EndOffsets(
                                r.varEndOffsets.size(), [&](std::size_t i) { return r.varEndOffsets[i]; },
                                [&](std::size_t i) { return i < r.varValues.size() && r.varValues[i].complex; })}},
           out);
}

void PrintCompressedParts(const CRecord& r, std::ostream& out) {
  std::string codes;
  for (std::uint32_t code : r.descriptorCodes) codes += fmt::format("{}{}", codes.empty() ? "" : " ", code);
  PrintRow({{"Column Count", std::to_string(r.columnCount)},
            {"Short Data Length", std::to_string(r.fixedLength)},
            {"Null Bitmap", Hex(r.nullBitmap)}},
           out);
  PrintRow({{"Column Descriptors", codes}}, out);
  if (!r.hasVarColumns) return;
  PrintRow({{"Long Data End Offsets",
             EndOffsets(
                 r.longOffsets.size(), [&](std::size_t i) { return r.longOffsets[i].end; },
                 [&](std::size_t i) { return r.longOffsets[i].complex; })}},
           out);
}

// Why the engine built no record for a slot, or refused the one it built.
std::string SkipReason(const CDataPage& page, const CRecord* record, std::uint8_t status) {
  const CPage_Header& h = *page.header;
  if (!record) {
    if (page.records.empty()) return "the page header holds a negative count or page number";
    if (h.pageType == kIndexPageType && h.level != 0) return "non-leaf index page";
    return "every record on the page is a ghost";
  }
  if (h.pageType > kHighestRecordPageType || h.thisPage.pageNumber < 0)
    return fmt::format("page type {} holds no records the engine reads", h.pageType);
  switch (RecordTypeOf(status)) {
    case kIndexRecord: return "index record";
    case kBlobFragment: return "text fragment, read with its text page";
    case kGhostDataRecord: return "deleted (ghost) record";
    case 5:
    case 7: return "ghost record";
    default: return "damaged record";
  }
}

void PrintStub(const CRecord& r, ByteSpan stub, std::ostream& out) {
  RowId target = ReadRowPointer(stub, 1);
  PrintRow({{"Forwarding To", fmt::format("{} Slot {}", PageAddressText(target.page), target.slot)}}, out);
  const auto* primary = dynamic_cast<const CPrimaryRecord*>(&r);
  if (!primary || !primary->followedStub) {
    out << "(forwarded record not read: its slot cannot be read)\n";
    return;
  }
  out << fmt::format("Forwarded Record Size = {}\n", r.recordEnd);
  PrintOrdinaryParts(r, out);
}

void PrintSlot(const CDataPage& page, std::size_t slot, std::uint16_t offset, std::ostream& out) {
  out << fmt::format("\nSlot {} Offset {:#x}", slot, offset);
  if (offset < kFirstRecordOffset || offset >= kPageSize) {
    out << "\n(record not read: slot offset outside 96..8191)\n";
    return;
  }
  const ByteSpan bytes = page.Bytes().subspan(offset);
  const std::uint8_t status = bytes[0];
  const CRecord* record = slot < page.records.size() ? page.records[slot].get() : nullptr;
  const bool usable = record && !record->invalid;
  const bool stub = usable && record->recordType == kForwardingStub;
  if (usable) out << fmt::format(" Length {}", stub ? kStubLength : record->recordEnd);
  out << "\n\n";
  PrintRow({{"Record Type", kRecordTypeNames[static_cast<std::size_t>(RecordTypeOf(status))]},
            {"Record Attributes", Attributes(status)}},
           out);
  PrintRow({{"Status Bits", fmt::format("{:#04x}", status)}}, out);
  if (!usable)
    out << fmt::format("(record not read: {})\n", SkipReason(page, record, status));
  else if (stub)
    PrintStub(*record, bytes, out);
  else if (record->compressed)
    PrintCompressedParts(*record, out);
  else
    PrintOrdinaryParts(*record, out);
}

void PrintOffsetTable(const std::vector<std::uint16_t>& offsets, std::int16_t slotCount, std::ostream& out) {
  out << "\nOFFSET TABLE:\n\n";
  if (offsets.empty()) {
    out << fmt::format("(no slot array: m_slotCnt = {})\n", slotCount);
    return;
  }
  out << "Row - Offset\n";
  for (std::size_t slot = offsets.size(); slot-- > 0;)
    out << fmt::format("{} ({:#x}) - {} ({:#x})\n", slot, slot, offsets[slot], offsets[slot]);
}

bool Printable(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

void PrintHexDump(ByteSpan bytes, std::ostream& out) {
  out << "\nMEMORY DUMP:\n\n";
  for (std::size_t row = 0; row < bytes.size(); row += 16) {
    std::string hex;
    std::string text;
    for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) {
      hex += fmt::format("{:02x} {}", bytes[i], i - row == 7 ? " " : "");
      text += Printable(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
    }
    out << fmt::format("{:04x}  {:<49} |{}|\n", row, hex, text);
  }
}

}  // namespace

void PageCommand(DatabaseFile& db, PageId id, bool hex, std::ostream& out) {
  auto page = db.ReadDataPage(id);
  if (!page || !page->header) throw CliError(UnreadablePageMessage(db, id));
  const std::vector<std::uint16_t> offsets = ReadSlotOffsets(page->Bytes(), page->header->slotCount);

  out << fmt::format("PAGE: {}\n", PageAddressText(id));
  PrintHeader(*page->header, out);
  out << "\nDATA:\n";
  for (std::size_t slot = 0; slot < offsets.size(); ++slot) PrintSlot(*page, slot, offsets[slot], out);
  if (hex) PrintHexDump(page->Bytes(), out);
  PrintOffsetTable(offsets, page->header->slotCount, out);
}

}  // namespace quillmark::cli
