#include "catalog/SecondaryFiles.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "engine/PagePass.h"
#include "platform/CodePage.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using platform::ReadOnlyFile;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The path itself when it exists, else a file of the same folder whose name
// differs only in case (file names from Windows ignore case).
fs::path FindIgnoringCase(const fs::path& path) {
  std::error_code error;
  if (fs::exists(path, error)) return path;
  const std::string wanted = Lower(path.filename().string());
  for (const auto& entry : fs::directory_iterator(path.parent_path(), error))
    if (entry.is_regular_file(error) && Lower(entry.path().filename().string()) == wanted) return entry.path();
  return path;
}

struct Geometry {
  std::uint64_t length = 0;
  std::uint64_t pageCount = 0;
  std::uint64_t baseOffset = 0;
};

Geometry GeometryOf(const ReadOnlyFile& file) {
  Geometry geometry;
  geometry.length = file.Length();
  geometry.baseOffset = geometry.length % kPageSize;
  geometry.pageCount = (geometry.length - geometry.baseOffset) / kPageSize;
  return geometry;
}

void Register(DatabaseFile& database, CatalogFile& row, const Geometry& geometry) {
  row.length = geometry.length;
  row.pageCount = geometry.pageCount;
  row.baseOffset = static_cast<std::int32_t>(geometry.baseOffset);
  const auto fileId = static_cast<std::uint16_t>(row.fileId);
  database.secondaryFiles[fileId] =
      SecondaryFile{fileId, platform::Utf16ToUtf8(row.logicalName), platform::Utf16ToUtf8(row.physicalName),
                    geometry.length, geometry.pageCount, static_cast<std::int32_t>(geometry.baseOffset)};
}

struct PageFields {
  std::int32_t objectId;
  std::uint8_t type;
  std::uint16_t indexId;
  std::uint16_t fileId;
};

PageFields FieldsOf(const std::uint8_t* page) {
  ByteSpan header(page, kPageHeaderSize);
  return PageFields{ReadLeOr<std::int32_t>(header, 24), ReadLeOr<std::uint8_t>(header, 1),
                    ReadLeOr<std::uint16_t>(header, 6), ReadLeOr<std::uint16_t>(header, 36)};
}

// Reads the file's pages from `base` and hands each header to `index`, with
// progress about every hundredth of the file.
void IndexPages(const ReadOnlyFile& file, const Geometry& geometry, DatabaseFile& database,
                const std::function<void(std::int32_t position, const PageFields&)>& index) {
  platform::MessageTarget* target = database.frameWindow;
  platform::Send(target, platform::WM_APP_PROGRESS_RANGE, 0,
                 static_cast<platform::LParam>(geometry.pageCount & 0xFFFFFFFFu));
  platform::Send(target, platform::WM_APP_PROGRESS_POS, 0, 0);
  const std::uint64_t step = ProgressStep(geometry.pageCount);
  const std::uint64_t last = std::min<std::uint64_t>(geometry.pageCount, INT32_MAX);
  ScanPages(file, geometry.baseOffset, 0, last, [&](std::uint64_t position, const std::uint8_t* page) {
    if (StopRequested()) return false;
    index(static_cast<std::int32_t>(position), FieldsOf(page));
    if ((position + 1) % step == 0) platform::Send(target, platform::WM_APP_PROGRESS_POS, position + 1, 0);
    return true;
  });
  platform::Send(target, platform::WM_APP_PROGRESS_POS, static_cast<platform::WParam>(geometry.pageCount), 0);
}

void AddPage(PageMap& map, std::int32_t key, std::uint16_t fileId, std::int32_t position, std::uint32_t type) {
  map[key].push_back(PageEntry{fileId, position, type});
}

bool IsSystemIndexId(std::uint16_t indexId) { return indexId < 256; }

void ListMode(std::vector<CatalogFile>& files, DatabaseFile& database, bool appendPages) {
  for (CatalogFile& row : files) {
    if (StopRequested()) return;
    if (row.fileId <= 1) continue;  // the primary file and the log are no secondary data files
    auto file = ReadOnlyFile::Open(platform::Utf16ToUtf8(row.physicalName));
    if (!file) continue;
    Geometry geometry = GeometryOf(*file);
    Register(database, row, geometry);
    if (!appendPages) continue;
    const auto fileId = static_cast<std::uint16_t>(row.fileId);
    IndexPages(*file, geometry, database, [&](std::int32_t position, const PageFields& page) {
      // Pages go under the row's file id whatever their header says.
      if ((page.objectId == 3 || page.objectId == 4 || page.objectId == 5) && IsSystemIndexId(page.indexId))
        AddPage(database.systemPages, page.objectId, fileId, position, page.type);
      if (page.objectId > 0 && page.type == kDataPageType)
        AddPage(database.dataPages, PageMapKey(page.objectId, page.indexId), fileId, position, kDataPageType);
    });
  }
}

std::vector<fs::path> SecondaryFilesIn(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (StopRequested()) break;
    if (entry.is_regular_file(error) && Lower(entry.path().extension().string()) == ".ndf") found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

void SearchMode(std::vector<CatalogFile>& files, DatabaseFile& database, const fs::path& folder, bool appendPages) {
  files.clear();
  for (const fs::path& path : SecondaryFilesIn(folder)) {
    if (StopRequested()) return;
    auto file = ReadOnlyFile::Open(path.string());
    if (!file) continue;
    Geometry geometry = GeometryOf(*file);
    if (!CheckFileAlignment(*file, geometry.pageCount, geometry.baseOffset, database.frameWindow))
      geometry.baseOffset = 0;
    std::optional<std::uint16_t> fileId;
    IndexPages(*file, geometry, database, [&](std::int32_t position, const PageFields& page) {
      bool system = page.objectId == 3 || page.objectId == 4 || page.objectId == 5 || page.objectId == 74;
      if (system && IsSystemIndexId(page.indexId) && appendPages)
        AddPage(database.systemPages, page.objectId, page.fileId, position, page.type);
      if (page.objectId > 0 && page.type == kDataPageType) {
        if (appendPages)
          AddPage(database.dataPages, PageMapKey(page.objectId, page.indexId), page.fileId, position, kDataPageType);
        if (!fileId && page.fileId > 1) fileId = page.fileId;
      }
    });
    if (!fileId) continue;
    CatalogFile row;
    row.fileId = *fileId;
    row.physicalName = platform::Utf8ToUtf16(path.string());
    Register(database, row, geometry);
    files.push_back(std::move(row));
  }
}

}  // namespace

fs::path ExpectedSecondaryPath(const fs::path& folder, const std::u16string& storedName) {
  std::size_t slash = storedName.find_last_of(u"\\/");
  std::u16string name = slash == std::u16string::npos ? storedName : storedName.substr(slash + 1);
  if (name.empty() || name == u"." || name == u"..") return {};
  // Without a dot there is no stem: the bare name is kept, without ".ndf".
  std::size_t dot = name.rfind(u'.');
  std::u16string stem = dot == std::u16string::npos ? u"" : name.substr(0, dot);
  std::u16string fileName = stem.empty() ? name : stem + u".ndf";
  return FindIgnoringCase(folder / platform::Utf16ToUtf8(fileName));
}

void CheckSecondaryFiles(std::vector<CatalogFile>& files, DatabaseFile& database, const std::string& primaryPath) {
  const fs::path folder = fs::path(primaryPath).parent_path();
  const bool appendPages = Settings().snapshotMode == 0;
  if (files.empty()) {
    SearchMode(files, database, folder.empty() ? fs::path(".") : folder, appendPages);
    return;
  }
  for (CatalogFile& row : files) {
    if (row.fileId <= 1) continue;
    fs::path expected = ExpectedSecondaryPath(folder.empty() ? fs::path(".") : folder, row.physicalName);
    row.physicalName = platform::Utf8ToUtf16(expected.string());
  }
  ListMode(files, database, appendPages);
}

}  // namespace quillmark
