// Reads the system tables: every page whose header carries a table's object id,
// in file order, row by row, with the counter that numbers replacement names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/Bytes.h"

namespace quillmark {

class CRecord;
class CDataPage;
class DatabaseFile;

class CatalogReader {
 public:
  explicit CatalogReader(DatabaseFile& file) : file_(&file) {}

  // Hands every usable record of every page of `objectId` to `readRow`, in
  // file order and slot order, until a stop is requested. Index records are
  // skipped when `skipIndexRecords`; blob fragments always. With
  // `dataPagesOnly`, only pages mapped with type 1 are read.
  struct Options {
    bool skipIndexRecords = false;
    bool dataPagesOnly = false;
    std::function<void()> afterPage;  // called after the rows of each page
  };
  void ReadTable(std::int32_t objectId, const std::function<void(const CRecord&, const CDataPage&)>& readRow,
                 Options options);
  void ReadTable(std::int32_t objectId, const std::function<void(const CRecord&, const CDataPage&)>& readRow) {
    ReadTable(objectId, readRow, Options{});
  }

  // "Repairname" or "RepairColumn" followed by the pass's counter, which then moves on.
  std::u16string ReplacementName(const char16_t* prefix);
  // The name of an object or column row: its first variable-length column; a
  // replacement with `prefixWhenMissing` when it has none, "RepairColumn" when
  // it is empty.
  std::u16string NameOf(const CRecord& record, const char16_t* prefixWhenMissing);
  void ResetCounter() { replacementCounter_ = 0; }

  DatabaseFile& file() const { return *file_; }

  // Reports the pages read to the file's frame window: the progress range is
  // `pages`, the position moves about every hundredth of it.
  void StartProgress(std::uint64_t pages);
  void EndProgress();

 private:
  void PageDone();

  DatabaseFile* file_;
  std::uint64_t replacementCounter_ = 0;
  std::uint64_t progressPages_ = 0;
  std::uint64_t progressStep_ = 0;  // 0: no progress reported
  std::uint64_t pagesRead_ = 0;
};

inline constexpr const char16_t* kRepairName = u"Repairname";
inline constexpr const char16_t* kRepairColumn = u"RepairColumn";

}  // namespace quillmark
