#include "engine/BootPage.h"

#include "engine/AppSettings.h"

namespace quillmark {
namespace {

constexpr std::size_t kVersionOffset = 100;
constexpr std::size_t kCreateVersionOffset = 102;
constexpr std::size_t kNameOffset = 148;
constexpr std::size_t kNameBytes = 256;
constexpr std::size_t kCollationOffset = 488;
constexpr std::size_t kPageTypeOffset = 1;  // in the page header
constexpr std::uint8_t kBootPageType = 13;

}  // namespace

std::string VersionText(std::uint16_t version) {
  // SQL Server 2019 wrote versions 895 (its previews) to 904.
  if (version >= 895 && version <= 904) return " SQL Server 2019";
  switch (version) {
    case 408: return " SQL Server 6.5";
    case 515: return " SQL Server 7.0";
    case 539: return " SQL Server 2000";
    case 611: return " SQL Server 2005";
    case 612: return " SQL Server 2005 SP2+ with VarDecimal enabled";
    case 655: return " SQL Server 2008";
    case 660:
    case 661: return " SQL Server 2008 R2";
    case 684: return " SQL Server 2012 CTP1";
    case 706: return " SQL Server 2012";
    case 782: return " SQL Server 2014";
    case 852: return " SQL Server 2016";
    case 868:
    case 869: return " SQL Server 2017";
    case 950:
    case 957: return " SQL Server 2022";
    default: return "Unknown SQL Version";
  }
}

std::u16string DecodeDatabaseName(ByteSpan field) {
  std::u16string name;
  for (std::size_t at = 0; at + 1 < field.size(); at += 2) {
    auto unit = static_cast<char16_t>(field[at] | (field[at + 1] << 8));
    if (unit == 0) break;
    name.push_back(unit);
  }
  while (!name.empty() && (name.back() == u' ' || name.back() == u'\u2020')) name.pop_back();
  return name;
}

bool ApplyCollationId(std::int64_t collationId) {
  AppSettings& settings = Settings();
  auto found = settings.collationMap.find(collationId);
  if (found == settings.collationMap.end()) return false;
  settings.collationKnown = 1;
  settings.collationId = collationId;
  settings.collationCodePage = found->second.codePage;
  settings.collationName = found->second.name;
  return true;
}

bool ApplyCollation(std::int32_t collationField) {
  return ApplyCollationId(collationField) ||
         ApplyCollationId(static_cast<std::int64_t>(static_cast<std::uint32_t>(collationField) & 0xFFFF));
}

CBootPage::CBootPage(ByteSpan page) {
  AppSettings& settings = Settings();
  isBootPage = ReadLeOr<std::uint8_t>(page, kPageTypeOffset) == kBootPageType;
  if (!isBootPage) {
    // Whatever bytes lie there (a secondary file's page 9, foreign data) say
    // nothing about a database.
    settings.versionText = VersionText(0);
    return;
  }
  version = ReadLeOr<std::uint16_t>(page, kVersionOffset);
  createVersion = ReadLeOr<std::uint16_t>(page, kCreateVersionOffset);
  collation = ReadLeOr<std::int32_t>(page, kCollationOffset);
  if (Fits(page, kNameOffset, kNameBytes)) name_ = DecodeDatabaseName(page.subspan(kNameOffset, kNameBytes));

  settings.versionText = VersionText(version);
  if (settings.autoDetectCollation)
    ApplyCollation(collation);
  else
    ApplyCollationId(settings.manualCollation);
}

}  // namespace quillmark
