#include "app/MainFrame.h"

#include <filesystem>

#include "app/Guide.h"
#include "catalog/Snapshot.h"
#include "details/CsvExport.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"

namespace quillmark::app {
namespace {

std::u16string U16(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }

constexpr const char* kSnapshotExtension = "MDBKSM";
constexpr const char* kSnapshotFilter = ".KestrumMDB Files (*.MDBKSM)|*MDBKSM||";
constexpr const char16_t* kSavingSnapshot = u"Saving Snapshot..Please wait....";
constexpr const char16_t* kSnapshotSaved = u"Snapshot Saved successfully in path ";
constexpr const char16_t* kSnapshotNotSaved = u"Snapshot cannot be saved.";
constexpr const char16_t* kStopQuestion = u"Are you sure to stop the running process?";
constexpr const char16_t* kCloseQuestion = u"Do you want to close the application?";
constexpr const char16_t* kLogFilePathIs = u"Log file path : ";
constexpr const char16_t* kSelectDatabaseFirst = u"Please select database file to scan records.";
constexpr const char16_t* kSelectTableToSave = u"Please select the table from tree which you want to save";
constexpr const char16_t* kFileNotCreated = u"File cannot be created.";
constexpr const char16_t* kFileSaved = u"File saved successfully.";

// There is no product web site: Help opens the guide that ships with the
// program, and the update page and the page shown on closing are empty
// addresses, which a front end does not open.
constexpr const char* kUpdatePage = "";
constexpr const char* kProductPage = "";

}  // namespace

CMainFrame::CMainFrame(platform::UiDispatcher& ui, platform::FrameControls controls)
    : ui_(ui), controls_(controls), log_(ui, *controls.log) {}

CMainFrame::~CMainFrame() {
  // A worker still running reaches into this frame: ask it to stop and keep
  // handling its calls until it has ended.
  if (worker_.joinable()) {
    if (workerAlive_) {
      Settings().stopRequested = 1;
      ui_.PumpUntil([this] { return !workerAlive_.load(); }, std::chrono::minutes(10));
    }
    if (workerAlive_)
      worker_.detach();
    else
      worker_.join();
  }
}

void CMainFrame::Create() {
  controls_.caption->SetText(kStartCaption);
  controls_.progress->SetVisible(false);
  Settings().logLineCount = 0;
  log_.Close();
}

platform::Answer CMainFrame::Box(const std::u16string& text, platform::Icon icon, bool yesNo) {
  platform::Answer answer = platform::Answer::kOk;
  Ui([&] { answer = controls_.dialogs->MessageBox(text, kAppCaption, icon, yesNo); });
  return answer;
}

TreeWindow CMainFrame::TreeWin() { return TreeWindow{&ui_, controls_, &log_}; }
ListingWindow CMainFrame::ListingWin() { return ListingWindow{&ui_, controls_, &log_}; }

// ---- Messages ----

platform::LParam CMainFrame::send(platform::MessageId id, platform::WParam wParam, platform::LParam lParam) {
  platform::LParam result = 0;
  Ui([&] { result = Handle(id, wParam, lParam); });
  return result;
}

platform::LParam CMainFrame::Handle(platform::MessageId id, platform::WParam wParam, platform::LParam lParam) {
  if (onMessage) onMessage(id, wParam, lParam);
  const char* text = reinterpret_cast<const char*>(lParam);
  switch (id) {
    case platform::WM_APP_PROGRESS_RANGE:
      controls_.progress->SetPos(0);
      controls_.progress->SetRange(static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam));
      return 1;
    case platform::WM_APP_PANEL_TEXT:
      controls_.text->SetText(text ? platform::AnsiToUtf16(text) : std::u16string());
      return 0;
    case platform::WM_APP_FATAL:
      controls_.progress->SetPos(0);
      controls_.text->SetText(u"");
      ReleaseDatabase();
      controls_.dialogs->MessageBox(text ? platform::AnsiToUtf16(text) : std::u16string(), kAppCaption,
                                    platform::Icon::kError, false);
      return 0;
    case platform::WM_APP_OBJECT_SELECTED:
      return OnObjectSelected(static_cast<platform::TreeItem>(lParam));
    case platform::WM_APP_PROGRESS_POS:
      controls_.progress->SetPos(static_cast<std::int32_t>(wParam));
      return 1;
    case platform::WM_APP_LOG:
      if (text) log_.LogLine8(text);
      return 1;
    case platform::WM_APP_PREV_RECORDS:
      return OnPaging(false);
    case platform::WM_APP_NEXT_RECORDS:
      return OnPaging(true);
    default:
      return 0;
  }
}

// ---- Commands ----

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case kCommandOpen:
      OnOpen();
      break;
    case kCommandStop:
      OnStop();
      break;
    case kCommandHelp:
      OnRefusedWhileBusy([this] {
        if (openWebPage) openWebPage(GuideAddress());
      });
      break;
    case kCommandAbout:
      OnRefusedWhileBusy([this] {
        if (showAbout) showAbout();
      });
      break;
    case kCommandUpdate:
      OnRefusedWhileBusy([this] {
        if (openWebPage) openWebPage(kUpdatePage);
      });
      break;
    case kCommandExportCsv:
      OnExportCsv();
      break;
    case kCommandLoadSnapshot:
      OnLoadSnapshot();
      break;
    case kCommandSaveSnapshot:
      OnSaveSnapshot();
      break;
    default:
      break;
  }
}

void CMainFrame::OnRefusedWhileBusy(const std::function<void()>& action) {
  if (Settings().busy == 1) {
    Box(kStopToContinue);
    return;
  }
  action();
}

bool CMainFrame::RefuseWhileWorking() {
  if (Settings().busy == 0 && !workerAlive_) return false;
  Box(kWaitForRunning);
  return true;
}

void CMainFrame::StartWorker(std::function<void()> work) {
  // The previous worker has ended (launches are refused while it lives).
  if (worker_.joinable()) worker_.join();
  workerAlive_ = true;
  worker_ = std::thread([this, work = std::move(work)] {
    work();
    workerAlive_ = false;
  });
}

void CMainFrame::OnStop() {
  if (Settings().busy != 1) return;
  if (Box(kStopQuestion, platform::Icon::kInformation, true) != platform::Answer::kYes) return;
  Settings().busy = 0;
  // A worker that ended while the question was open leaves no stale request.
  if (workerAlive_) Settings().stopRequested = 1;
}

void CMainFrame::SetApplicationLook(int id) {
  if (id < 210 || id > 218) return;
  applicationLook_ = id;
}

void CMainFrame::OnSaveSnapshot() {
  if (RefuseWhileWorking()) return;
  const auto fail = [this] {
    log_.ListOnly(kSnapshotNotSaved);
    Box(kSnapshotNotSaved);
  };
  if (!opened_.file || !opened_.file->opened) {
    fail();
    return;
  }
  platform::FileDialogOptions options;
  options.save = true;
  options.defaultExtension = kSnapshotExtension;
  options.filter = kSnapshotFilter;
  const std::optional<std::string> path = controls_.dialogs->ChooseFile(options);
  if (!path || path->empty()) return;
  Settings().busy = 1;
  log_.ListOnly(kSavingSnapshot);
  const bool saved = SaveSnapshot(*opened_.file, opened_.file->path, opened_.advanced, *path);
  Settings().busy = 0;
  if (!saved) {
    fail();
    return;
  }
  const std::u16string text = kSnapshotSaved + U16(*path);
  log_.ListOnly(text);
  Box(text);
}

void CMainFrame::OnExportCsv() {
  if (RefuseWhileWorking()) return;
  if (controls_.tree->Count() == 0) {
    Box(kSelectDatabaseFirst);
    return;
  }
  const platform::TreeItem item = controls_.tree->Selection();
  if (item == platform::kNoItem) {
    Box(kSelectTableToSave);
    return;
  }
  const std::u16string name = controls_.tree->ItemText(item);
  if (controls_.records->ColumnCount() == 0) return;
  controls_.status->SetText(u"");
  platform::FileDialogOptions options;
  options.save = true;
  options.defaultExtension = "csv";
  options.fileName = platform::Utf16ToUtf8(SuggestedCsvName(name));
  options.filter = "*.csv||";
  const std::optional<std::string> path = controls_.dialogs->ChooseFile(options);
  if (!path || path->empty()) return;
  Box(WriteCsv(*controls_.records, *path) ? kFileSaved : kFileNotCreated);
}

bool CMainFrame::OnClose() {
  if (Settings().busy == 1) {
    Box(kStopToClose);
    return false;
  }
  if (Box(kCloseQuestion, platform::Icon::kQuestion, true) != platform::Answer::kYes) return false;
  if (openWebPage) openWebPage(kProductPage);
  // A worker still winding down keeps the database; the process ends at once.
  if (!workerAlive_) ReleaseDatabase();
  const std::string& logPath = Settings().logFilePath;
  std::error_code error;
  if (!logPath.empty() && std::filesystem::exists(logPath, error)) Box(kLogFilePathIs + U16(logPath));
  return true;
}

}  // namespace quillmark::app
