#include "builder/FixtureBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace quillmark::testing {

void PutU8(Bytes& bytes, std::size_t offset, std::uint8_t value) { bytes.at(offset) = value; }

void PutU16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  PutU8(bytes, offset, static_cast<std::uint8_t>(value));
  PutU8(bytes, offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  PutU16(bytes, offset, static_cast<std::uint16_t>(value));
  PutU16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutBytes(Bytes& bytes, std::size_t offset, const Bytes& value) {
  if (offset + value.size() > bytes.size()) throw std::out_of_range("PutBytes past the end");
  std::copy(value.begin(), value.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutPagePointer(Bytes& bytes, std::size_t offset, std::int32_t page, std::uint16_t file) {
  PutU32(bytes, offset, static_cast<std::uint32_t>(page));
  PutU16(bytes, offset + 4, file);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Repeat(std::uint8_t value, std::size_t count) { return Bytes(count, value); }

Bytes Utf16(const std::u16string& text) {
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::uint8_t StatusA(int recordType, bool nullBitmap, bool varColumns, bool compressed) {
  return static_cast<std::uint8_t>((compressed ? 0x01 : 0) | ((recordType & 7) << 1) | (nullBitmap ? 0x10 : 0) |
                                   (varColumns ? 0x20 : 0));
}

// ---- ordinary records -------------------------------------------------------

RecordBuilder& RecordBuilder::Type(int recordType) {
  type_ = recordType;
  return *this;
}
RecordBuilder& RecordBuilder::Fixed(Bytes fixed) {
  fixed_ = std::move(fixed);
  return *this;
}
RecordBuilder& RecordBuilder::Columns(std::int16_t count) {
  columns_ = count;
  return *this;
}
RecordBuilder& RecordBuilder::Nulls(std::vector<bool> nulls) {
  nulls_ = std::move(nulls);
  hasBitmap_ = true;
  return *this;
}
RecordBuilder& RecordBuilder::NoNullBitmap() {
  hasBitmap_ = false;
  return *this;
}
RecordBuilder& RecordBuilder::Var(Bytes value, bool complex) {
  vars_.emplace_back(std::move(value), complex);
  return *this;
}
RecordBuilder& RecordBuilder::RawEndOffsets(std::vector<std::uint16_t> offsets) {
  rawEnds_ = std::move(offsets);
  return *this;
}
RecordBuilder& RecordBuilder::StatusOverride(std::uint8_t statusA) {
  statusOverride_ = statusA;
  return *this;
}

Bytes RecordBuilder::Build() const {
  const bool hasVars = !vars_.empty() || !rawEnds_.empty();
  std::int16_t columns = columns_;
  if (columns < 0)
    columns = static_cast<std::int16_t>(std::max<std::size_t>({nulls_.size(), vars_.size() + (fixed_.empty() ? 0 : 1), 1}));

  // Sized in one step: growing a 4-byte vector by insert() trips g++ 12's
  // array-bounds check at -O3.
  Bytes record(4 + fixed_.size(), 0);
  record[0] = statusOverride_ >= 0 ? static_cast<std::uint8_t>(statusOverride_) : StatusA(type_, hasBitmap_, hasVars);
  PutU16(record, 2, static_cast<std::uint16_t>(4 + fixed_.size()));
  std::copy(fixed_.begin(), fixed_.end(), record.begin() + 4);
  record.push_back(static_cast<std::uint8_t>(columns));
  record.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(columns) >> 8));
  if (hasBitmap_) {
    Bytes bitmap(static_cast<std::size_t>(std::max(0, (columns + 7) / 8)), 0);
    for (std::size_t i = 0; i < nulls_.size() && i / 8 < bitmap.size(); ++i)
      if (nulls_[i]) bitmap[i / 8] = static_cast<std::uint8_t>(bitmap[i / 8] | (1u << (i % 8)));
    record.insert(record.end(), bitmap.begin(), bitmap.end());
  }
  if (!hasVars) return record;

  const std::size_t count = rawEnds_.empty() ? vars_.size() : rawEnds_.size();
  record.push_back(static_cast<std::uint8_t>(count));
  record.push_back(static_cast<std::uint8_t>(count >> 8));
  std::size_t endOffsetsAt = record.size();
  record.resize(record.size() + 2 * count);
  std::size_t position = record.size();
  for (std::size_t i = 0; i < count; ++i) {
    std::uint16_t end;
    if (!rawEnds_.empty()) {
      end = rawEnds_[i];
    } else {
      position += vars_[i].first.size();
      end = static_cast<std::uint16_t>(position | (vars_[i].second ? 0x8000 : 0));
    }
    PutU16(record, endOffsetsAt + 2 * i, end);
  }
  for (const auto& [value, complex] : vars_) record.insert(record.end(), value.begin(), value.end());
  return record;
}

Bytes ForwardingStub(std::int32_t page, std::uint16_t slot, std::uint16_t file) {
  Bytes stub(9, 0);
  stub[0] = StatusA(2, false, false);
  PutPagePointer(stub, 1, page, file);
  PutU16(stub, 7, slot);
  return stub;
}

Bytes CompressedRecord(const CompressedRecordSpec& spec) {
  const std::size_t count = spec.codes.size();
  Bytes record;
  record.push_back(StatusA(spec.recordType, spec.nullBitmap, !spec.longValues.empty(), true));
  if (count < 0x80) {
    record.push_back(static_cast<std::uint8_t>(count));
  } else {
    record.push_back(static_cast<std::uint8_t>(0x80 | (count >> 8)));
    record.push_back(static_cast<std::uint8_t>(count));
  }
  for (std::size_t i = 0; i < count; i += 2) {
    std::uint8_t low = spec.codes[i] & 0x0F;
    std::uint8_t high = i + 1 < count ? spec.codes[i + 1] & 0x0F : 0;
    record.push_back(static_cast<std::uint8_t>(low | (high << 4)));
  }
  const std::size_t clusters = count == 0 ? 0 : (count - 1) / 30;
  record.insert(record.end(), clusters, 0);
  record.insert(record.end(), spec.shortData.begin(), spec.shortData.end());
  if (spec.nullBitmap) record.insert(record.end(), (count + 7) / 8, 0);
  if (spec.longValues.empty()) return record;

  const auto complex = [&](std::size_t i) { return i < spec.complexLong.size() && spec.complexLong[i]; };
  bool anyComplex = false;
  for (std::size_t i = 0; i < spec.longValues.size(); ++i) anyComplex = anyComplex || complex(i);
  record.push_back(anyComplex ? 0x03 : 0x01);
  record.push_back(static_cast<std::uint8_t>(spec.longValues.size()));
  record.push_back(static_cast<std::uint8_t>(spec.longValues.size() >> 8));
  std::size_t end = 0;
  for (std::size_t i = 0; i < spec.longValues.size(); ++i) {
    end += spec.longValues[i].size();
    const std::size_t stored = end | (complex(i) ? 0x8000 : 0);
    record.push_back(static_cast<std::uint8_t>(stored));
    record.push_back(static_cast<std::uint8_t>(stored >> 8));
  }
  record.insert(record.end(), clusters, 0);
  for (const Bytes& value : spec.longValues) record.insert(record.end(), value.begin(), value.end());
  return record;
}

// ---- pages ------------------------------------------------------------------

PageBuilder::PageBuilder(std::uint8_t pageType, std::int32_t objectId, std::int32_t pageNumber, std::uint16_t fileId)
    : page_(kPage, 0) {
  page_[0] = 1;  // header version
  Type(pageType).ObjectId(objectId).ThisPage(pageNumber, fileId);
}

PageBuilder& PageBuilder::Type(std::uint8_t type) {
  page_[1] = type;
  return *this;
}
PageBuilder& PageBuilder::ObjectId(std::int32_t objectId) {
  PutU32(page_, 24, static_cast<std::uint32_t>(objectId));
  return *this;
}
PageBuilder& PageBuilder::IndexId(std::uint16_t indexId) {
  PutU16(page_, 6, indexId);
  return *this;
}
PageBuilder& PageBuilder::ThisPage(std::int32_t pageNumber, std::uint16_t fileId) {
  PutPagePointer(page_, 32, pageNumber, fileId);
  return *this;
}
PageBuilder& PageBuilder::Next(std::int32_t pageNumber, std::uint16_t fileId) {
  PutPagePointer(page_, 16, pageNumber, fileId);
  return *this;
}
PageBuilder& PageBuilder::Previous(std::int32_t pageNumber, std::uint16_t fileId) {
  PutPagePointer(page_, 8, pageNumber, fileId);
  return *this;
}
PageBuilder& PageBuilder::Level(std::uint8_t level) {
  page_[3] = level;
  return *this;
}
PageBuilder& PageBuilder::FlagBits(std::uint16_t flags) {
  PutU16(page_, 4, flags);
  return *this;
}
PageBuilder& PageBuilder::TypeFlagBits(std::uint8_t flags) {
  page_[2] = flags;
  return *this;
}
PageBuilder& PageBuilder::GhostCount(std::int16_t count) {
  PutU16(page_, 58, static_cast<std::uint16_t>(count));
  return *this;
}
PageBuilder& PageBuilder::FreeCount(std::int16_t count) {
  freeCountOverride_ = count;
  return *this;
}
PageBuilder& PageBuilder::TornBits(std::uint32_t bits) {
  PutU32(page_, 60, bits);
  return *this;
}
PageBuilder& PageBuilder::SlotCount(std::int16_t count) {
  slotCountOverride_ = count;
  return *this;
}

std::uint16_t PageBuilder::AddRecord(const Bytes& record) {
  auto offset = static_cast<std::uint16_t>(next_);
  Place(offset, record);
  AddSlot(offset);
  next_ += record.size();
  return offset;
}

PageBuilder& PageBuilder::Place(std::uint16_t offset, const Bytes& record) {
  PutBytes(page_, offset, record);
  return *this;
}

PageBuilder& PageBuilder::AddSlot(std::uint16_t offset) {
  slots_.push_back(offset);
  return *this;
}

PageBuilder& PageBuilder::Write(std::size_t offset, const Bytes& bytes) {
  PutBytes(page_, offset, bytes);
  return *this;
}

std::uint16_t PageBuilder::AddUnlistedRecord(const Bytes& record) {
  auto offset = static_cast<std::uint16_t>(next_);
  Place(offset, record);
  next_ += record.size();
  return offset;
}

PageBuilder& PageBuilder::CompressionInfoBytes(const Bytes& info) {
  TypeFlagBits(static_cast<std::uint8_t>(page_[2] | 0x80));
  PutBytes(page_, 96, info);
  next_ = std::max<std::size_t>(next_, 96 + info.size());
  return *this;
}

PageBuilder& PageBuilder::CompressionInfo(std::uint8_t flags, std::uint16_t dictionaryOffset, std::uint16_t ciSize,
                                          const Bytes& body) {
  TypeFlagBits(static_cast<std::uint8_t>(page_[2] | 0x80));
  page_[96] = flags;
  PutU16(page_, 99, dictionaryOffset);
  PutU16(page_, 101, ciSize);
  PutBytes(page_, 103, body);
  next_ = std::max<std::size_t>(next_, 103 + body.size());
  return *this;
}

Bytes PageBuilder::Build() const {
  Bytes page = page_;
  std::int16_t slotCount = slotCountOverride_ != -100000 ? static_cast<std::int16_t>(slotCountOverride_)
                                                         : static_cast<std::int16_t>(slots_.size());
  PutU16(page, 22, static_cast<std::uint16_t>(slotCount));
  PutU16(page, 30, static_cast<std::uint16_t>(next_));
  auto freeCount = static_cast<std::int16_t>(kPage - next_ - 2 * slots_.size());
  if (freeCountOverride_ != -100000) freeCount = static_cast<std::int16_t>(freeCountOverride_);
  PutU16(page, 28, static_cast<std::uint16_t>(freeCount));
  for (std::size_t j = 0; j < slots_.size(); ++j) PutU16(page, kPage - 2 - 2 * j, slots_[j]);
  return page;
}

Bytes IamPageBytes(const IamSpec& spec) {
  PageBuilder page(10, spec.objectId, spec.pageNumber, spec.fileId);
  page.IndexId(spec.indexId);
  Bytes header(spec.headerLength, 0);
  if (header.size() >= 4) PutU32(header, 0, spec.sequenceNumber);
  if (header.size() >= 42) PutPagePointer(header, 36, spec.startPage, spec.fileId);
  for (std::size_t k = 0; k < spec.singlePages.size(); ++k)
    if (header.size() >= 48 + 6 * k && spec.singlePages[k] != 0)
      PutPagePointer(header, 42 + 6 * k, spec.singlePages[k], spec.fileId);
  page.AddRecord(RecordBuilder().Fixed(header).Columns(1).NoNullBitmap().Build());
  Bytes bitmap = spec.bitmap.empty() ? Bytes(7988, 0) : spec.bitmap;
  page.AddRecord(RecordBuilder().Fixed(bitmap).Columns(1).NoNullBitmap().Build());
  return page.Build();
}

Bytes BootPageBytes(const BootSpec& spec) {
  PageBuilder page(13, 0, spec.pageNumber);
  Bytes record(600, 0);
  record[0] = StatusA(0, true, false);
  PutU16(record, 2, 600);
  page.AddRecord(record);
  Bytes bytes = page.Build();
  PutU16(bytes, 100, spec.version);
  PutU16(bytes, 102, spec.createVersion);
  Bytes name = spec.name;
  name.resize(256, 0x20);
  PutBytes(bytes, 148, name);
  PutU32(bytes, 488, static_cast<std::uint32_t>(spec.collation));
  return bytes;
}

// ---- files ------------------------------------------------------------------

FileBuilder::FileBuilder(std::size_t pageCount) {
  for (std::size_t i = 0; i < pageCount; ++i) pages_.push_back(PageBuilder(0, 0, static_cast<std::int32_t>(i)).Build());
}

FileBuilder FileBuilder::MinimalDatabase(std::size_t pageCount) {
  FileBuilder file(std::max<std::size_t>(pageCount, 16));
  file.SetPage(0, PageBuilder(15, 0, 0).Build());
  file.SetPage(9, BootPageBytes(BootSpec{}));
  const std::int32_t systemObjects[] = {7, 34, 41};
  for (std::size_t i = 0; i < 3; ++i) {
    auto position = static_cast<std::int32_t>(10 + i);
    PageBuilder page(1, systemObjects[i], position);
    page.IndexId(1);
    page.AddRecord(RecordBuilder().Fixed(Bytes{1, 2, 3, 4}).Columns(2).Nulls({false, false}).Build());
    file.SetPage(static_cast<std::size_t>(position), page.Build());
  }
  return file;
}

FileBuilder& FileBuilder::SetPage(std::size_t position, Bytes page) {
  if (page.size() != kPage) throw std::invalid_argument("a page is 8192 bytes");
  if (position >= pages_.size()) pages_.resize(position + 1, Bytes(kPage, 0));
  pages_[position] = std::move(page);
  return *this;
}

Bytes FileBuilder::Build() const {
  Bytes all;
  all.reserve(pages_.size() * kPage);
  for (const Bytes& page : pages_) all.insert(all.end(), page.begin(), page.end());
  return all;
}

std::filesystem::path FileBuilder::Write(const std::filesystem::path& path, std::size_t prefix,
                                         std::size_t suffix) const {
  WriteFile(path, Concat({Repeat(0xAB, prefix), Build(), Repeat(0xCD, suffix)}));
  return path;
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace quillmark::testing
