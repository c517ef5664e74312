// The main frame's logic: the commands, the messages the workers send, the
// workers themselves (scan, selection, paging), Stop, snapshots, CSV export
// and the close sequence, over the platform's control interfaces.
//
// One worker at a time: a launch is refused while the busy flag is set or a
// worker thread is still alive (Stop clears busy before the worker has wound
// down). The user-interface thread never waits for a worker; workers reach the
// controls only through the dispatcher, each call completing before they go on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/Log.h"
#include "app/ObjectTree.h"
#include "app/OpenDialog.h"
#include "catalog/DatabaseCatalog.h"
#include "details/ModuleText.h"
#include "engine/DatabaseFile.h"
#include "platform/Controls.h"
#include "platform/Messages.h"
#include "platform/UiDispatcher.h"
#include "values/RecordListing.h"

namespace quillmark::app {

inline constexpr const char16_t* kAppCaption = u"Quillmark v18.0";
inline constexpr const char16_t* kStartCaption = u"Select MDF database file to continue the recovery process.";
inline constexpr const char16_t* kWaitForRunning = u"Please wait for the running process.";
inline constexpr const char16_t* kStopToContinue = u"Please stop the running process to continue the process.";
inline constexpr const char16_t* kStopToClose = u"Please stop the running process to close the application.";

// Command ids.
inline constexpr int kCommandOpen = 313;
inline constexpr int kCommandStop = 314;
inline constexpr int kCommandHelp = 319;
inline constexpr int kCommandAbout = 320;
inline constexpr int kCommandUpdate = 332;
inline constexpr int kCommandExportCsv = 340;
inline constexpr int kCommandLoadSnapshot = 341;
inline constexpr int kCommandSaveSnapshot = 342;

// The frame's hold on the opened database.
struct OpenedDatabase {
  std::unique_ptr<DatabaseFile> file;
  std::unique_ptr<DatabaseCatalog> catalog;
  std::unique_ptr<DatabaseCatalog> spareCatalog;
  std::uint8_t advanced = 0;
  platform::MessageTarget* progressWindow = nullptr;
};

class CMainFrame : public platform::MessageTarget {
 public:
  CMainFrame(platform::UiDispatcher& ui, platform::FrameControls controls);
  ~CMainFrame() override;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // The end of the window's creation: the start caption, the progress bar
  // hidden, the log line count at 0, no log file.
  void Create();

  // Handles a user message on the user-interface thread; from a worker it
  // waits until the handler ran there.
  platform::LParam send(platform::MessageId id, platform::WParam wParam, platform::LParam lParam) override;

  void OnCommand(int id);
  // The close sequence; true when the process is to end now.
  bool OnClose();

  // Whether a worker thread has not yet ended.
  bool WorkerAlive() const { return workerAlive_.load(); }

  // Front-end hooks. The open dialog: fill and accept it (true) or cancel.
  std::function<bool(CKestrumFileSettingDlg&)> runOpenDialog;
  // Opens a web page or the guide; an empty address is one to skip.
  std::function<void(const std::string& url)> openWebPage;
  std::function<void()> showAbout;
  // Told of every user message before the frame handles it, on the
  // user-interface thread (a front end's trace, a test's hook).
  std::function<void(platform::MessageId id, platform::WParam wParam, platform::LParam lParam)> onMessage;

  // The application look, stored as a number (216 unless changed).
  int applicationLook() const { return applicationLook_; }
  void SetApplicationLook(int id);

  // State the workers leave for the user (read by tests and front ends).
  const OpenedDatabase& opened() const { return opened_; }
  const TreeNodes& nodes() const { return nodes_; }
  const ListingState& listing() const { return listing_; }
  const std::string& selectedPath() const { return selectedPath_; }
  platform::TreeItem selectedItem() const { return selectedItem_; }
  Log& log() { return log_; }
  platform::FrameControls& controls() { return controls_; }

 private:
  platform::LParam Handle(platform::MessageId id, platform::WParam wParam, platform::LParam lParam);

  // Launches: each refuses while a worker is busy or alive.
  bool RefuseWhileWorking();
  void StartWorker(std::function<void()> work);
  void OnOpen();
  void OnLoadSnapshot();
  void OnStop();
  void OnRefusedWhileBusy(const std::function<void()>& action);
  void OnSaveSnapshot();
  void OnExportCsv();
  platform::LParam OnObjectSelected(platform::TreeItem item);
  platform::LParam OnPaging(bool next);

  // Workers.
  void ScanWorker();
  void SelectionWorker();
  void ResetWorkspace();
  void ReleaseDatabase();
  void ClearRecordColumns();
  void SetUpListColumns();
  std::u16string ModuleTextOf(const std::u16string& name);

  // Runs work on the user-interface thread and waits for it.
  void Ui(const std::function<void()>& work) { ui_.Invoke(work); }
  platform::Answer Box(const std::u16string& text, platform::Icon icon = platform::Icon::kInformation,
                       bool yesNo = false);
  TreeWindow TreeWin();
  ListingWindow ListingWin();

  platform::UiDispatcher& ui_;
  platform::FrameControls controls_;
  Log log_;
  OpenedDatabase opened_;
  std::string selectedPath_;
  std::uint8_t advanced_ = 0;
  TreeNodes nodes_;
  platform::TreeItem selectedItem_ = platform::kNoItem;
  ListingState listing_;
  int insertedColumns_ = 0;  // list columns the last column setup inserted
  ModuleTextStore modules_;
  int applicationLook_ = 216;

  std::thread worker_;
  std::atomic<bool> workerAlive_{false};
};

}  // namespace quillmark::app
