#include "engine/LargeObjects.h"

#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/LobStructures.h"
#include "engine/TextMixPage.h"

namespace quillmark {
namespace {

constexpr std::size_t kTextPointerRowOffset = 8;
constexpr std::size_t kInRowRootHeaderLength = 12;
constexpr std::size_t kInRowLinkLength = 12;
// In-row root links with a file id above this name the primary file.
constexpr std::uint16_t kHighestLinkFileId = 1000;

}  // namespace

LargeValueReader::LargeValueReader(DatabaseFile* file, LobFlags flags, LobChunks* chunks)
    : file_(file), flags_(flags), chunks_(chunks) {}

void LargeValueReader::FollowLink(RowId row) {
  if (!file_ || Full() || depth_ >= kMaxLinkDepth || work_.linksFollowed >= kMaxValueLinks) return;
  ByteVector fragment;
  std::int32_t bodyLength = 0;
  {
    ++work_.linksFollowed;
    PageBuffer bytes = LinkedPage(row.page);
    if (!bytes) return;
    auto page = std::make_unique<TextMixPage>(std::move(bytes), file_, row.slot);
    if (page->records.empty()) return;
    // Slots that share one record lead to the same bytes: read them once.
    if (!visited_.emplace(row.page.fileId, row.page.pageNumber, page->recordOffset).second) return;
    auto* record = dynamic_cast<TextRecord*>(page->records.front().get());
    if (!record || record->fixedData.empty()) return;
    fragment = std::move(record->fixedData);
    bodyLength = record->bodyLength;
    work_.bytesCopied += fragment.size();
  }  // the page is released before the links below it are followed
  ++depth_;
  ReadFragment(fragment, bodyLength);
  --depth_;
}

PageBuffer LargeValueReader::LinkedPage(PageId page) {
  if (work_.pagesRead == 0 || !(page == lastPage_)) {
    lastBytes_ = file_->ReadTextPageBytes(page);
    lastPage_ = page;
    ++work_.pagesRead;
  }
  if (!lastBytes_) return nullptr;
  PageBuffer copy = AllocatePageBuffer();
  if (copy) std::copy(lastBytes_.get(), lastBytes_.get() + kPageBufferSize, copy.get());
  return copy;
}

void LargeValueReader::ReadFragment(ByteSpan fragment, std::int32_t bodyLength) {
  if (auto structure = ParseFragment(fragment, bodyLength)) structure->AppendTo(*this);
}

void LargeValueReader::AppendText(std::u16string_view text) {
  const std::size_t room = (kMaxValueBytes - std::min(size_, kMaxValueBytes)) / sizeof(char16_t);
  text = text.substr(0, room);
  text_.append(text);
  size_ += text.size() * sizeof(char16_t);
}

void LargeValueReader::AppendBytes(ByteSpan bytes) {
  if (!chunks_) return;
  bytes = bytes.first(std::min(bytes.size(), kMaxValueBytes - std::min(size_, kMaxValueBytes)));
  if (bytes.empty()) return;
  chunks_->emplace_back(bytes.begin(), bytes.end());
  size_ += bytes.size();
}

std::u16string ReadTextPointer(ByteSpan pointer, const PageContext& page, LobFlags flags) {
  LargeValueReader reader(page.file, flags);
  if (Fits(pointer, kTextPointerRowOffset, 8)) reader.FollowLink(ReadRowPointer(pointer, kTextPointerRowOffset));
  std::u16string text = reader.TakeText();
  return text.empty() ? u" " : text;
}

std::u16string ReadInRowRoot(ByteSpan root, const PageContext& page, LobFlags flags, LobChunks* chunks) {
  LargeValueReader reader(page.file, flags, chunks);
  for (std::size_t offset = kInRowRootHeaderLength; Fits(root, offset, kInRowLinkLength); offset += kInRowLinkLength) {
    if (StopRequested() || reader.Full()) break;
    if (ReadLeOr<std::int32_t>(root, offset) <= 0) continue;
    RowId row = ReadRowPointer(root, offset + 4);
    if (row.page.fileId > kHighestLinkFileId) row.page.fileId = kPrimaryFileId;
    reader.FollowLink(row);
  }
  return reader.TakeText();
}

std::u16string ReadFragment(ByteSpan fragment, std::int32_t bodyLength, DatabaseFile* file, LobFlags flags,
                            LobChunks* chunks) {
  LargeValueReader reader(file, flags, chunks);
  reader.ReadFragment(fragment, bodyLength);
  return reader.TakeText();
}

}  // namespace quillmark
