// `info`: what the boot page says about the database and how the mapping pass
// sorted its pages, as text or as one JSON object.
#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <fstream>
#include <optional>
#include <span>
#include <vector>

#include "cli/Commands.h"
#include "cli/FieldRows.h"
#include "engine/AppSettings.h"
#include "engine/BootPage.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

constexpr const char* kUnknownCollation = "Unknown Collation";
constexpr std::uint32_t kFileHeaderPageType = 15;

std::size_t CountPages(const PageMap& map) {
  std::size_t count = 0;
  for (const auto& [key, pages] : map) count += pages.size();
  return count;
}

// What `info` reports; the boot page values stay empty when it cannot be found.
struct Summary {
  std::optional<std::uint16_t> version;
  std::optional<std::uint16_t> createVersion;
  std::optional<std::int32_t> collationId;
  std::string databaseName;
  std::string collationName = kUnknownCollation;
  std::optional<std::int32_t> codePage;
};

// Page 0 of every data file is its file header; the page calls itself (f:0),
// f being the file's id, 1 for a database's primary file.
// (Page 0 is no page the engine reads rows from, so its bytes are read here.)
bool IsSecondaryFileHeader(const DatabaseFile& db) {
  std::ifstream in(db.path, std::ios::binary);
  std::vector<std::uint8_t> page(kPageSize, 0);
  in.seekg(static_cast<std::streamoff>(db.baseOffset));
  if (!in.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size()))) return false;
  const CPage_Header header = CPage_Header::Parse(std::span<std::uint8_t>(page));
  return header.pageType == kFileHeaderPageType && header.thisPage.pageNumber == 0 &&
         header.thisPage.fileId > kPrimaryFileId;
}

Summary Summarize(DatabaseFile& db, std::ostream& err) {
  Summary summary;
  auto boot = db.LocateBootPage();  // sets the collation settings as it is built
  if (!boot) return summary;
  if (!boot->isBootPage) {
    err << (IsSecondaryFileHeader(db)
                ? "page 9 is not a boot page: this is a secondary file of another database, open its primary file\n"
                : "page 9 is not a boot page: the file names no database and no version\n");
    return summary;
  }
  summary.version = boot->version;
  summary.createVersion = boot->createVersion;
  summary.collationId = boot->collation;
  summary.databaseName = platform::Utf16ToUtf8(boot->name());
  if (Settings().collationKnown) {
    summary.collationName = Settings().collationName;
    summary.codePage = Settings().collationCodePage;
  }
  return summary;
}

template <typename T>
nlohmann::ordered_json OrNull(const std::optional<T>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json Json(const DatabaseFile& db, const Summary& summary) {
  nlohmann::ordered_json systemPages = nlohmann::ordered_json::object();
  for (const auto& [objectId, pages] : db.systemPages) systemPages[std::to_string(objectId)] = pages.size();
  nlohmann::ordered_json secondaryFiles = nlohmann::ordered_json::array();
  for (const auto& [fileId, file] : db.secondaryFiles)
    secondaryFiles.push_back({{"fileId", fileId}, {"path", file.path}, {"pageCount", file.pageCount}});
  return {
      {"path", db.path},
      {"fileLength", db.fileLength},
      {"baseOffset", db.baseOffset},
      {"pageCount", db.pageCount},
      {"version", OrNull(summary.version)},
      {"versionText", VersionText(summary.version.value_or(0))},
      {"createVersion", OrNull(summary.createVersion)},
      {"databaseName", summary.databaseName},
      {"collationId", OrNull(summary.collationId)},
      {"collationName", summary.collationName},
      {"codePage", OrNull(summary.codePage)},
      {"systemPages", systemPages},
      {"dataPageCount", CountPages(db.dataPages)},
      {"iamPageCount", CountPages(db.iamPages)},
      {"secondaryFiles", secondaryFiles},
  };
}

// "782 (SQL Server 2014)"; the engine's version texts start with a blank.
std::string VersionLine(std::optional<std::uint16_t> version) {
  if (!version) return "unknown (no boot page)";
  std::string text = VersionText(*version);
  return fmt::format("{} ({})", *version, text.substr(text.find_first_not_of(' ')));
}

std::string CollationLine(const Summary& summary) {
  if (!summary.collationId) return kUnknownCollation;
  if (!summary.codePage) return fmt::format("{} {}", *summary.collationId, summary.collationName);
  return fmt::format("{} {}, code page {}", *summary.collationId, summary.collationName, *summary.codePage);
}

void PrintText(const DatabaseFile& db, const Summary& summary, std::ostream& out) {
  out << fmt::format("{:<16}{}\n", "Path", db.path) << fmt::format("{:<16}{} bytes\n", "File length", db.fileLength)
      << fmt::format("{:<16}{}\n", "Base offset", db.baseOffset) << fmt::format("{:<16}{}\n", "Page count", db.pageCount)
      << fmt::format("{:<16}{}\n", "Version", VersionLine(summary.version))
      << fmt::format("{:<16}{}\n", "Create version", VersionLine(summary.createVersion))
      << fmt::format("{:<16}{}\n", "Database name", summary.databaseName)
      << fmt::format("{:<16}{}\n", "Collation", CollationLine(summary));

  out << "\nSystem pages by object id:\n\n";
  std::vector<Field> systemPages;
  for (const auto& [objectId, pages] : db.systemPages)
    systemPages.emplace_back(fmt::format("object {}", objectId), fmt::format("{} pages", pages.size()));
  PrintInRows(systemPages, 3, out);
  out << fmt::format("\n{:<16}{} in {} allocation units\n", "Data pages", CountPages(db.dataPages), db.dataPages.size())
      << fmt::format("{:<16}{}\n", "IAM pages", CountPages(db.iamPages))
      << fmt::format("{:<16}{}\n", "Secondary files", db.secondaryFiles.empty() ? "none" : "");
  for (const auto& [fileId, file] : db.secondaryFiles)
    out << fmt::format("  {:>6}: {} ({} pages)\n", fileId, file.path, file.pageCount);
}

}  // namespace

void InfoCommand(DatabaseFile& db, bool json, std::ostream& out, std::ostream& err) {
  Summary summary = Summarize(db, err);
  if (json)
    out << Json(db, summary).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  else
    PrintText(db, summary, out);
}

}  // namespace quillmark::cli
