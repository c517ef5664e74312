// The scan: launched by Open (through the open dialog) or by Load snapshot, it
// opens the database on a worker thread, has the catalog rebuilt, logs the
// version and collation, builds the object tree and prefetches the module
// texts, ending in one of four outcomes.
#include "app/MainFrame.h"
#include "catalog/OpenSequence.h"
#include "catalog/Snapshot.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "platform/ProgramPath.h"

namespace quillmark::app {
namespace {

constexpr const char16_t* kFileSelected = u" File is selected for recovery....";
constexpr const char16_t* kBrowseFilePath = u"Browse File Path:\t";
constexpr const char16_t* kAdvancedSelected = u"Advanced mode is selected for file recovery.";
constexpr const char16_t* kStandardSelected = u"Standard mode is selected for file recovery.";
constexpr const char16_t* kScanStarts = u"Scanning of file starts...";
constexpr const char* kUnknownVersion = "Database version: Unknown SQL Version";
constexpr const char16_t* kVersionPrefix = u"Database version: ";
constexpr const char* kUnknownCollation = "Unknown Collation";
constexpr const char16_t* kCollationPrefix = u"Collation Type: ";
constexpr const char16_t* kScanAborted = u"Scanning process aborted.";
constexpr const char16_t* kNoObjects =
    u"Either it is not valid mdf file or highly corrupted, select another file to recover.";
constexpr const char16_t* kNoNamedObjects =
    u"Whether it is not valid mdf file or highly corrupted, select another file to recover.";
constexpr const char16_t* kScanCompletedCaption = u"Scanning completed for selected mdf file";
constexpr const char* kScanCompletedLog = "Scanning completed for selected mdf file.";
constexpr const char16_t* kScanCompleted = u"Scanning process completed.";

std::u16string U16(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }

}  // namespace

void CMainFrame::OnOpen() {
  if (RefuseWhileWorking()) return;
  CKestrumFileSettingDlg dialog(*controls_.dialogs);
  dialog.Init();
  if (!runOpenDialog || !runOpenDialog(dialog)) return;
  Settings().busy = 1;
  selectedPath_ = Settings().databasePath;
  controls_.tree->DeleteAllItems();
  controls_.text->SetText(u"");
  controls_.status->SetText(u"");
  controls_.records->DeleteAllRows();
  controls_.previous->SetEnabled(false);
  controls_.next->SetEnabled(false);
  controls_.caption->SetText(U16(selectedPath_));
  controls_.progress->SetVisible(true);
  log_.Open(Settings().logFolder);
  log_.LogLine(U16(selectedPath_) + kFileSelected);
  Settings().snapshotMode = 0;
  Settings().stopRequested = 0;
  StartWorker([this] {
    // The reset runs on the worker, as the scan's first step.
    ScanWorker();
  });
}

void CMainFrame::OnLoadSnapshot() {
  if (RefuseWhileWorking()) return;
  platform::FileDialogOptions options;
  options.filter = ".KestrumMDB Files (*.MDBKSM)|*MDBKSM||";
  const std::optional<std::string> chosen = controls_.dialogs->ChooseFile(options);
  if (!chosen) return;
  Settings().busy = 1;
  log_.Close();
  std::string folder = platform::ProgramFolder().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  Settings().logFolder = folder;
  log_.Open(folder);
  Settings().snapshotMode = 1;
  // The chosen snapshot, and no database until its header names one: a snapshot
  // that cannot be read must not reopen the previous one.
  Settings().snapshotPath = *chosen;
  Settings().snapshotDatabasePath.clear();
  if (const std::optional<SnapshotHeader> header = ReadSnapshotHeader(*chosen)) ApplySnapshotHeader(*header, *chosen);
  Settings().stopRequested = 0;
  StartWorker([this] { ScanWorker(); });
}

void CMainFrame::ReleaseDatabase() {
  if (opened_.catalog) opened_.catalog->reader.reset();
  if (opened_.file) opened_.file->catalog = nullptr;
  opened_.file.reset();
  opened_.catalog.reset();
  opened_.spareCatalog.reset();
}

void CMainFrame::ClearRecordColumns() {
  Ui([this] {
    controls_.records->DeleteAllRows();
    for (int i = 0; i < insertedColumns_; ++i) controls_.records->DeleteColumn(0);
    insertedColumns_ = 0;
  });
}

void CMainFrame::ResetWorkspace() {
  modules_.Clear();
  ReleaseDatabase();
  ClearRecordColumns();
  Ui([this] {
    controls_.text->SetText(u"");
    controls_.tree->DeleteAllItems();
  });
  nodes_ = TreeNodes{};
}

void CMainFrame::ScanWorker() {
  AppSettings& settings = Settings();
  // Nothing of the previous database may carry over: its version, collation
  // and format are read afresh.
  ResetDatabaseValues();
  ResetWorkspace();
  const std::string path = settings.snapshotMode == 1 ? settings.snapshotDatabasePath : selectedPath_;
  if (!path.empty()) log_.LogLine(kBrowseFilePath + U16(path));
  opened_.advanced = 0;
  opened_.progressWindow = this;
  if (settings.recoveryMode == 2) {
    log_.LogLine(kAdvancedSelected);
    opened_.advanced = advanced_ = 1;
  } else {
    log_.LogLine(kStandardSelected);
    opened_.advanced = advanced_ = 0;
  }
  log_.LogLine(kScanStarts);

  const auto endWithoutTree = [this] {
    Ui([this] {
      controls_.tree->DeleteAllItems();
      controls_.progress->SetVisible(false);
    });
    Settings().busy = 0;
  };

  const auto endAborted = [&] {
    endWithoutTree();
    log_.LogLine(kScanAborted);
    Box(kScanAborted);
  };

  InstallSnapshotLoader();
  std::unique_ptr<DatabaseFile> file = DatabaseFile::Open(path, opened_.advanced, this);
  // Stored only now: an engine failure during the open releases what the
  // frame held before, never the file being opened.
  opened_.file = std::move(file);
  if (opened_.file->opened) {
    opened_.catalog = std::make_unique<DatabaseCatalog>(*opened_.file);
    opened_.file->catalog = opened_.catalog.get();
  }
  // A stop during the open or the catalog build leaves partial maps or lists:
  // the scan failed.
  const bool stopped = StopRequested();
  settings.stopRequested = 0;
  if (!opened_.file->opened || stopped) {
    endAborted();
    return;
  }
  if (opened_.catalog->objects.empty()) {
    log_.LogLine(kNoObjects);
    endWithoutTree();
    return;
  }

  if (settings.versionText.empty()) {
    settings.versionText = kUnknownVersion;
    log_.LogLine(U16(kUnknownVersion));
  } else {
    log_.LogLine(kVersionPrefix + U16(settings.versionText));
  }
  if (settings.collationName.empty()) settings.collationName = kUnknownCollation;
  log_.LogLine(kCollationPrefix + U16(settings.collationName));

  nodes_ = BuildSkeleton(TreeWin(), U16(path));
  const bool named = FillFromCatalog(TreeWin(), nodes_, *opened_.catalog);
  // A stop while the tree was built leaves it partial: the scan failed.
  if (StopRequested()) {
    settings.stopRequested = 0;
    endAborted();
    return;
  }
  if (!named) {
    endWithoutTree();
    log_.LogLine(kNoNamedObjects);
    Box(kNoNamedObjects);
    return;
  }
  Ui([this] {
    controls_.tree->SortChildren(nodes_.userTables);
    controls_.tree->Redraw();
  });
  ClearRecordColumns();
  PrefetchModuleEntries(*opened_.catalog, modules_, this);
  Ui([this] {
    controls_.tree->Redraw();
    controls_.progress->SetVisible(false);
  });
  settings.busy = 0;
  Ui([this] { controls_.caption->SetText(kScanCompletedCaption); });
  platform::SendText(this, platform::WM_APP_LOG, kScanCompletedLog);
  Box(kScanCompleted);
}

}  // namespace quillmark::app
