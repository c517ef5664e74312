#include "gui/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <deque>

#include "engine/AppSettings.h"
#include "gui/AboutBox.h"
#include "gui/ApplicationLook.h"
#include "gui/CaptionBar.h"
#include "gui/ObjectTreeView.h"
#include "gui/OpenDatabaseDialog.h"
#include "gui/QtControls.h"
#include "gui/QtText.h"
#include "gui/RecordsPanel.h"
#include "gui/StatusBar.h"
#include "platform/TreeRules.h"

// The icons live in a static library: their resource is registered by hand.
static void RegisterIcons() { Q_INIT_RESOURCE(icons); }

namespace quillmark::gui {
namespace {

// A group of the tool area: its buttons side by side, its name below them.
QWidget* Group(const QString& name, const std::vector<QToolButton*>& buttons, QWidget* parent) {
  auto* group = new QWidget(parent);
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(4, 2, 4, 0);
  layout->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setSpacing(2);
  for (QToolButton* button : buttons) row->addWidget(button);
  layout->addLayout(row);
  auto* label = new QLabel(name, group);
  label->setAlignment(Qt::AlignCenter);
  label->setEnabled(false);
  layout->addWidget(label);
  return group;
}

QFrame* GroupSeparator(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

std::vector<std::u16string> Segments(const std::string& path) {
  std::vector<std::u16string> segments;
  for (const QString& segment : FromUtf8(path).split(u'/', Qt::SkipEmptyParts)) segments.push_back(U16(segment));
  return segments;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui_(*this), dialogs_(this) {
  RegisterIcons();
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(Q(app::kAppCaption));
  setWindowIcon(QIcon(QStringLiteral(":/icons/quillmark.svg")));
  openAddress = [](const QString& address) {
    if (!address.isEmpty()) QDesktopServices::openUrl(QUrl(address));
  };

  panel_ = new RecordsPanelWidget(this);
  setCentralWidget(panel_);
  status_ = new StatusBar(this);
  setStatusBar(status_);
  connect(status_, &StatusBar::linkActivated, this, [this] { openAddress(QString()); });
  BuildDocks();

  caption_ = new CaptionBar(this);
  platform::FrameControls controls{tree_,  panel_->records(), panel_->text(), panel_->status(),
                                   caption_, status_->progress(), panel_->previous(), panel_->next(),
                                   panel_,   log_,                &dialogs_};
  frame_ = std::make_unique<app::CMainFrame>(ui_, controls);
  tree_->SetOwner(frame_.get());
  panel_->SetOwner(frame_.get());
  frame_->runOpenDialog = [this](app::CKestrumFileSettingDlg& rules) {
    OpenDatabaseDialog dialog(rules, this);
    return dialog.exec() == QDialog::Accepted;
  };
  frame_->openWebPage = [this](const std::string& address) { openAddress(FromUtf8(address)); };
  frame_->showAbout = [this] {
    AboutBox box(this);
    box.exec();
  };

  BuildActions();
  auto* top = new QWidget(this);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->setSpacing(0);
  BuildMenu(top);
  BuildRibbon();
  topLayout->addWidget(ribbon_);
  topLayout->addWidget(caption_);
  setMenuWidget(top);

  SetLook(StoredLook());
  frame_->Create();
  connect(&busyTimer_, &QTimer::timeout, this, &MainWindow::UpdateBusy);
  busyTimer_.start(100);
  UpdateBusy();
  resize(1280, 800);
}

MainWindow::~MainWindow() {
  busyTimer_.stop();
  // The frame waits for a running worker, whose calls reach the widgets.
  frame_.reset();
}

QAction* MainWindow::Command(int id, const QString& icon, const QString& text, const QString& tip) {
  auto* action = new QAction(QIcon(icon), text, this);
  action->setToolTip(tip);
  action->setStatusTip(tip);
  connect(action, &QAction::triggered, this, [this, id] {
    frame_->OnCommand(id);
    UpdateBusy();
  });
  actions_[id] = action;
  return action;
}

void MainWindow::BuildActions() {
  Command(app::kCommandOpen, QStringLiteral(":/icons/open.svg"), QStringLiteral("Open"),
          QStringLiteral("Open Database file"));
  Command(app::kCommandStop, QStringLiteral(":/icons/stop.svg"), QStringLiteral("Stop"),
          QStringLiteral("Stop running process"));
  Command(app::kCommandHelp, QStringLiteral(":/icons/help.svg"), QStringLiteral("Help"),
          QStringLiteral("Help for Quillmark"));
  Command(app::kCommandAbout, QStringLiteral(":/icons/about.svg"), QStringLiteral("About"),
          QStringLiteral("About Quillmark"));
  Command(app::kCommandUpdate, QStringLiteral(":/icons/update.svg"), QStringLiteral("Update"), QStringLiteral("Update"));
  Command(app::kCommandExportCsv, QStringLiteral(":/icons/export.svg"), QStringLiteral("Export CSV"),
          QStringLiteral("Export CSV"));
  Command(app::kCommandLoadSnapshot, QStringLiteral(":/icons/load.svg"), QStringLiteral("Load Snapshot"),
          QStringLiteral("Load Snapshot"));
  Command(app::kCommandSaveSnapshot, QStringLiteral(":/icons/save.svg"), QStringLiteral("Save Snapshot"),
          QStringLiteral("Save Snapshot"));

  looks_ = new QActionGroup(this);
  looks_->setExclusive(true);
  for (int id = kFirstLook; id <= kLastLook; ++id) {
    auto* look = new QAction(LookName(id), looks_);
    look->setCheckable(true);
    connect(look, &QAction::triggered, this, [this, id] { SetLook(id); });
    actions_[id] = look;
  }
  auto* captionBar = new QAction(QStringLiteral("Caption Bar"), this);
  connect(captionBar, &QAction::triggered, this, [this] { caption_->show(); });
  actions_[kCommandCaptionBar] = captionBar;
}

void MainWindow::BuildMenu(QWidget* container) {
  auto* menus = new QMenuBar(container);
  QMenu* view = menus->addMenu(QStringLiteral("&View"));
  QMenu* looks = view->addMenu(QStringLiteral("&Application Look"));
  for (int id = kFirstLook; id <= kLastLook; ++id) looks->addAction(actions_[id]);
  view->addAction(actions_[kCommandCaptionBar]);
  view->addAction(treeDock_->toggleViewAction());
  view->addAction(logDock_->toggleViewAction());
  view->addSeparator();
  for (const int id : {app::kCommandExportCsv, app::kCommandLoadSnapshot, app::kCommandSaveSnapshot})
    view->addAction(actions_[id]);
  container->layout()->addWidget(menus);
}

void MainWindow::BuildRibbon() {
  ribbon_ = new QTabWidget(this);
  ribbon_->setObjectName(QStringLiteral("ribbon"));
  ribbon_->setDocumentMode(true);

  // The application button: the program's icon, with a menu of its commands.
  auto* application = new QToolButton(ribbon_);
  application->setObjectName(QStringLiteral("applicationButton"));
  application->setIcon(QIcon(QStringLiteral(":/icons/quillmark.svg")));
  application->setIconSize(QSize(28, 28));
  application->setPopupMode(QToolButton::InstantPopup);
  application->setAutoRaise(true);
  auto* menu = new QMenu(application);
  menu->addAction(actions_[app::kCommandOpen]);
  menu->addSeparator();
  menu->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
  application->setMenu(menu);
  ribbon_->setCornerWidget(application, Qt::TopLeftCorner);

  auto* page = new QWidget(ribbon_);
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(4);
  const auto buttons = [&](std::initializer_list<int> ids) {
    std::vector<QToolButton*> row;
    for (const int id : ids) {
      auto* button = new QToolButton(page);
      button->setDefaultAction(actions_[id]);
      button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
      button->setIconSize(QSize(32, 32));
      button->setAutoRaise(true);
      button->setMinimumWidth(64);
      buttons_[id] = button;
      row.push_back(button);
    }
    return row;
  };
  layout->addWidget(Group(QString(), buttons({app::kCommandOpen, app::kCommandStop}), page));
  layout->addWidget(GroupSeparator(page));
  layout->addWidget(
      Group(QStringLiteral("About"), buttons({app::kCommandHelp, app::kCommandAbout, app::kCommandUpdate}), page));
  layout->addWidget(GroupSeparator(page));
  layout->addWidget(Group(QStringLiteral("Export and Snapshot"),
                          buttons({app::kCommandExportCsv, app::kCommandLoadSnapshot, app::kCommandSaveSnapshot}), page));
  layout->addStretch();
  ribbon_->addTab(page, QStringLiteral("Quillmark"));
  ribbon_->setFixedHeight(ribbon_->sizeHint().height());
}

void MainWindow::BuildDocks() {
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks | QMainWindow::AllowTabbedDocks);
  tree_ = new ObjectTreeView(this);
  tree_->setObjectName(QStringLiteral("objectTree"));
  treeDock_ = new QDockWidget(QStringLiteral("MS SQL Database Objects"), this);
  treeDock_->setObjectName(QStringLiteral("treeDock"));
  treeDock_->setAllowedAreas(Qt::AllDockWidgetAreas);
  treeDock_->setWidget(tree_);
  addDockWidget(Qt::LeftDockWidgetArea, treeDock_);

  log_ = new LogView(this);
  log_->setObjectName(QStringLiteral("logList"));
  logDock_ = new QDockWidget(QStringLiteral("Output"), this);
  logDock_->setObjectName(QStringLiteral("logDock"));
  logDock_->setAllowedAreas(Qt::AllDockWidgetAreas);
  logDock_->setWidget(log_);
  addDockWidget(Qt::BottomDockWidgetArea, logDock_);
  // The tree pane runs the window's full height; the log sits under the records.
  setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
  resizeDocks({treeDock_}, {340}, Qt::Horizontal);
  resizeDocks({logDock_}, {170}, Qt::Vertical);
}

QAction* MainWindow::action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QToolButton* MainWindow::button(int id) const {
  const auto found = buttons_.find(id);
  return found == buttons_.end() ? nullptr : found->second;
}

void MainWindow::UpdateBusy() { actions_[app::kCommandStop]->setEnabled(Settings().busy != 0); }

void MainWindow::SetLook(int id) {
  if (id < kFirstLook || id > kLastLook) return;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  frame_->SetApplicationLook(id);
  ApplyLook(id);
  actions_[id]->setChecked(true);
  StoreLook(id);
  update();
  QGuiApplication::restoreOverrideCursor();
}

bool MainWindow::OpenFile(const app::ScanOptions& options) {
  bool accepted = false;
  const auto shown = std::move(frame_->runOpenDialog);
  frame_->runOpenDialog = [&](app::CKestrumFileSettingDlg& dialog) { return accepted = app::FillAndAccept(dialog, options); };
  frame_->OnCommand(app::kCommandOpen);
  frame_->runOpenDialog = shown;
  UpdateBusy();
  return accepted;
}

void MainWindow::WaitForWorker() {
  ui_.PumpUntil([this] { return !frame_->WorkerAlive(); }, std::chrono::minutes(30));
  UpdateBusy();
}

bool MainWindow::SelectPath(const std::string& path) {
  const std::vector<std::u16string> segments = Segments(path);
  const platform::TreeItem root = tree_->FirstChild(platform::kNoItem);
  if (segments.empty() || root == platform::kNoItem) return false;
  // The first item below the root, breadth-first, that bears the first text.
  platform::TreeItem item = platform::kNoItem;
  std::deque<platform::TreeItem> queue{root};
  while (!queue.empty() && item == platform::kNoItem) {
    const platform::TreeItem at = queue.front();
    queue.pop_front();
    for (const platform::TreeItem child : tree_->Children(at)) {
      if (tree_->ItemText(child) == segments.front()) {
        item = child;
        break;
      }
      queue.push_back(child);
    }
  }
  const auto click = [this](platform::TreeItem target) {
    if (QTreeWidgetItem* shown = tree_->ToItem(target)) tree_->scrollToItem(shown);
    platform::LeftButtonDown(*tree_, target, platform::kHitOnLabel, frame_.get());
    WaitForWorker();
  };
  for (std::size_t next = 1; item != platform::kNoItem && next < segments.size(); ++next) {
    const auto find = [&] {
      for (const platform::TreeItem child : tree_->Children(item))
        if (tree_->ItemText(child) == segments[next]) return child;
      return platform::kNoItem;
    };
    platform::TreeItem child = find();
    // A table shows its keys once it was selected.
    if (child == platform::kNoItem) {
      click(item);
      child = find();
    }
    item = child;
  }
  if (item == platform::kNoItem) return false;
  for (platform::TreeItem up = tree_->Parent(item); up != platform::kNoItem; up = tree_->Parent(up))
    tree_->ToItem(up)->setExpanded(true);
  click(item);
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closing_ || frame_->OnClose()) {
    closing_ = true;
    event->accept();
    return;
  }
  event->ignore();
}

}  // namespace quillmark::gui
