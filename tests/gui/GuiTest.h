// The real main window, offscreen, driven the way a user drives it: QTest
// clicks on the ribbon's buttons and the tree's labels, and a timer that
// answers each modal box or dialog as it appears (the box's event loop runs
// the timer). The event loop runs while the test waits, never a sleep.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <set>

#include "app/HeadlessShell.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "app/TreeText.h"
#include "gui/MainWindow.h"
#include "gui/ObjectTreeView.h"
#include "gui/OpenDatabaseDialog.h"
#include "gui/QtText.h"
#include "gui/RecordsPanel.h"
#include "platform/CodePage.h"
#include "builder/FixtureBuilder.h"
#include "tests/support/RealFixtures.h"
#include "tests/support/WhileMapping.h"

namespace quillmark::testing {

// A modal box as the test saw it.
struct SeenBox {
  std::string text;
  std::string title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool yesNo = false;
  bool owned = false;  // has a parent window
};

// Answers every modal widget that appears: message boxes from `answers`
// (Yes when empty; OK for a box without a question), the open dialog and file
// dialogs through the handlers (cancelled without one).
class ModalAnswerer : public QObject {
 public:
  ModalAnswerer() {
    connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
    timer_.start(5);
  }

  std::deque<QMessageBox::StandardButton> answers;
  std::vector<SeenBox> boxes;
  std::function<void(gui::OpenDatabaseDialog&)> onOpenDialog;
  std::function<void(QFileDialog&)> onFileDialog;
  std::function<void(QDialog&)> onOtherDialog;

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const SeenBox& box : boxes) texts.push_back(box.text);
    return texts;
  }
  std::string LastText() const { return boxes.empty() ? std::string() : boxes.back().text; }
  int Count(const std::string& text) const {
    return static_cast<int>(std::count_if(boxes.begin(), boxes.end(), [&](const SeenBox& box) { return box.text == text; }));
  }

 private:
  // Handled from a timer of its own: a timer's handler is not run again while
  // it is still running, and a handler may open a modal box in turn.
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || handling_.count(modal)) return;
    handling_.insert(modal);
    QTimer::singleShot(0, this, [this, modal = QPointer<QWidget>(modal)] {
      if (modal) Handle(modal);
      handling_.erase(modal.data());
    });
  }

  void Handle(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      const bool yesNo = box->button(QMessageBox::Yes) != nullptr;
      boxes.push_back(SeenBox{gui::Utf8(box->text()), gui::Utf8(box->windowTitle()), box->icon(), yesNo,
                              box->parentWidget() != nullptr});
      QMessageBox::StandardButton answer = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
      if (yesNo && !answers.empty()) {
        answer = answers.front();
        answers.pop_front();
      }
      box->button(answer)->click();
    } else if (auto* open = qobject_cast<gui::OpenDatabaseDialog*>(modal)) {
      if (onOpenDialog) onOpenDialog(*open);
      else open->reject();
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      if (onFileDialog) onFileDialog(*files);
      else files->reject();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      if (onOtherDialog) onOtherDialog(*dialog);
      else dialog->reject();
    }
  }

  QTimer timer_;
  std::set<QWidget*> handling_;
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override {
    window_.reset();
    ResetSettings();
  }

  gui::MainWindow& Window() {
    if (!window_) {
      window_ = std::make_unique<gui::MainWindow>();
      window_->resize(1280, 800);
      window_->show();
      window_->openAddress = [this](const QString& address) { addresses_.push_back(gui::Utf8(address)); };
    }
    return *window_;
  }

  app::ScanOptions Options(const std::filesystem::path& file) const {
    app::ScanOptions options;
    options.file = file.string();
    options.logFolder = dir_.path().string();
    return options;
  }

  // Open through the ribbon's button, the dialog filled in by typing.
  void OpenByButton(const std::filesystem::path& file) {
    answerer_.onOpenDialog = [&](gui::OpenDatabaseDialog& dialog) {
      dialog.pathEdit()->setText(QString::fromStdString(file.string()));
      dialog.logFolderEdit()->setText(QString::fromStdString(dir_.path().string()));
      QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    };
    Click(app::kCommandOpen);
    Wait();
  }

  // Opens `file` as Open would with the dialog filled in; waits for the scan.
  void Scan(const std::filesystem::path& file) {
    ASSERT_TRUE(Window().OpenFile(Options(file)));
    Wait();
  }

  void Click(int command) { QTest::mouseClick(Window().button(command), Qt::LeftButton); }

  void Wait() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Window().frame().WorkerAlive(); }, 120000));
    QApplication::processEvents();
  }

  // The item reached by node texts below the root.
  QTreeWidgetItem* Item(const std::vector<std::u16string>& path) {
    gui::ObjectTreeView& tree = *Window().tree();
    platform::TreeItem at = tree.FirstChild(platform::kNoItem);
    for (const std::u16string& text : path) {
      platform::TreeItem next = platform::kNoItem;
      for (const platform::TreeItem child : tree.Children(at))
        if (tree.ItemText(child) == text) next = child;
      if (next == platform::kNoItem) return nullptr;
      at = next;
    }
    return tree.ToItem(at);
  }

  // Shows the item (its ancestors expanded, scrolled to) and clicks `where` of it.
  void ClickItem(QTreeWidgetItem* item, const std::function<QRect(const QTreeWidgetItem*)>& where,
                 Qt::MouseButton button = Qt::LeftButton) {
    gui::ObjectTreeView& tree = *Window().tree();
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) up->setExpanded(true);
    tree.scrollToItem(item);
    QApplication::processEvents();
    const QRect rect = where(item);
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(tree.viewport(), button, {}, rect.center());
  }
  void ClickLabel(const std::vector<std::u16string>& path) {
    QTreeWidgetItem* item = Item(path);
    ASSERT_NE(item, nullptr);
    ClickItem(item, [&](const QTreeWidgetItem* shown) { return Window().tree()->LabelRect(shown); });
    Wait();
  }

  std::string TreeText() { return app::TreeText(*Window().tree()); }

  gui::RecordsPanelWidget& Panel() { return *Window().panel(); }
  std::string Status() { return gui::Utf8(Panel().status()->text()); }
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (int i = 0; i < Panel().records()->ColumnCount(); ++i)
      titles.push_back(platform::Utf16ToUtf8(Panel().records()->ColumnTitle(i)));
    return titles;
  }

  // Calls `action` once, on the user-interface thread, while the scan maps the file's pages.
  void WhileMapping(std::function<void()> action) {
    Window().frame().onMessage = OnceWhileMapping(std::move(action));
  }

  TempDir dir_;
  ModalAnswerer answerer_;
  std::vector<std::string> addresses_;
  std::unique_ptr<gui::MainWindow> window_;
};

}  // namespace quillmark::testing
