#include "cli/TableRows.h"

#include <algorithm>

#include "catalog/SchemaResolution.h"
#include "cli/Commands.h"
#include "engine/AppSettings.h"
#include "engine/PageHeader.h"
#include "platform/CodePage.h"
#include "values/CompressedValues.h"

namespace quillmark::cli {
namespace {

bool HasObject(const DatabaseCatalog& catalog, const std::u16string& name, const char* type) {
  return std::any_of(catalog.objects.begin(), catalog.objects.end(),
                     [&](const CatalogObject& object) { return object.name == name && object.type == type; });
}

// While rows are read, 8-bit text takes each column's code page and compressed
// records are rebuilt with the table's layouts; both end with the reading.
class ListingScope {
 public:
  explicit ListingScope(const std::vector<ColumnLayout>& layouts) : rebuilder_(layouts) {
    Settings().listingActive = 1;
    Settings().listingContext = &rebuilder_;
  }
  ~ListingScope() {
    Settings().listingActive = 0;
    Settings().listingContext = nullptr;
  }
  ListingScope(const ListingScope&) = delete;
  ListingScope& operator=(const ListingScope&) = delete;

 private:
  CompressedValueRebuilder rebuilder_;
};

}  // namespace

std::vector<ColumnLayout> ResolveTable(DatabaseCatalog& catalog, const std::string& name, ModuleTextStore& store) {
  const std::u16string wanted = platform::Utf8ToUtf16(name);
  const char* type = HasObject(catalog, wanted, "U ") ? "U " : HasObject(catalog, wanted, "S ") ? "S " : nullptr;
  if (!type) throw CliError("no table named '" + name + "'");
  // Before the resolution: in SQL Server 2000 files the read resolves syscomments itself.
  PrefetchModuleEntries(catalog, store, nullptr);
  return ResolveTableSchema(catalog, wanted, type, store.prefetched);
}

void ReadTableRows(DatabaseCatalog& catalog, std::vector<ColumnLayout>& layouts, const RowHandler& handler) {
  const bool current = !Settings().isSql2000 && !catalog.selected.rowsetColumns.empty();
  const auto decode = current ? DecodeCurrentFormat : DecodeLegacyFormat;
  const ListingScope scope(layouts);
  for (const PageId id : catalog.selected.dataPages) {
    if (StopRequested()) return;
    const auto page = catalog.file->ReadDataPage(id);
    if (!page || !page->header || page->header->pageType != kDataPageType) continue;
    for (const DecodedRow& row : decode(*page, layouts, DecodeVariant::kListing))
      if (!handler(row)) return;
  }
}

}  // namespace quillmark::cli
