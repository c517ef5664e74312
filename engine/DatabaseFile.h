// One opened database: the primary data file read as 8 KB pages, where its page
// 0 starts, the page maps built by one pass over every page header, the
// secondary files of the file set, and page reads by address.
//
// A page's file offset is baseOffset + pageNumber * 8192. The page maps key each
// page by the owner written in its header (offset 24), not by allocation chains,
// so a damaged file still opens.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/PageBuffer.h"
#include "engine/PageId.h"
#include "platform/Messages.h"
#include "platform/ReadOnlyFile.h"

namespace quillmark {

class CBootPage;
class CDataPage;
class CPage_Header;
class DatabaseCatalog;
class DatabaseFile;
class IamPage;
class TextMixPage;

using PageList = std::vector<PageEntry>;
using PageMap = std::map<std::int32_t, PageList>;

struct SecondaryFile {
  std::uint16_t fileId = 0;
  std::string logicalName;
  std::string path;
  std::uint64_t length = 0;
  std::uint64_t pageCount = 0;
  std::int32_t baseOffset = 0;
};

// The texts the engine reports with.
inline constexpr const char* kFileCannotBeOpen = "File cannot be open...........";
inline constexpr const char* kNotValidMdf =
    "Whether File is not valid mdf file or file is highly corrupted...........";
inline constexpr const char* kCheckingCorruption = "Checking for file corruption ...........";
inline constexpr const char* kCheckingCorruptionDone = "Checking for file corruption is done...........";
inline constexpr const char* kMappingObjects = "Mapping Database Objects...........";
inline constexpr const char* kMappingDone = "Mapping of Database Objects has been done ......................";
inline constexpr const char* kSnapshotLoaded = "Load snapshot finished..processing tables ......................";

// The object ids of the system tables whose pages the map keeps apart.
bool IsSystemObjectId(std::int32_t objectId);

// Pages of a user allocation unit (header index id 256 and above, SQL Server
// 2005 and later) carry a small counter as object id, which may equal a system
// table's id; the data and IAM maps key them as -1 - objectId instead.
std::int32_t PageMapKey(std::int32_t objectId, std::uint16_t indexId);
// The same key for an allocation unit id: index id in bits 48-63, object field in bits 16-47.
std::int32_t AllocationUnitPageKey(std::int64_t allocationUnitId);

// Fills the page maps from a snapshot file; installed by the catalog layer.
using SnapshotLoader = std::function<bool(const std::string& snapshotPath, DatabaseFile& file)>;

class DatabaseFile {
 public:
  // Opens `path` and maps its pages. Always returns the object; `opened` says
  // whether it may be used. Failures are reported to `frameWindow` as
  // WM_APP_FATAL; a stop request during the pass fails quietly.
  static std::unique_ptr<DatabaseFile> Open(const std::string& path, std::uint8_t advanced,
                                            platform::MessageTarget* frameWindow);

  DatabaseFile();
  ~DatabaseFile();
  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;

  // True keeps the remainder of the file length as the base offset.
  bool CheckAlignment();
  // True when at least one system page was found (or a snapshot was loaded).
  bool MapPages();

  // A zero-filled 8193-byte buffer holding the page, or null when the page lies
  // outside its file (page 0 included) or cannot be read.
  PageBuffer ReadPage(PageId page) const;
  std::unique_ptr<CPage_Header> ReadPageHeader(PageId page) const;
  std::unique_ptr<CDataPage> ReadDataPage(PageId page);
  // Reads the page at the position its stored page number implies, so that a
  // shifted file still yields the page that was asked for.
  std::unique_ptr<TextMixPage> ReadTextPage(PageId page);
  // The bytes ReadTextPage builds its page from.
  PageBuffer ReadTextPageBytes(PageId page);
  std::unique_ptr<IamPage> ReadIamPage(PageId page);
  // Sets databaseName and, through the boot page, the version text and collation.
  void ReadBootPage();
  // The boot page as ReadBootPage finds it (allowing for shifted page numbers),
  // or null. Building it sets the application's version text and collation.
  std::unique_ptr<CBootPage> LocateBootPage();

  const PageList& SystemPages(std::int32_t objectId) const { return Lookup(systemPages, objectId); }
  const PageList& DataPages(std::int32_t key) const { return Lookup(dataPages, key); }
  const PageList& IamPages(std::int32_t key) const { return Lookup(iamPages, key); }

  // The page count of the primary file (1) or of a secondary file; 0 when unknown.
  std::uint64_t PageCountOf(std::uint16_t fileId) const;

  static void SetSnapshotLoader(SnapshotLoader loader);

  std::uint64_t fileLength = 0;
  std::uint64_t pageCount = 0;
  std::uint64_t baseOffset = 0;
  std::string path;
  std::u16string databaseName;
  PageMap systemPages;
  PageMap dataPages;
  PageMap iamPages;
  std::map<std::uint16_t, SecondaryFile> secondaryFiles;
  DatabaseCatalog* catalog = nullptr;  // not owned
  bool opened = false;
  std::uint8_t advanced = 0;
  // Page reads asked of the files so far (the work a crafted file can cause is
  // counted in pages).
  mutable std::atomic<std::uint64_t> pagesRead{0};
  platform::MessageTarget* frameWindow = nullptr;

 private:
  static const PageList& Lookup(const PageMap& map, std::int32_t key);
  void SendProgressRange(std::uint64_t range) const;
  void SendProgressPos(std::uint64_t position) const;
  void SendPanelText(const char* text) const;
  bool MapSnapshot();
  void MapPage(const std::uint8_t* page, std::int32_t position, std::size_t& systemPageCount);

  std::unique_ptr<platform::ReadOnlyFile> file_;
};

}  // namespace quillmark
