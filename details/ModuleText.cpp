#include "details/ModuleText.h"

#include "catalog/DatabaseCatalog.h"
#include "catalog/SchemaResolution.h"
#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/RecordPage.h"
#include "values/RowDecoder.h"

namespace quillmark {
namespace {

constexpr std::int32_t kModuleTableId = 60;
constexpr std::int32_t kLegacyModuleTableId = 6;

ColumnLayout FixedLayout(std::int32_t columnId, const std::u16string& name, const std::u16string& typeText,
                         TypeCode typeCode) {
  ColumnLayout layout;
  layout.columnId = columnId;
  layout.physicalColumnId = columnId;
  layout.name = name;
  layout.typeText = typeText;
  layout.typeCode = typeCode;
  layout.length = LayoutLength(typeCode, typeText);
  layout.variableFlag = LayoutVariableFlag(typeCode);
  layout.hasLayout = 1;
  return layout;
}

// The layouts a 2000 file's syscomments resolves to, or the fixed ones when it
// resolves to none.
std::vector<ColumnLayout> LegacyModuleLayouts(DatabaseCatalog& catalog) {
  std::vector<ColumnLayout> layouts = ResolveTableSchema(catalog, u"syscomments", "S ", {});
  return layouts.empty() ? ModuleTableLayouts(true) : layouts;
}

std::vector<ColumnLayout> LayoutsFor(DatabaseCatalog& catalog) {
  return Settings().isSql2000 ? LegacyModuleLayouts(catalog) : ModuleTableLayouts(false);
}

ModuleTextEntry EntryOf(const DecodedRow& row, bool sql2000) {
  if (sql2000) return ModuleTextEntry{row[0], row.size() > 1 ? row[1] : u"", row.size() >= 5 ? row[4] : u""};
  return ModuleTextEntry{row[1], row[2], row.back()};
}

}  // namespace

std::vector<ColumnLayout> ModuleTableLayouts(bool sql2000) {
  if (sql2000)
    return {FixedLayout(1, u"id", u"int", kInt), FixedLayout(2, u"number", u"int", kSmallInt),
            FixedLayout(3, u"colid", u"short", kSmallInt), FixedLayout(4, u"status", u"short", kSmallInt),
            FixedLayout(5, u"ctext", u"varbinary(-1)", kVarBinary)};
  return {FixedLayout(1, u"valclass", u"tinyint(1)", kTinyInt), FixedLayout(2, u"objid", u"int(4)", kInt),
          FixedLayout(3, u"subobjid", u"int(4)", kInt),        FixedLayout(4, u"valnum", u"int(4)", kInt),
          FixedLayout(5, u"value", u"sql_variant(8016)", kSqlVariant),
          FixedLayout(6, u"imageval", u"varbinary(-1)", kVarBinary)};
}

void LoadModuleEntries(DatabaseCatalog& catalog, const std::vector<ColumnLayout>& layouts,
                       std::vector<ModuleTextEntry>& target, platform::MessageTarget* frame) {
  using platform::Send;
  platform::SendText(frame, platform::WM_APP_LOG, kRetrievingModules);
  const bool sql2000 = Settings().isSql2000 != 0;
  const PageList pages = catalog.file->SystemPages(sql2000 ? kLegacyModuleTableId : kModuleTableId);
  Send(frame, platform::WM_APP_PROGRESS_RANGE, 0, static_cast<platform::LParam>(pages.size()));
  std::vector<ColumnLayout> working = layouts;
  for (std::size_t i = 0; i < pages.size() && !StopRequested(); ++i) {
    const PageEntry& entry = pages[i];
    if (sql2000 && entry.pageType != kDataPageType) continue;
    auto page = catalog.file->ReadDataPage(entry.Page());
    if (!page) continue;
    std::vector<DecodedRow> rows = sql2000 ? DecodeLegacyFormat(*page, working, DecodeVariant::kCatalog)
                                           : DecodeCurrentFormat(*page, working, DecodeVariant::kCatalog);
    for (const DecodedRow& row : rows) {
      if (row.empty() || (!sql2000 && row.size() < 2)) continue;
      target.push_back(EntryOf(row, sql2000));
    }
    Send(frame, platform::WM_APP_PROGRESS_POS, i, 0);
  }
  Send(frame, platform::WM_APP_PROGRESS_POS, pages.size(), 0);
  platform::SendText(frame, platform::WM_APP_LOG, kRetrievingModulesDone);
}

void PrefetchModuleEntries(DatabaseCatalog& catalog, ModuleTextStore& store, platform::MessageTarget* frame) {
  store.prefetched.clear();
  LoadModuleEntries(catalog, LayoutsFor(catalog), store.prefetched, frame);
}

std::u16string GetModuleText(DatabaseCatalog& catalog, ModuleTextStore& store, const std::u16string& objectId,
                             platform::MessageTarget* frame) {
  if (!store.cacheLoaded) {
    store.cache.clear();
    LoadModuleEntries(catalog, LayoutsFor(catalog), store.cache, frame);
    store.cacheLoaded = !store.cache.empty();
  }
  return AssembleModuleText(store.cache, objectId);
}

std::u16string AssembleModuleText(const std::vector<ModuleTextEntry>& entries, const std::u16string& objectId) {
  std::u16string text;
  for (const ModuleTextEntry& entry : entries) {
    if (entry.objectId != objectId || entry.value.size() < 2) continue;
    ModuleValueText chunk = ModuleValueToText(DecodeModuleValue(entry.value));
    if (chunk.wide || chunk.text != text) text += chunk.text;
  }
  return text;
}

}  // namespace quillmark
