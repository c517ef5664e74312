// The boot page (page 9 of the primary file). Its one record describes the
// database; fields by page offset (the record starts at 96, its data at 100):
//
//   100  2    version        file-format version, selects the version text
//   102  2    createVersion  version of the server that created the database
//   148  256  name           database name, UTF-16LE, 128 code units, padded
//                            with 0x20 bytes (which read as U+2020)
//   488  4    collation      collation id (signed)
#pragma once

#include <cstdint>
#include <string>

#include "engine/Bytes.h"
#include "engine/RecordPage.h"

namespace quillmark {

class CBootPage : public PrimaryRecordPage {
 public:
  // Reads the fields from the page bytes (which stay the caller's) and sets the
  // application's version text and, when found, its collation values. Bytes
  // that are not a boot page (page type 13) give no fields, no name and the
  // unknown version's text.
  explicit CBootPage(ByteSpan page);

  const std::u16string& name() const { return name_; }

  std::uint16_t version = 0;
  std::uint16_t createVersion = 0;
  std::int32_t collation = 0;
  bool isBootPage = false;

 private:
  std::u16string name_;
};

// The product version text of a file-format version; "Unknown SQL Version" for
// numbers the table does not hold (such a file is still read: its layout is
// told by its catalog, not by the number).
std::string VersionText(std::uint16_t version);

// The database name of a boot page's name field: UTF-16LE up to the first NUL,
// without trailing blanks or U+2020 padding.
std::u16string DecodeDatabaseName(ByteSpan field);

// Looks `collationId` up as the boot page does: the sign-extended field first,
// then its low 16 bits. On success sets the application's collation values.
bool ApplyCollation(std::int32_t collationField);
bool ApplyCollationId(std::int64_t collationId);

}  // namespace quillmark
