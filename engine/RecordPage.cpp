#include "engine/RecordPage.h"

#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/TextMixPage.h"

namespace quillmark {
namespace {

// A slot array longer than 3999 entries would not fit a page beside its header;
// the count a header claims is believed only below this, which also bounds the
// records (and catalog objects) one page can give.
constexpr std::int32_t kMaxSlotCount = 4000;
constexpr std::uint16_t kFirstRecordOffset = 96;
constexpr std::uint16_t kLastRecordOffset = 8191;

bool UsableSlotOffset(std::uint16_t offset) {
  return offset >= kFirstRecordOffset && offset <= kLastRecordOffset;
}

}  // namespace

RecordPage::RecordPage(PageBuffer buffer, DatabaseFile* owner) : file(owner), data(std::move(buffer)) {
  if (!data) return;
  header = std::make_unique<CPage_Header>(CPage_Header::Parse(std::span<std::uint8_t>(data.get(), kPageSize)));
  ReadSlotArray();
}

std::vector<std::uint16_t> ReadSlotOffsets(ByteSpan page, std::int32_t slotCount) {
  std::vector<std::uint16_t> offsets;
  if (slotCount <= 0 || slotCount >= kMaxSlotCount || page.size() < kPageSize) return offsets;
  offsets.reserve(static_cast<std::size_t>(slotCount));
  for (std::int32_t slot = 0; slot < slotCount; ++slot)
    offsets.push_back(ReadLeOr<std::uint16_t>(page, kPageSize - 2 - 2 * static_cast<std::size_t>(slot)));
  return offsets;
}

std::int32_t ReadSlotOffset(ByteSpan page, std::int32_t slotCount, std::uint16_t slot) {
  if (slotCount <= 0 || slotCount >= kMaxSlotCount || slot >= slotCount || page.size() < kPageSize) return -1;
  return ReadLeOr<std::uint16_t>(page, kPageSize - 2 - 2 * static_cast<std::size_t>(slot));
}

void RecordPage::ReadSlotArray() {
  slotOffsets.clear();
  if (StopRequested() || !header) return;
  slotOffsets = ReadSlotOffsets(Bytes(), header->slotCount);
}

PrimaryRecordPage::PrimaryRecordPage(PageBuffer buffer, DatabaseFile* owner, AllSlots form)
    : RecordPage(std::move(buffer), owner) {
  ReadCompressionInfo();
  if (form.scanDeletedRecords && Settings().showDeletedRecords && Settings().showAdvancedDeletedRecords)
    ScanDeletedRecords();
  BuildAllRecords();
}

PrimaryRecordPage::PrimaryRecordPage(PageBuffer buffer, DatabaseFile* owner, int slotIndex)
    : RecordPage(std::move(buffer), owner) {
  ReadCompressionInfo();
  std::unique_ptr<CPrimaryRecord> record;
  // Without a slot array (slotCount at or outside 1 ... 3999) no slot can be read.
  if (header && slotIndex >= 0 && static_cast<std::size_t>(slotIndex) < slotOffsets.size()) {
    std::uint16_t offset = slotOffsets[static_cast<std::size_t>(slotIndex)];
    if (UsableSlotOffset(offset)) record = BuildRecord(offset, CPrimaryRecord::Mode::kStubTarget);
  }
  records.push_back(std::move(record));
  slotOffsets.clear();
}

bool PrimaryRecordPage::SkipsAllRecords() const {
  if (!header || !HasSlotArray() || header->slotCount > 8192) return true;
  const CPage_Header& h = *header;
  return h.ghostRecordCount < 0 || h.freeCount < 0 || h.nextPage.pageNumber < 0 || h.thisPage.pageNumber < 0 ||
         h.previousPage.pageNumber < 0;
}

void PrimaryRecordPage::BuildAllRecords() {
  if (SkipsAllRecords()) {
    slotOffsets.clear();
    return;
  }
  const CPage_Header& h = *header;
  bool nonLeafIndex = h.pageType == kIndexPageType && h.level != 0;
  bool allGhosts = h.ghostRecordCount >= h.slotCount && !Settings().showDeletedRecords;
  records.reserve(slotOffsets.size());
  // Two slots of a real page never share a record: a slot whose offset an
  // earlier slot already named gives no record, so a slot array that repeats
  // one offset thousands of times yields that record once.
  std::vector<bool> taken(kPageSize + 1);
  for (std::uint16_t offset : slotOffsets) {
    const bool repeated = offset <= kPageSize && taken[offset];
    if (offset <= kPageSize) taken[offset] = true;
    if (nonLeafIndex || allGhosts || repeated || !UsableSlotOffset(offset))
      records.push_back(nullptr);
    else
      records.push_back(BuildRecord(offset, CPrimaryRecord::Mode::kFollowStubs));
  }
  slotOffsets.clear();
}

std::unique_ptr<CPrimaryRecord> PrimaryRecordPage::BuildRecord(std::uint16_t offset, CPrimaryRecord::Mode mode) {
  auto record = std::make_unique<CPrimaryRecord>(Bytes().subspan(offset), Context(), mode);
  if (!record->followedStub) record->pageOffset = offset;
  CompressedRecordRebuilder* rebuilder = Settings().listingContext;
  if (record->compressed && !record->invalid && !Settings().isSql2000 && rebuilder) rebuilder->Rebuild(*record, *this);
  return record;
}

CDataPage::CDataPage(PageBuffer buffer, DatabaseFile* owner)
    : PrimaryRecordPage(std::move(buffer), owner, AllSlots{true}) {}

}  // namespace quillmark
