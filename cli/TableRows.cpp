#include "cli/TableRows.h"

#include <algorithm>

#include "catalog/SchemaResolution.h"
#include "cli/Commands.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

bool HasObject(const DatabaseCatalog& catalog, const std::u16string& name, const char* type) {
  return std::any_of(catalog.objects.begin(), catalog.objects.end(),
                     [&](const CatalogObject& object) { return object.name == name && object.type == type; });
}

}  // namespace

std::vector<ColumnLayout> ResolveTable(DatabaseCatalog& catalog, const std::string& name, ModuleTextStore& store) {
  const std::u16string wanted = platform::Utf8ToUtf16(name);
  const char* type = HasObject(catalog, wanted, "U ") ? "U " : HasObject(catalog, wanted, "S ") ? "S " : nullptr;
  if (!type) throw CliError("no table named '" + name + "'");
  // Before the resolution: in SQL Server 2000 files the read resolves syscomments itself.
  PrefetchModuleEntries(catalog, store, nullptr);
  return ResolveTableSchema(catalog, wanted, type, store.prefetched);
}

}  // namespace quillmark::cli
