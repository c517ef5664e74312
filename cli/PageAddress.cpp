#include "cli/PageAddress.h"

#include <fmt/format.h>

#include <charconv>

namespace quillmark::cli {
namespace {

// The whole of `text` as a decimal number without a sign.
template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<PageId> ParsePageAddress(std::string_view text) {
  std::uint16_t fileId = kPrimaryFileId;
  std::size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    auto parsedFileId = ParseNumber<std::uint16_t>(text.substr(0, colon));
    if (!parsedFileId || *parsedFileId == 0) return std::nullopt;
    fileId = *parsedFileId;
    text.remove_prefix(colon + 1);
  }
  auto pageNumber = ParseNumber<std::int32_t>(text);
  if (!pageNumber) return std::nullopt;
  return PageId{fileId, *pageNumber};
}

std::string PageAddressText(PageId page) { return fmt::format("({}:{})", page.fileId, page.pageNumber); }

std::string UnreadablePageMessage(const DatabaseFile& db, PageId page) {
  const std::uint64_t pages = db.PageCountOf(page.fileId);
  if (pages == 0)
    return fmt::format("page {} cannot be read: the database has no file with id {}", PageAddressText(page),
                       page.fileId);
  return fmt::format("page {} cannot be read: outside the file (pages 1 to {} can be read)", PageAddressText(page),
                     pages - 1);
}

}  // namespace quillmark::cli
