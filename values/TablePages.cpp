#include "values/TablePages.h"

#include <set>
#include <utility>

#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"

namespace quillmark {
namespace {

// Pages are told apart by file and number: a chain may move to the same page
// number in another file.
using PageKey = std::pair<std::uint16_t, std::int32_t>;
PageKey KeyOf(PageId page) { return {page.fileId, page.pageNumber}; }

bool Addressable(PageId page) { return page.fileId != 0 && page.pageNumber != 0; }

class PageChooser {
 public:
  PageChooser(const DatabaseCatalog& catalog, const PageListing& listing)
      : catalog_(catalog), file_(*catalog.file), listing_(listing) {}

  bool Choose(std::uint8_t advanced) {
    if (advanced) return AllPagesListing(false);
    return Settings().isSql2000 ? LegacyChooser() : CurrentFormatChooser();
  }

 private:
  const SelectedTable& Selected() const { return catalog_.selected; }

  // Page number above 0 and below the page count of its file (file id 0 is
  // the primary file).
  bool InRange(PageId page) const {
    const std::uint16_t fileId = page.fileId == 0 ? kPrimaryFileId : page.fileId;
    return page.pageNumber > 0 && static_cast<std::uint64_t>(page.pageNumber) < file_.PageCountOf(fileId);
  }

  bool CurrentFormatChooser();
  bool LegacyChooser();
  // Every page of the data page list; in Standard mode only those the table's
  // own IAM pages allocate, when it has readable IAM pages.
  bool AllPagesListing(bool ownedOnly) { return listing_(PageStrategy::kAllPages, AllPages(ownedOnly)); }
  bool Listing(PageStrategy strategy, PageId start);

  std::vector<PageId> LegacyIamWalkPages() const;
  std::vector<PageId> PageChainPages(PageId start) const;
  std::vector<PageId> LegacyPageChainPages(PageId start) const;
  std::vector<PageId> AllPages(bool ownedOnly) const;
  std::set<PageKey> OwnedPages() const;

  const DatabaseCatalog& catalog_;
  DatabaseFile& file_;
  const PageListing& listing_;
};

bool PageChooser::CurrentFormatChooser() {
  const CatalogAllocUnit& unit = Selected().inRowAllocUnit;
  if (unit.firstIamPage.pageNumber <= 0) return AllPagesListing(true);
  if (Selected().inRowRowset.indexId == 0) {
    if (!InRange(unit.firstIamPage)) return Listing(PageStrategy::kPageChain, unit.firstPage);
    if (Listing(PageStrategy::kIamWalk, unit.firstIamPage)) return true;
    return InRange(unit.firstPage) && Listing(PageStrategy::kPageChain, unit.firstPage);
  }
  // A clustered table's leaf chain is followed only from its true first page.
  if (InRange(unit.firstPage)) {
    const auto header = file_.ReadPageHeader(unit.firstPage);
    if (header && header->pageType == kDataPageType && header->previousPage.pageNumber == 0 &&
        Listing(PageStrategy::kPageChain, unit.firstPage))
      return true;
  }
  return InRange(unit.firstIamPage) && Listing(PageStrategy::kIamWalk, unit.firstIamPage);
}

bool PageChooser::LegacyChooser() {
  const std::int32_t objectId = Selected().object.id;
  const auto entry = catalog_.legacyIndexes.find(objectId);
  if (entry != catalog_.legacyIndexes.end() && entry->second.objectId == objectId) {
    // SQL Server 2000 keeps a table's pages in the primary file.
    return Listing(PageStrategy::kLegacyPageChain, PageId{kPrimaryFileId, entry->second.firstPage});
  }
  const PageList& iamPages = file_.IamPages(PageMapKey(objectId, 0));
  return !iamPages.empty() && InRange(iamPages.front().Page()) &&
         Listing(PageStrategy::kIamWalk, iamPages.front().Page());
}

bool PageChooser::Listing(PageStrategy strategy, PageId start) {
  switch (strategy) {
    case PageStrategy::kIamWalk:
      return listing_(strategy, Settings().isSql2000 ? LegacyIamWalkPages() : WalkIamChain(file_, start));
    case PageStrategy::kPageChain:
      return listing_(strategy, PageChainPages(start));
    case PageStrategy::kLegacyPageChain: {
      const std::vector<PageId> pages = LegacyPageChainPages(start);
      if (pages.empty()) return AllPagesListing(true);
      return listing_(strategy, pages);
    }
    case PageStrategy::kAllPages:
      break;
  }
  return AllPagesListing(true);
}

std::vector<PageId> PageChooser::LegacyIamWalkPages() const {
  std::vector<PageId> pages;
  for (const PageEntry& entry : file_.IamPages(PageMapKey(Selected().object.id, 0))) {
    if (StopRequested()) break;
    const auto iam = file_.ReadIamPage(entry.Page());
    if (!iam) break;
    for (const PageId& page : iam->AllocatedPages()) pages.push_back(page);
  }
  return pages;
}

std::vector<PageId> PageChooser::PageChainPages(PageId start) const {
  std::vector<PageId> pages;
  std::set<PageKey> visited{KeyOf(start)};
  if (Addressable(start)) pages.push_back(start);
  for (PageId at = start; at.pageNumber != 0 && !StopRequested();) {
    const auto header = file_.ReadPageHeader(at);
    if (!header) break;
    const PageId next = header->nextPage;
    if (next.pageNumber == 0 || !visited.insert(KeyOf(next)).second) break;
    if (Addressable(next) && header->pageType == kDataPageType) pages.push_back(next);
    at = next;
  }
  // A stop during the walk still lets the pages found so far be listed.
  Settings().stopRequested = 0;
  return pages;
}

std::vector<PageId> PageChooser::LegacyPageChainPages(PageId start) const {
  std::vector<PageId> pages;
  std::set<PageKey> visited;
  for (PageId at = start; at.pageNumber != 0 && !StopRequested();) {
    const auto header = file_.ReadPageHeader(at);
    if (!header) break;
    if (Addressable(at)) {
      if (!visited.insert(KeyOf(at)).second) break;
      pages.push_back(at);
    }
    at = header->nextPage;
  }
  if (pages.empty()) return pages;
  // The chain may be cut short: the rest of the table's allocated pages follow
  // it. Pages that carry the table's id but that neither the chain nor its IAM
  // pages reach are left-overs of an earlier copy of the table (a rebuild keeps
  // them), whose rows would show twice.
  const std::set<PageKey> owned = OwnedPages();
  for (const PageId& page : Selected().dataPages)
    if (Addressable(page) && (owned.empty() || owned.count(KeyOf(page))) && visited.insert(KeyOf(page)).second)
      pages.push_back(page);
  return pages;
}

std::vector<PageId> PageChooser::AllPages(bool ownedOnly) const {
  std::vector<PageId> pages;
  const std::set<PageKey> owned = ownedOnly ? OwnedPages() : std::set<PageKey>{};
  for (const PageId& page : Selected().dataPages)
    if (Addressable(page) && (owned.empty() || owned.count(KeyOf(page)))) pages.push_back(page);
  return pages;
}

// The pages the table's own allocation owns: what its IAM pages (the chain from
// its first IAM page, and for current-format files the IAM pages indexed under
// its allocation units) allocate. Empty when none of them can be read, so that
// a table without readable allocation data still lists every page.
std::set<PageKey> PageChooser::OwnedPages() const {
  std::set<PageKey> owned;
  std::set<PageKey> walked;
  auto walk = [&](PageId first) {
    for (PageId at = first; at.pageNumber > 0 && InRange(at) && !StopRequested() && walked.insert(KeyOf(at)).second;) {
      const auto iam = file_.ReadIamPage(at);
      if (!iam || !iam->header || iam->header->pageType != kIamPageType) break;
      for (const PageId& page : iam->AllocatedPages()) owned.insert(KeyOf(page));
      at = iam->header->nextPage;
    }
  };
  if (Settings().isSql2000) {
    const auto entry = catalog_.legacyIndexes.find(Selected().object.id);
    if (entry != catalog_.legacyIndexes.end() && entry->second.firstIamPage > 0)
      walk(PageId{kPrimaryFileId, entry->second.firstIamPage});
    return owned;
  }
  walk(Selected().inRowAllocUnit.firstIamPage);
  for (const CatalogAllocUnit& unit : Selected().allocUnits)
    for (const PageEntry& entry : file_.IamPages(DataPageKeyOf(file_.iamPages, unit.id)))
      if (entry.pageType == kIamPageType) walk(entry.Page());
  return owned;
}

}  // namespace

bool ChooseTablePages(const DatabaseCatalog& catalog, std::uint8_t advanced, const PageListing& listing) {
  if (!catalog.file) return false;
  return PageChooser(catalog, listing).Choose(advanced);
}

}  // namespace quillmark
