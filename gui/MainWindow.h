// The main window: the ribbon-style tool area (category "Quillmark"), the
// caption bar, the status bar with its link, pane and progress bar, the docks
// "MS SQL Database Objects" and "Output", the records panel in the centre and
// the View menu. It owns the shell's main frame and hands it its controls; the
// frame's logic decides, the window only presents.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/MainFrame.h"
#include "gui/QtDialogs.h"
#include "gui/QtDispatcher.h"

class QAction;
class QActionGroup;
class QDockWidget;
class QTabWidget;
class QToolButton;

namespace quillmark::gui {

class CaptionBar;
class LogView;
class ObjectTreeView;
class RecordsPanelWidget;
class StatusBar;

inline constexpr int kCommandCaptionBar = 221;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  app::CMainFrame& frame() { return *frame_; }
  platform::UiDispatcher& ui() { return ui_; }
  QtDialogs& dialogs() { return dialogs_; }
  ObjectTreeView* tree() const { return tree_; }
  RecordsPanelWidget* panel() const { return panel_; }
  LogView* log() const { return log_; }
  CaptionBar* captionBar() const { return caption_; }
  StatusBar* statusBarWidget() const { return status_; }
  QDockWidget* treeDock() const { return treeDock_; }
  QDockWidget* logDock() const { return logDock_; }
  QTabWidget* ribbon() const { return ribbon_; }
  // The action of a command id (313, 314, 319, 320, 332, 340-342, 210-218, 221).
  QAction* action(int id) const;
  // The ribbon's button of a command id.
  QToolButton* button(int id) const;

  // Open with the dialog filled in from `options` instead of shown; returns at
  // once, the scan runs on. False when the dialog refused them.
  bool OpenFile(const app::ScanOptions& options);
  // Waits, handling events, until no worker runs.
  void WaitForWorker();
  // A left press on the label of the item reached by node texts below the root
  // (as `quillmark-cli show` takes them, e.g. "User Tables/Orders"); a table
  // whose keys are not shown yet is selected first. False when there is none.
  bool SelectPath(const std::string& path);

  // Opens a web page or the guide (an empty address opens nothing); tests
  // replace it.
  std::function<void(const QString& address)> openAddress;

  void SetLook(int id);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildActions();
  void BuildRibbon();
  void BuildMenu(QWidget* container);
  void BuildDocks();
  void UpdateBusy();
  QAction* Command(int id, const QString& icon, const QString& text, const QString& tip);

  QtDispatcher ui_;
  QtDialogs dialogs_;
  ObjectTreeView* tree_ = nullptr;
  LogView* log_ = nullptr;
  RecordsPanelWidget* panel_ = nullptr;
  CaptionBar* caption_ = nullptr;
  StatusBar* status_ = nullptr;
  QDockWidget* treeDock_ = nullptr;
  QDockWidget* logDock_ = nullptr;
  QTabWidget* ribbon_ = nullptr;
  QActionGroup* looks_ = nullptr;
  std::map<int, QAction*> actions_;
  std::map<int, QToolButton*> buttons_;
  QTimer busyTimer_;
  bool closing_ = false;
  std::unique_ptr<app::CMainFrame> frame_;
};

}  // namespace quillmark::gui
