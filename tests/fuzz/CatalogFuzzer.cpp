// The catalog build over a small database whose pages come from the fuzzer's
// bytes (placed where their headers say), then the schema of its first few
// tables and the module texts, as a scan reads them.
#include <cstddef>
#include <cstdint>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "details/ModuleText.h"
#include "engine/AppSettings.h"
#include "tests/fuzz/FuzzFile.h"

using namespace quillmark;

namespace {

// Tables resolved per input.
constexpr std::size_t kMostTables = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile memory;
  ResetSettings();
  OpenedDatabaseFile opened = OpenDatabase(memory.HoldPages(data, size), 0, nullptr);
  if (opened.opened() && opened.catalog) {
    DatabaseCatalog& catalog = *opened.catalog;
    std::size_t tables = 0;
    const std::vector<CatalogObject> objects = catalog.objects;
    for (const CatalogObject& object : objects) {
      if (object.type != "U " || tables++ >= kMostTables) continue;
      ResolveTableSchema(catalog, object.name, object.type, {});
    }
    ModuleTextStore store;
    PrefetchModuleEntries(catalog, store, nullptr);
  }
  ResetSettings();
  return 0;
}
