#include "cli/TableExport.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

// Hands the stream's rows to the writer; the bar follows the pages.
class WriterSink : public RowSink {
 public:
  WriterSink(ExportWriter& writer, ProgressBar* progress, const std::function<void()>& pageDone)
      : writer_(writer), progress_(progress), pageDone_(pageDone) {}

  bool Row(const std::vector<const std::u16string*>& values) override {
    if (Interrupted() || writer_.Done()) return false;
    writer_.Row(values);
    return !writer_.Done();
  }
  void PageDone(std::uint64_t page, std::uint64_t pages, std::uint64_t /*rows*/) override {
    if (pageDone_) pageDone_();
    if (progress_) {
      progress_->SetRange(pages);
      progress_->SetPosition(page + 1);
    }
  }

 private:
  ExportWriter& writer_;
  ProgressBar* progress_;
  const std::function<void()>& pageDone_;
};

const CatalogObject* UserTable(const DatabaseCatalog& catalog, const std::u16string& name) {
  const auto found = std::find_if(catalog.objects.begin(), catalog.objects.end(), [&](const CatalogObject& object) {
    return object.name == name && object.type == "U ";
  });
  return found == catalog.objects.end() ? nullptr : &*found;
}

}  // namespace

std::string UnreadablePagesText(const std::string& table, std::uint64_t pages) {
  return pages == 1 ? fmt::format("table '{}': 1 unreadable page, its rows are missing", table)
                    : fmt::format("table '{}': {} unreadable pages, their rows are missing", table, pages);
}

// Files of SQL Server 2000 keep the owner there, not a schema.
std::string SchemaName(std::int32_t schemaId) {
  return schemaId == 1 || Settings().isSql2000 ? "dbo" : fmt::format("schema{}", schemaId);
}

TableExporter::TableExporter(ShellSession& session, const app::ScanOptions& scan, ProgressBar* progress)
    : session_(session), progress_(progress), advanced_(scan.advanced ? 1 : 0) {
  session_.ScanOrFail(scan);
  // Reading the module texts may resolve a system table into the selection: before any table is selected.
  PrefetchModuleEntries(Catalog(), modules_, nullptr);
}

DatabaseCatalog& TableExporter::Catalog() const {
  DatabaseCatalog* catalog = session_.shell.frame.opened().catalog.get();
  if (!catalog) throw CliError("no database is open");
  return *catalog;
}

std::vector<std::string> TableExporter::UserTables() const {
  const platform::headless::Tree& tree = session_.shell.window.tree;
  const std::u16string root = tree.ItemText(tree.FirstChild(platform::kNoItem));
  std::vector<std::string> names;
  const platform::TreeItem node = tree.Find({root, u"Tables", u"User Tables"});
  if (node == platform::kNoItem) return names;
  for (const platform::TreeItem table : tree.Children(node)) names.push_back(platform::Utf16ToUtf8(tree.ItemText(table)));
  return names;
}

bool TableExporter::SeveralSchemas() const {
  std::set<std::int32_t> schemas;
  for (const CatalogObject& object : Catalog().objects)
    if (object.type == "U ") schemas.insert(object.schemaId);
  return schemas.size() > 1;
}

ExportedTable TableExporter::Select(const std::string& name) {
  session_.Select(session_.TablePath(name));
  const DatabaseCatalog& catalog = Catalog();
  ExportedTable table;
  table.name = name;
  const CatalogObject* object = UserTable(catalog, platform::Utf8ToUtf16(name));
  table.schema = SchemaName(object ? object->schemaId : 1);
  table.objectId = object ? object->id : catalog.selected.object.id;
  table.columns = session_.Columns();
  // A table the window lists no rows for (its columns unresolved) exports none either.
  if (catalog.selected.resolved)
    for (const std::size_t index : StreamedColumns(catalog)) table.layouts.push_back(catalog.selected.layouts[index]);
  table.definition = DescribeSelectedTable(catalog, modules_, table.schema, table.name);
  if (!catalog.selected.resolved) table.columns = RowColumns{};
  if (table.layouts.size() != table.columns.names.size())
    throw CliError(fmt::format("table '{}': its columns cannot be resolved", name));
  return table;
}

StreamResult TableExporter::Stream(const ExportedTable& table, ExportWriter& writer,
                                   const std::function<void()>& pageDone) {
  if (progress_) progress_->Start((progressText.empty() ? "Exporting" : progressText) + " " + table.name, 0);
  writer.BeginTable(table);
  WriterSink sink(writer, progress_, pageDone);
  StreamOptions options;
  options.advanced = advanced_;
  options.largeValues = largeValues;
  const StreamResult result = table.layouts.empty() ? StreamResult{} : StreamTableRows(Catalog(), options, sink);
  if (Interrupted()) throw CliError(fmt::format("table '{}': stopped by Ctrl+C", table.name));
  writer.EndTable();
  if (progress_) progress_->Clear();
  Settings().stopRequested = 0;
  return result;
}

}  // namespace quillmark::cli
