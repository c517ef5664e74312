// The definition texts of views, procedures, functions, triggers, defaults and
// constraints. They live in one system table, sysobjvalues (60), or syscomments
// (6) in SQL Server 2000 files: every row becomes a module-text entry (object
// id, sub-id, value as hexadecimal text), and an object's text is assembled
// from its entries in page and slot order.
#pragma once

#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "catalog/ModuleTextEntry.h"
#include "platform/Messages.h"

namespace quillmark {

class DatabaseCatalog;

inline constexpr const char* kRetrievingModules = "Retrieving Objects of Sysobjvalues System Tables...........";
inline constexpr const char* kRetrievingModulesDone =
    "Retrieving  Objects of Sysobjvalues System Tables has been done...........";

// The prefetched entries a scan keeps for the column defaults, and the cache
// the definitions are read from, loaded on first use.
struct ModuleTextStore {
  std::vector<ModuleTextEntry> prefetched;
  std::vector<ModuleTextEntry> cache;
  bool cacheLoaded = false;

  void Clear() { *this = ModuleTextStore{}; }
};

// The fixed row layouts of the module-text table of either format.
std::vector<ColumnLayout> ModuleTableLayouts(bool sql2000);

// Reads every row of the module-text table into `target`, decoded with
// `layouts`, logging and reporting progress to `frame`.
void LoadModuleEntries(DatabaseCatalog& catalog, const std::vector<ColumnLayout>& layouts,
                       std::vector<ModuleTextEntry>& target, platform::MessageTarget* frame);

// The scan's prefetch: all entries, for the defaults of columns added later.
void PrefetchModuleEntries(DatabaseCatalog& catalog, ModuleTextStore& store, platform::MessageTarget* frame);

// The definition text of the object whose id is `objectId` (decimal text):
// loads the cache when needed, then assembles the text.
std::u16string GetModuleText(DatabaseCatalog& catalog, ModuleTextStore& store, const std::u16string& objectId,
                             platform::MessageTarget* frame);

// The text of one object from its entries: UTF-16 chunks appended, 8-bit chunks
// appended unless one repeats the whole text so far.
std::u16string AssembleModuleText(const std::vector<ModuleTextEntry>& entries, const std::u16string& objectId);

}  // namespace quillmark
