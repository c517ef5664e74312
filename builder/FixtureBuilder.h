// Writes pages, records and small database files byte by byte, for the cases
// the real files cannot show: damaged headers, odd slot arrays, compressed
// records, forwarding stubs, ghost records, IAM pages and boot pages.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillmark::testing {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kPage = 8192;

void PutU8(Bytes& bytes, std::size_t offset, std::uint8_t value);
void PutU16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value);
void PutBytes(Bytes& bytes, std::size_t offset, const Bytes& value);
// 6-byte page pointer: page number, then file id.
void PutPagePointer(Bytes& bytes, std::size_t offset, std::int32_t page, std::uint16_t file = 1);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Repeat(std::uint8_t value, std::size_t count);
Bytes Utf16(const std::u16string& text);

// Status byte A of a record.
std::uint8_t StatusA(int recordType, bool nullBitmap, bool varColumns, bool compressed = false);

// An ordinary record: status, fixedEnd, fixed data, column count, null bitmap,
// variable-length count, end offsets and values.
class RecordBuilder {
 public:
  RecordBuilder& Type(int recordType);
  RecordBuilder& Fixed(Bytes fixed);
  RecordBuilder& Columns(std::int16_t count);
  // Sets a null bitmap (and bit 4 of status A); column i is null when nulls[i].
  RecordBuilder& Nulls(std::vector<bool> nulls);
  RecordBuilder& NoNullBitmap();
  RecordBuilder& Var(Bytes value, bool complex = false);
  // Writes these end offsets instead of the computed ones.
  RecordBuilder& RawEndOffsets(std::vector<std::uint16_t> offsets);
  RecordBuilder& StatusOverride(std::uint8_t statusA);
  Bytes Build() const;

 private:
  int type_ = 0;
  Bytes fixed_;
  std::int16_t columns_ = -1;  // -1: derived from the fixed and variable parts
  bool hasBitmap_ = true;
  std::vector<bool> nulls_;
  std::vector<std::pair<Bytes, bool>> vars_;
  std::vector<std::uint16_t> rawEnds_;
  int statusOverride_ = -1;
};

// A forwarding stub pointing at (file:page, slot).
Bytes ForwardingStub(std::int32_t page, std::uint16_t slot, std::uint16_t file = 1);

// A compressed (column-descriptor) record.
struct CompressedRecordSpec {
  std::vector<std::uint8_t> codes;  // one 4-bit code per column
  Bytes shortData;                  // the short data region as stored
  std::vector<Bytes> longValues;    // values of the long data region (header 0x01)
  std::vector<bool> complexLong;    // long values that are pointers (bit 15 of their end; header 0x03)
  int recordType = 0;
  bool nullBitmap = false;
};
Bytes CompressedRecord(const CompressedRecordSpec& spec);

// A 96-byte header and a slot array on an 8 KB page.
class PageBuilder {
 public:
  explicit PageBuilder(std::uint8_t pageType = 1, std::int32_t objectId = 0, std::int32_t pageNumber = 0,
                       std::uint16_t fileId = 1);

  PageBuilder& Type(std::uint8_t type);
  PageBuilder& ObjectId(std::int32_t objectId);
  PageBuilder& IndexId(std::uint16_t indexId);
  PageBuilder& ThisPage(std::int32_t pageNumber, std::uint16_t fileId = 1);
  PageBuilder& Next(std::int32_t pageNumber, std::uint16_t fileId = 1);
  PageBuilder& Previous(std::int32_t pageNumber, std::uint16_t fileId = 1);
  PageBuilder& Level(std::uint8_t level);
  PageBuilder& FlagBits(std::uint16_t flags);
  PageBuilder& TypeFlagBits(std::uint8_t flags);
  PageBuilder& GhostCount(std::int16_t count);
  PageBuilder& FreeCount(std::int16_t count);
  PageBuilder& TornBits(std::uint32_t bits);
  // Overrides the slot count written to the header (the slots written stay).
  PageBuilder& SlotCount(std::int16_t count);

  // Appends a record after the previous one (the first at 96, or after the
  // compression information) and a slot pointing at it; returns its offset.
  std::uint16_t AddRecord(const Bytes& record);
  // Appends a record no slot points at: a deleted row whose slot is gone.
  std::uint16_t AddUnlistedRecord(const Bytes& record);
  // Writes a record at `offset` without adding a slot.
  PageBuilder& Place(std::uint16_t offset, const Bytes& record);
  PageBuilder& AddSlot(std::uint16_t offset);
  PageBuilder& Write(std::size_t offset, const Bytes& bytes);
  // Writes a compression-information record at 96 (flags, dictionary offset,
  // total size, then `body` from 103) and moves the next record after it.
  PageBuilder& CompressionInfo(std::uint8_t flags, std::uint16_t dictionaryOffset, std::uint16_t ciSize,
                               const Bytes& body);
  // Writes a whole compression-information structure at 96 and sets the
  // header's flag for it (0x80 of the type flags).
  PageBuilder& CompressionInfoBytes(const Bytes& info);

  std::size_t SlotsAdded() const { return slots_.size(); }
  Bytes Build() const;

 private:
  Bytes page_;
  std::vector<std::uint16_t> slots_;
  std::size_t next_ = 96;
  int slotCountOverride_ = -100000;
  int freeCountOverride_ = -100000;
};

// An IAM page: header record (sequence number, start page, single-page slots)
// and extent bitmap record.
struct IamSpec {
  std::int32_t pageNumber = 0;
  std::int32_t objectId = 0;
  std::uint16_t indexId = 0;
  std::uint16_t fileId = 1;
  std::uint32_t sequenceNumber = 0;
  std::int32_t startPage = 0;
  std::array<std::int32_t, 8> singlePages{};
  Bytes bitmap;  // the extent bitmap; empty means 7988 zero bytes
  std::size_t headerLength = 90;  // fixed length of the header record
};
Bytes IamPageBytes(const IamSpec& spec);

struct BootSpec {
  std::uint16_t version = 706;
  std::uint16_t createVersion = 706;
  Bytes name;  // the 256-byte name field; shorter is padded with 0x20 bytes
  std::int32_t collation = 872468488;
  std::int32_t pageNumber = 9;
};
Bytes BootPageBytes(const BootSpec& spec);

// A database file of whole pages. By default every page is a self-numbered
// empty page; MinimalDatabase() adds what opening needs: a file header page,
// a boot page and system pages of objects 7, 34 and 41.
class FileBuilder {
 public:
  explicit FileBuilder(std::size_t pageCount = 16);
  static FileBuilder MinimalDatabase(std::size_t pageCount = 16);

  std::size_t PageCount() const { return pages_.size(); }
  FileBuilder& SetPage(std::size_t position, Bytes page);
  Bytes& Page(std::size_t position) { return pages_.at(position); }
  Bytes Build() const;
  // Writes the file with `prefix` bytes of 0xAB before page 0 and `suffix`
  // bytes of 0xCD after the last page.
  std::filesystem::path Write(const std::filesystem::path& path, std::size_t prefix = 0,
                              std::size_t suffix = 0) const;

 private:
  std::vector<Bytes> pages_;
};

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

}  // namespace quillmark::testing
