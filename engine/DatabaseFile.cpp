#include "engine/DatabaseFile.h"

#include <algorithm>
#include <limits>

#include "engine/AppSettings.h"
#include "engine/BootPage.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"
#include "engine/PagePass.h"
#include "engine/RecordPage.h"
#include "engine/TextMixPage.h"

namespace quillmark {
namespace {

using platform::WM_APP_FATAL;
using platform::WM_APP_PANEL_TEXT;
using platform::WM_APP_PROGRESS_POS;
using platform::WM_APP_PROGRESS_RANGE;

constexpr std::uint16_t kFirstUserIndexId = 256;
constexpr std::int64_t kBootPageNumber = 9;
constexpr std::int32_t kBootObjectId = 7;      // sysallocunits, SQL Server 2005 and later
constexpr std::int32_t kBootFallbackId = 41;   // syscolpars

SnapshotLoader& InstalledSnapshotLoader() {
  static SnapshotLoader loader;
  return loader;
}

}  // namespace

bool IsSystemObjectId(std::int32_t objectId) {
  switch (objectId) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 13: case 14: case 20: case 21:
    case 34: case 41: case 50: case 53: case 54: case 55: case 60: case 74: case 99: case 2187:
      return true;
    default:
      return false;
  }
}

std::int32_t PageMapKey(std::int32_t objectId, std::uint16_t indexId) {
  if (indexId < kFirstUserIndexId) return objectId;
  return static_cast<std::int32_t>(-1 - static_cast<std::int64_t>(objectId));
}

std::int32_t AllocationUnitPageKey(std::int64_t allocationUnitId) {
  auto bits = static_cast<std::uint64_t>(allocationUnitId);
  auto indexId = static_cast<std::uint16_t>(bits >> 48);
  auto objectField = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 16));
  return PageMapKey(objectField, indexId);
}

DatabaseFile::DatabaseFile() = default;
DatabaseFile::~DatabaseFile() = default;

void DatabaseFile::SetSnapshotLoader(SnapshotLoader loader) { InstalledSnapshotLoader() = std::move(loader); }

std::unique_ptr<DatabaseFile> DatabaseFile::Open(const std::string& path, std::uint8_t advanced,
                                                 platform::MessageTarget* frameWindow) {
  auto database = std::make_unique<DatabaseFile>();
  DatabaseFile& db = *database;
  db.path = path;
  db.advanced = advanced;
  db.frameWindow = frameWindow;
  db.opened = true;

  auto fail = [&db](const char* text) {
    db.opened = false;
    platform::SendText(db.frameWindow, WM_APP_FATAL, text);
  };

  db.file_ = platform::ReadOnlyFile::Open(path);
  if (!db.file_) {
    fail(kFileCannotBeOpen);
  } else if (db.file_->Length() < kPageSize) {
    fail(kNotValidMdf);
  } else {
    db.fileLength = db.file_->Length();
    std::uint64_t remainder = db.fileLength % kPageSize;
    db.pageCount = (db.fileLength - remainder) / kPageSize;
    db.baseOffset = remainder;
    if (!db.CheckAlignment()) db.baseOffset = 0;
    // A stop during the pass leaves partial maps: the open fails without a
    // message of its own, since the user asked for it.
    if (StopRequested()) {
      db.opened = false;
    } else {
      bool mapped = db.MapPages();
      if (StopRequested())
        db.opened = false;
      else if (!mapped)
        fail(kNotValidMdf);
    }
  }
  if (StopRequested()) Settings().stopRequested = 0;
  return database;
}

bool DatabaseFile::CheckAlignment() {
  if (!file_) return false;
  // The base offset holds the remainder while the check runs.
  bool keepRemainder = CheckFileAlignment(*file_, pageCount, baseOffset, frameWindow);
  if (!keepRemainder) baseOffset = 0;
  return keepRemainder;
}

bool DatabaseFile::MapPages() {
  if (Settings().snapshotMode) return MapSnapshot();
  SendProgressRange(pageCount);
  SendProgressPos(0);
  SendPanelText(kMappingObjects);
  if (!file_) return false;

  file_->AdviseSequential();
  const std::uint64_t step = ProgressStep(pageCount);
  // Positions are 32-bit in the maps; a larger file is mapped up to there.
  const std::uint64_t last = std::min<std::uint64_t>(pageCount, std::numeric_limits<std::int32_t>::max());
  std::size_t systemPageCount = 0;
  bool read = ScanPages(*file_, baseOffset, 0, last, [&](std::uint64_t position, const std::uint8_t* page) {
    if (StopRequested()) return false;
    MapPage(page, static_cast<std::int32_t>(position), systemPageCount);
    if ((position + 1) % step == 0) SendProgressPos(position + 1);
    return true;
  });
  if (!read) return false;
  // The lists grew by doubling: give back what they hold beyond their entries,
  // so that the maps keep about 10 bytes per page.
  for (PageMap* map : {&systemPages, &dataPages, &iamPages})
    for (auto& [key, list] : *map) list.shrink_to_fit();
  SendProgressPos(pageCount);
  SendPanelText(kMappingDone);
  return systemPageCount > 0;
}

void DatabaseFile::MapPage(const std::uint8_t* page, std::int32_t position, std::size_t& systemPageCount) {
  ByteSpan header(page, kPageHeaderSize);
  const auto type = ReadLeOr<std::uint8_t>(header, 1);
  const auto indexId = ReadLeOr<std::uint16_t>(header, 6);
  const auto objectId = ReadLeOr<std::int32_t>(header, 24);
  const auto fileId = ReadLeOr<std::uint16_t>(header, 36);
  const PageEntry entry{fileId, position, type};

  // System tables of 2005 and later live in allocation units with index ids
  // below 256; every page of a SQL Server 2000 file has one too.
  if (IsSystemObjectId(objectId) && indexId < kFirstUserIndexId) {
    systemPages[objectId].push_back(entry);
    ++systemPageCount;
  }
  if (objectId > 0) {
    if (type == kDataPageType)
      dataPages[PageMapKey(objectId, indexId)].push_back(entry);
    else if (type == kIamPageType)
      iamPages[PageMapKey(objectId, indexId)].push_back(entry);
  }
}

bool DatabaseFile::MapSnapshot() {
  const SnapshotLoader& loader = InstalledSnapshotLoader();
  bool loaded = loader && loader(Settings().snapshotPath, *this) && !systemPages.empty();
  if (loaded) SendPanelText(kSnapshotLoaded);
  return loaded;
}

std::uint64_t DatabaseFile::PageCountOf(std::uint16_t fileId) const {
  if (fileId == kPrimaryFileId) return pageCount;
  auto found = secondaryFiles.find(fileId);
  return found == secondaryFiles.end() ? 0 : found->second.pageCount;
}

PageBuffer DatabaseFile::ReadPage(PageId page) const {
  if (page.fileId == 0 || page.pageNumber < 1) return nullptr;
  pagesRead.fetch_add(1, std::memory_order_relaxed);
  const auto number = static_cast<std::uint64_t>(page.pageNumber);
  if (page.fileId == kPrimaryFileId) {
    if (!file_ || number >= pageCount) return nullptr;
    std::uint64_t offset = baseOffset + number * kPageSize;
    if (offset + kPageSize > fileLength) return nullptr;
    PageBuffer buffer = AllocatePageBuffer();
    if (buffer) file_->ReadAt(offset, buffer.get(), kPageSize);
    return buffer;
  }

  auto found = secondaryFiles.find(page.fileId);
  if (found == secondaryFiles.end() || found->second.path.empty()) return nullptr;
  const SecondaryFile& secondary = found->second;
  if (number >= secondary.pageCount || secondary.baseOffset < 0) return nullptr;
  std::uint64_t offset = static_cast<std::uint64_t>(secondary.baseOffset) + number * kPageSize;
  if (offset + kPageSize > secondary.length) return nullptr;
  // A secondary file is opened for this one read only.
  auto file = platform::ReadOnlyFile::Open(secondary.path);
  if (!file) return nullptr;
  PageBuffer buffer = AllocatePageBuffer();
  if (buffer) file->ReadAt(offset, buffer.get(), kPageSize);
  return buffer;
}

std::unique_ptr<CPage_Header> DatabaseFile::ReadPageHeader(PageId page) const {
  PageBuffer buffer = ReadPage(page);
  if (!buffer) return nullptr;
  return std::make_unique<CPage_Header>(CPage_Header::Parse(std::span<std::uint8_t>(buffer.get(), kPageSize)));
}

std::unique_ptr<CDataPage> DatabaseFile::ReadDataPage(PageId page) {
  PageBuffer buffer = ReadPage(page);
  if (!buffer) return nullptr;
  return std::make_unique<CDataPage>(std::move(buffer), this);
}

std::unique_ptr<IamPage> DatabaseFile::ReadIamPage(PageId page) {
  PageBuffer buffer = ReadPage(page);
  if (!buffer) return nullptr;
  return std::make_unique<IamPage>(std::move(buffer), this);
}

std::unique_ptr<TextMixPage> DatabaseFile::ReadTextPage(PageId page) {
  PageBuffer buffer = ReadTextPageBytes(page);
  if (!buffer) return nullptr;
  return std::make_unique<TextMixPage>(std::move(buffer), this);
}

PageBuffer DatabaseFile::ReadTextPageBytes(PageId page) {
  // A page stored at position P that calls itself X means every page sits
  // X - P places away from its number: read 2P - X instead.
  PageBuffer first = ReadPage(page);
  std::int64_t target = page.pageNumber;
  if (first)  // the header's own page number (offset 32), read without restoring torn bits
    target = 2 * static_cast<std::int64_t>(page.pageNumber) - ReadPagePointer(ByteSpan(first.get(), kPageSize), 32).pageNumber;
  if (target < 1 || target > std::numeric_limits<std::int32_t>::max() ||
      static_cast<std::uint64_t>(target) >= PageCountOf(page.fileId))
    return nullptr;
  // An unshifted page (the usual case) is the one already read.
  if (first && target == page.pageNumber) return first;
  return ReadPage(PageId{page.fileId, static_cast<std::int32_t>(target)});
}

std::unique_ptr<CBootPage> DatabaseFile::LocateBootPage() {
  const PageList* owners = &SystemPages(kBootObjectId);
  if (owners->empty()) owners = &SystemPages(kBootFallbackId);
  std::int64_t shift = 0;
  if (!owners->empty()) {
    const PageEntry& first = owners->front();
    if (auto header = ReadPageHeader(first.Page()))
      shift = static_cast<std::int64_t>(header->thisPage.pageNumber) - first.pageNumber;
  }
  const std::int64_t boot = kBootPageNumber - shift;
  if (!file_ || boot <= 0 || static_cast<std::uint64_t>(boot) >= pageCount) return nullptr;
  std::vector<std::uint8_t> page(kPageSize, 0);
  file_->ReadAt(baseOffset + static_cast<std::uint64_t>(boot) * kPageSize, page.data(), kPageSize);
  return std::make_unique<CBootPage>(ByteSpan(page));
}

void DatabaseFile::ReadBootPage() {
  databaseName.clear();
  if (auto boot = LocateBootPage()) databaseName = boot->name();
}

const PageList& DatabaseFile::Lookup(const PageMap& map, std::int32_t key) {
  static const PageList kEmpty;
  auto found = map.find(key);
  return found == map.end() ? kEmpty : found->second;
}

void DatabaseFile::SendProgressRange(std::uint64_t range) const {
  platform::Send(frameWindow, WM_APP_PROGRESS_RANGE, 0, static_cast<platform::LParam>(range & 0xFFFFFFFFu));
}

void DatabaseFile::SendProgressPos(std::uint64_t position) const {
  platform::Send(frameWindow, WM_APP_PROGRESS_POS, static_cast<platform::WParam>(position), 0);
}

void DatabaseFile::SendPanelText(const char* text) const { platform::SendText(frameWindow, WM_APP_PANEL_TEXT, text); }

}  // namespace quillmark
