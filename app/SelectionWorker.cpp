// A click on a tree item's label: the rows of a table (its first page), the
// definition of a module or constraint, or the script of a key, worked out on
// a worker thread; and the paging workers behind Previous and Next Records.
#include <algorithm>

#include "app/MainFrame.h"
#include "catalog/SchemaResolution.h"
#include "details/KeyScripts.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"

namespace quillmark::app {
namespace {

constexpr const char16_t* kPleaseWaitWhile = u"Please wait while ";
constexpr const char16_t* kFolderIsScanning = u" folder is scanning.";
constexpr const char16_t* kSelectionDone = u"Scanning process completed.";
constexpr const char16_t* kModuleTable2000 = u"syscomments";
constexpr int kListColumnWidth = 200;

// The object types whose selection shows their module text.
bool ShowsModuleText(const std::u16string& type) {
  static const char16_t* const kTypes[] = {u"F ", u"P ", u"D ", u"C ", u"PK", u"FN",
                                           u"TR", u"IF", u"V ", u"UQ", u"TT", u"TF"};
  return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char16_t* t) { return type == t; });
}

std::u16string Decimal(std::int64_t value) { return platform::Utf8ToUtf16(std::to_string(value)); }

}  // namespace

platform::LParam CMainFrame::OnObjectSelected(platform::TreeItem item) {
  if (Settings().busy == 1 || workerAlive_) {
    controls_.tree->Select(selectedItem_);
    controls_.tree->SetDropHighlight(selectedItem_);
    Box(kWaitForRunning);
    return 0;
  }
  Settings().busy = 1;
  selectedItem_ = item;
  controls_.records->DeleteAllRows();
  controls_.text->SetText(u"");
  controls_.status->SetText(u"");
  const std::u16string text = controls_.tree->ItemText(item);
  controls_.caption->SetText(text);
  log_.LogLine(kPleaseWaitWhile + text + kFolderIsScanning);
  controls_.progress->SetVisible(true);
  controls_.progress->SetPos(0);
  listing_.pageNumber = 0;
  listing_.lastNextKey = NextKey{};
  Settings().stopRequested = 0;
  StartWorker([this] { SelectionWorker(); });
  return 1;
}

void CMainFrame::SetUpListColumns() {
  const std::vector<ColumnLayout>& layouts = opened_.catalog->selected.layouts;
  Ui([&] {
    controls_.records->DeleteAllRows();
    int index = 0;
    for (const std::size_t shown : ListedColumns(layouts))
      controls_.records->InsertColumn(index++, layouts[shown].name, kListColumnWidth);
    // The clearing deletes exactly the columns inserted here.
    insertedColumns_ = index;
  });
}

std::u16string CMainFrame::ModuleTextOf(const std::u16string& name) {
  DatabaseCatalog& catalog = *opened_.catalog;
  if (Settings().isSql2000) {
    ResolveTableSchema(catalog, kModuleTable2000, "S ", modules_.prefetched);
    const auto found = std::find_if(catalog.objects.begin(), catalog.objects.end(),
                                    [&](const CatalogObject& object) { return object.name == name; });
    const std::u16string id = found == catalog.objects.end() ? std::u16string() : Decimal(found->id);
    return GetModuleText(catalog, modules_, id, this);
  }
  const std::vector<ColumnLayout>& layouts = catalog.selected.layouts;
  return GetModuleText(catalog, modules_, layouts.empty() ? std::u16string() : layouts.front().valueText, this);
}

void CMainFrame::SelectionWorker() {
  const auto end = [this] {
    Settings().busy = 0;
    Ui([this] { controls_.progress->SetVisible(false); });
  };
  if (!opened_.catalog) {
    end();
    return;
  }
  DatabaseCatalog& catalog = *opened_.catalog;
  catalog.selected.columns.clear();
  ClearRecordColumns();
  catalog.selected.layouts.clear();
  catalog.selected.legacyColumns.clear();
  listing_.itemIndex = 0;
  // The previous table's pages go with its rows: an object that lists no rows
  // must not leave Next Records enabled over them.
  listing_.listedPages.clear();
  listing_.pageStarts.clear();

  // The item clicked, as remembered when the click was taken: a right click
  // since then may have moved the tree's selection.
  const platform::TreeItem item = selectedItem_;
  std::u16string name;
  std::u16string parentText;
  std::u16string grandParentText;
  platform::TreeItem parent = platform::kNoItem;
  std::intptr_t itemData = 0;
  Ui([&] {
    const platform::TreeControl& tree = *controls_.tree;
    name = tree.ItemText(item);
    parent = tree.Parent(item);
    parentText = tree.ItemText(parent);
    grandParentText = tree.ItemText(tree.Parent(parent));
    itemData = tree.ItemData(item);
  });
  if (item == nodes_.root || name.empty()) {
    end();
    return;
  }

  const auto showText = [this](const std::u16string& text) {
    Ui([&] {
      controls_.panel->ShowView(platform::PanelView::kText);
      controls_.text->ClearSelection();
      controls_.text->SetText(text);
    });
  };
  bool scripted = false;
  if (parent == nodes_.systemTables || parent == nodes_.userTables) {
    const char* type = parent == nodes_.systemTables ? "S " : "U ";
    if (!ExpandTable(TreeWin(), nodes_, catalog, item, modules_.prefetched))
      ResolveTableSchema(catalog, name, type, modules_.prefetched);
  } else if (parentText == kPrimaryKeyNode) {
    showText(PrimaryKeyScript(catalog.legacyTables, static_cast<std::int32_t>(itemData)));
    scripted = true;
  } else if (parentText == kUniqueNode) {
    showText(UniqueKeyScript(catalog.legacyTables, static_cast<std::int32_t>(itemData), name));
    scripted = true;
  } else {
    ResolveTableSchema(catalog, name, "P ", modules_.prefetched);
  }

  const SelectedTable& selected = catalog.selected;
  if (!scripted && selected.resolved && !selected.layouts.empty()) {
    Ui([this] {
      controls_.panel->ShowView(platform::PanelView::kRecords);
      controls_.previous->SetVisible(true);
      controls_.next->SetVisible(true);
      controls_.previous->SetEnabled(false);
      controls_.next->SetEnabled(false);
    });
    SetUpListColumns();
    ListFirstPage(catalog, listing_, advanced_, ListingWin());
  } else if (!scripted && selected.layouts.size() > 1 && ShowsModuleText(selected.layouts[1].valueText)) {
    std::u16string text = ModuleTextOf(name);
    if (parentText == kConstraintNode) text = CheckConstraintScript(grandParentText, name, text);
    showText(text);
  }

  // The finish: page status, caption and log line.
  int rows = 0;
  Ui([&] {
    controls_.previous->SetEnabled(false);
    controls_.next->SetEnabled(listing_.pageStarts.size() > 1);
    rows = controls_.records->RowCount();
  });
  listing_.pageNumber += 1;
  const std::u16string status = u"Page" + Decimal(listing_.pageNumber) + u" - [" + Decimal(rows) + u"](" +
                                Decimal(rows > 0 ? 1 : 0) + u"-" + Decimal(rows) + u") Records";
  const std::u16string caption = name + u"[" + Decimal(rows) + u"]";
  Ui([&] {
    controls_.status->SetText(status);
    controls_.caption->SetText(caption);
  });
  log_.LogLine(caption);
  Ui([this] {
    controls_.records->Redraw();
    controls_.progress->SetVisible(false);
  });
  Settings().busy = 0;
  log_.LogLine(kSelectionDone);
}

platform::LParam CMainFrame::OnPaging(bool next) {
  if (Settings().busy == 1 || workerAlive_) {
    Box(kWaitForRunning);
    return 0;
  }
  // Busy from here, on this thread: a second click before the worker runs is refused.
  Settings().busy = 1;
  Settings().stopRequested = 0;
  StartWorker([this, next] {
    if (!opened_.catalog) {
      Settings().busy = 0;
      return;
    }
    if (next)
      ListNextPage(*opened_.catalog, listing_, ListingWin());
    else
      ListPreviousPage(*opened_.catalog, listing_, ListingWin());
  });
  return 1;
}

}  // namespace quillmark::app
