#include "catalog/Snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <type_traits>

#include "engine/AppSettings.h"
#include "engine/Bytes.h"
#include "platform/CodePage.h"
#include "platform/ReadOnlyFile.h"

namespace quillmark {
namespace {

constexpr std::uint64_t kEntrySize = 10;          // file id, page number, page type
constexpr std::uint64_t kKeyBlockHeaderSize = 8;  // key, entry count
constexpr std::size_t kReadChunk = 64 * 1024;

// ---- Writing ----

template <typename T>
void Put(ByteVector& out, T value) {
  static_assert(std::is_integral_v<T>);
  const auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

// False when a list is too long for its 32-bit entry count.
bool PutMap(ByteVector& out, const PageMap& map) {
  Put<std::uint64_t>(out, map.size());
  for (const auto& [key, list] : map) {
    if (list.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    Put<std::int32_t>(out, key);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(list.size()));
    // Field by field: the fields are passed by value, never bound to the packed entry.
    for (const PageEntry& entry : list) {
      Put<std::uint16_t>(out, entry.fileId);
      Put<std::int32_t>(out, entry.pageNumber);
      Put<std::uint32_t>(out, entry.pageType);
    }
  }
  return true;
}

std::optional<ByteVector> AssembleSnapshot(const DatabaseFile& file, const std::string& databasePath,
                                           std::uint8_t advanced) {
  const AppSettings& settings = Settings();
  const std::u16string path = platform::Utf8ToUtf16(databasePath);
  if (path.size() > std::numeric_limits<std::uint32_t>::max() / 2) return std::nullopt;

  ByteVector out;
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(path.size() * 2));
  for (char16_t unit : path) Put<std::uint16_t>(out, unit);
  out.push_back(advanced);
  out.push_back(settings.autoDetectCollation);
  if (settings.autoDetectCollation == 0) Put<std::int64_t>(out, settings.manualCollation);  // low half first
  out.push_back(settings.isSql2000);
  out.push_back(settings.showDeletedRecords);
  out.push_back(settings.showAdvancedDeletedRecords);
  for (const PageMap* map : {&file.systemPages, &file.dataPages, &file.iamPages})
    if (!PutMap(out, *map)) return std::nullopt;
  return out;
}

bool WriteAll(int descriptor, const ByteVector& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool WriteSnapshotFile(const std::string& path, const ByteVector& bytes) {
  // Non-blocking, so that a named pipe without a reader fails instead of waiting.
  int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (descriptor < 0) return false;
  struct stat status {};
  const bool regular = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  const bool written = WriteAll(descriptor, bytes);
  // A full disk may only show when the file is closed (network file systems).
  const bool closed = ::close(descriptor) == 0;
  if (written && closed) return true;
  // Only a regular file is removed: a device such as /dev/full must stay.
  if (regular) ::unlink(path.c_str());
  return false;
}

// ---- Reading ----

// Reads a snapshot front to back through a small buffer. A field that needs
// more bytes than the file has left fails the reader before anything is read
// for it; once failed, every read fails and yields zeros.
class SnapshotReader {
 public:
  explicit SnapshotReader(const platform::ReadOnlyFile& file) : file_(file), buffer_(kReadChunk) {}

  bool Ok() const { return ok_; }
  std::uint64_t Remaining() const { return file_.Length() - consumed_; }

  bool Read(std::uint8_t* out, std::size_t size) {
    if (!ok_ || size > Remaining()) return ok_ = false;
    while (size > 0) {
      if (position_ == end_ && !Refill()) return ok_ = false;
      const std::size_t take = std::min(size, end_ - position_);
      std::copy_n(buffer_.data() + position_, take, out);
      position_ += take;
      consumed_ += take;
      out += take;
      size -= take;
    }
    return true;
  }

  template <typename T>
  T Next() {
    std::array<std::uint8_t, sizeof(T)> bytes{};
    Read(bytes.data(), bytes.size());
    return ReadLeOr<T>(bytes, 0);
  }

 private:
  // False when the file ends early (it shrank since it was opened).
  bool Refill() {
    const std::uint64_t offset = consumed_;
    end_ = file_.ReadAt(offset, buffer_.data(), buffer_.size());
    position_ = 0;
    return end_ > 0;
  }

  const platform::ReadOnlyFile& file_;
  ByteVector buffer_;
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  std::uint64_t consumed_ = 0;
  bool ok_ = true;
};

std::optional<SnapshotHeader> ReadHeader(SnapshotReader& reader) {
  SnapshotHeader header;
  const auto length = reader.Next<std::uint32_t>();
  if (!reader.Ok() || length % 2 != 0 || length > reader.Remaining()) return std::nullopt;
  ByteVector text(length);
  reader.Read(text.data(), text.size());
  std::u16string path(text.size() / 2, u'\0');
  for (std::size_t i = 0; i < path.size(); ++i) path[i] = static_cast<char16_t>(ReadLeOr<std::uint16_t>(text, 2 * i));
  header.databasePath = platform::Utf16ToUtf8(path);

  header.advanced = reader.Next<std::uint8_t>();
  header.autoDetectCollation = reader.Next<std::uint8_t>();
  if (header.autoDetectCollation == 0) header.manualCollation = reader.Next<std::int64_t>();
  header.isSql2000 = reader.Next<std::uint8_t>();
  header.showDeletedRecords = reader.Next<std::uint8_t>();
  header.showAdvancedDeletedRecords = reader.Next<std::uint8_t>();
  if (!reader.Ok()) return std::nullopt;
  return header;
}

// Appends the key blocks of one map. Counts are checked against the bytes left
// before anything is reserved or looped over.
bool ReadMap(SnapshotReader& reader, PageMap& map) {
  const auto keyCount = reader.Next<std::uint64_t>();
  if (!reader.Ok() || keyCount > reader.Remaining() / kKeyBlockHeaderSize) return false;
  for (std::uint64_t k = 0; k < keyCount; ++k) {
    const auto key = reader.Next<std::int32_t>();
    const auto count = reader.Next<std::uint32_t>();
    if (!reader.Ok() || count > reader.Remaining() / kEntrySize) return false;
    PageList& list = map[key];  // created even when the key has no entries
    // Reserved once per key: a key repeated many times must not regrow the list each time.
    if (list.empty()) list.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      PageEntry entry;
      entry.fileId = reader.Next<std::uint16_t>();
      entry.pageNumber = reader.Next<std::int32_t>();
      entry.pageType = reader.Next<std::uint32_t>();
      list.push_back(entry);
    }
  }
  return reader.Ok();
}

}  // namespace

bool SaveSnapshot(const DatabaseFile& file, const std::string& databasePath, std::uint8_t advanced,
                  const std::string& snapshotPath) {
  const std::optional<ByteVector> bytes = AssembleSnapshot(file, databasePath, advanced);
  return bytes && WriteSnapshotFile(snapshotPath, *bytes);
}

bool LoadSnapshotMaps(const std::string& snapshotPath, DatabaseFile& file) {
  platform::SendText(file.frameWindow, platform::WM_APP_PANEL_TEXT, kLoadingSnapshot);
  const auto snapshot = platform::ReadOnlyFile::Open(snapshotPath);
  if (!snapshot) return false;
  SnapshotReader reader(*snapshot);
  if (!ReadHeader(reader)) return false;
  for (PageMap* map : {&file.systemPages, &file.dataPages, &file.iamPages})
    if (!ReadMap(reader, *map)) return false;
  // Bytes after the last map mean the file is not a snapshot as saved here:
  // they are treated as damage like a cut.
  return reader.Remaining() == 0;
}

std::optional<SnapshotHeader> ReadSnapshotHeader(const std::string& snapshotPath) {
  const auto snapshot = platform::ReadOnlyFile::Open(snapshotPath);
  if (!snapshot) return std::nullopt;
  SnapshotReader reader(*snapshot);
  return ReadHeader(reader);
}

void ApplySnapshotHeader(const SnapshotHeader& header, const std::string& snapshotPath) {
  AppSettings& settings = Settings();
  settings.snapshotPath = snapshotPath;
  settings.snapshotDatabasePath = header.databasePath;
  settings.autoDetectCollation = header.autoDetectCollation;
  // A snapshot holds a manual collation only when it does not detect one; the
  // current one stays otherwise.
  if (header.autoDetectCollation == 0) settings.manualCollation = header.manualCollation;
  settings.isSql2000 = header.isSql2000;
  settings.showDeletedRecords = header.showDeletedRecords;
  settings.showAdvancedDeletedRecords = header.showAdvancedDeletedRecords;
  settings.snapshotMode = 1;
}

void InstallSnapshotLoader() { DatabaseFile::SetSnapshotLoader(LoadSnapshotMaps); }

}  // namespace quillmark
