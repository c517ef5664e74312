#include "catalog/CatalogReader.h"

#include "catalog/RowFields.h"
#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/RecordPage.h"
#include "platform/Messages.h"

namespace quillmark {

void CatalogReader::ReadTable(std::int32_t objectId,
                              const std::function<void(const CRecord&, const CDataPage&)>& readRow,
                              Options options) {
  // A copy: a row reader may add pages to the maps (the file table's secondary files).
  const PageList pages = file_->SystemPages(objectId);
  for (const PageEntry& entry : pages) {
    if (StopRequested()) return;
    if (options.dataPagesOnly && entry.pageType != kDataPageType) continue;
    auto page = file_->ReadDataPage(entry.Page());
    // Rows live on data pages; the table's IAM and allocation pages hold no rows of it.
    if (!page || !page->header || page->header->pageType != kDataPageType) continue;
    const std::int32_t slots = page->header->slotCount;
    const std::size_t count = std::min<std::size_t>(slots < 1 ? 0 : static_cast<std::size_t>(slots), page->records.size());
    for (std::size_t i = 0; i < count; ++i) {
      if (StopRequested()) return;
      const CRecord* record = page->records[i].get();
      if (!record || record->invalid || record->recordType == kBlobFragment) continue;
      if (options.skipIndexRecords && record->recordType == kIndexRecord) continue;
      readRow(*record, *page);
    }
    if (options.afterPage) options.afterPage();
    PageDone();
  }
}

void CatalogReader::StartProgress(std::uint64_t pages) {
  progressPages_ = pages;
  progressStep_ = std::max<std::uint64_t>(1, (pages + 99) / 100);
  pagesRead_ = 0;
  platform::Send(file_->frameWindow, platform::WM_APP_PROGRESS_RANGE, 0, static_cast<platform::LParam>(pages));
  platform::Send(file_->frameWindow, platform::WM_APP_PROGRESS_POS, 0, 0);
}

void CatalogReader::EndProgress() {
  if (progressStep_ == 0) return;
  platform::Send(file_->frameWindow, platform::WM_APP_PROGRESS_POS, static_cast<platform::WParam>(progressPages_), 0);
  progressStep_ = 0;
}

void CatalogReader::PageDone() {
  ++pagesRead_;
  if (progressStep_ != 0 && pagesRead_ % progressStep_ == 0 && pagesRead_ <= progressPages_)
    platform::Send(file_->frameWindow, platform::WM_APP_PROGRESS_POS, static_cast<platform::WParam>(pagesRead_), 0);
}

std::u16string CatalogReader::ReplacementName(const char16_t* prefix) {
  std::string number = std::to_string(replacementCounter_++);
  return std::u16string(prefix) + std::u16string(number.begin(), number.end());
}

std::u16string CatalogReader::NameOf(const CRecord& record, const char16_t* prefixWhenMissing) {
  std::optional<std::u16string> name = FirstVariableText(record);
  if (!name) return ReplacementName(prefixWhenMissing);
  if (name->empty()) return ReplacementName(kRepairColumn);
  return *name;
}

}  // namespace quillmark
