// The page classes built over a page buffer:
//   CPage > RecordPage > PrimaryRecordPage > CBootPage, CDataPage, ExtentAllocationMap > IamPage
//   RecordPage > TextMixPage
//
// The slot array grows backwards from the end of the page: slot j is the 16-bit
// record offset at page offset 8190 - 2j, for j below the header's slotCount.
//
// A page-compressed page starts its body with a compression-information record:
//   96   1  flags: 0x02 anchor record present, 0x04 dictionary present
//   97   2  (modification count, not read)
//   99   2  dictionary offset, counted from 96
//   101  2  total size of the compression information
//   103  .. anchor record (a compressed record), then the dictionary:
//           a 16-bit entry count d, d 16-bit end offsets counted from the
//           dictionary start, then the entries back to back.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/PageBuffer.h"
#include "engine/PageHeader.h"
#include "engine/Record.h"

namespace quillmark {

class DatabaseFile;

// The record offsets of a page's slot array; empty when the page has none
// (slotCount at or below 0, or 4000 and above).
std::vector<std::uint16_t> ReadSlotOffsets(ByteSpan page, std::int32_t slotCount);

class CPage {
 public:
  virtual ~CPage() = default;
};

class RecordPage : public CPage {
 public:
  // Adopts the buffer, parses the header (restoring torn bits) and reads the
  // slot array.
  RecordPage(PageBuffer data, DatabaseFile* file);

  std::unique_ptr<CPage_Header> header;
  DatabaseFile* file = nullptr;
  PageBuffer data;
  std::vector<std::unique_ptr<CRecord>> records;         // one per slot; null where skipped
  std::vector<std::unique_ptr<CRecord>> scannedRecords;  // found by the deleted-record scan
  std::vector<std::uint16_t> slotOffsets;                // released once the records are built

  ByteSpan Bytes() const { return data ? ByteSpan(data.get(), kPageSize) : ByteSpan(); }
  PageContext Context() const { return PageContext{header.get(), file, data.get()}; }
  bool HasSlotArray() const { return !slotOffsets.empty(); }

 protected:
  RecordPage() = default;
  void ReadSlotArray();
};

class PrimaryRecordPage : public RecordPage {
 public:
  // All slots; `scanDeletedRecords` runs the deleted-record scan first when both
  // deleted-record switches are on.
  struct AllSlots {
    bool scanDeletedRecords = false;
  };
  PrimaryRecordPage(PageBuffer data, DatabaseFile* file, AllSlots form);
  // One slot, the target of a forwarding stub: records holds exactly one entry
  // (null when the slot is unusable).
  PrimaryRecordPage(PageBuffer data, DatabaseFile* file, int slotIndex);

  std::array<std::uint8_t, 7> compressionInfoStart{};
  bool hasAnchor = false;
  bool hasDictionary = false;
  std::unique_ptr<CPrimaryRecord> anchor;
  std::vector<ByteVector> anchorValues;  // one per column of the selected table
  std::vector<ByteVector> dictionaryEntries;
  std::vector<std::int32_t> dictionaryEndOffsets;
  std::vector<std::int32_t> recordStarts;

 protected:
  PrimaryRecordPage() = default;

 private:
  void ReadCompressionInfo();
  void ReadDictionary(std::int32_t dictionaryOffset, std::int32_t ciSize);
  void ExtractAnchorValues();
  void ScanDeletedRecords();
  void BuildAllRecords();
  bool SkipsAllRecords() const;
  std::unique_ptr<CPrimaryRecord> BuildRecord(std::uint16_t offset, CPrimaryRecord::Mode mode);
};

class CDataPage : public PrimaryRecordPage {
 public:
  CDataPage(PageBuffer data, DatabaseFile* file);
};

// Installed by the record listing while it runs, so that a page holding
// compressed records can rebuild their values with the selected table's column
// layouts.
class CompressedRecordRebuilder {
 public:
  virtual ~CompressedRecordRebuilder() = default;
  // The number of columns the records of the selected table hold: its anchor
  // values are taken for as many.
  virtual int ColumnCount() const = 0;
  // Rebuilds the values of a valid compressed record read from `page`.
  virtual void Rebuild(CPrimaryRecord& record, const PrimaryRecordPage& page) = 0;
};

}  // namespace quillmark
