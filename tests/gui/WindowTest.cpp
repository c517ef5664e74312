// The main window offscreen: Open through the ribbon, a table's first page and
// paging, a procedure's text, Stop, the commands refused while busy, export
// and snapshots through their buttons, the close sequence, a second instance,
// the application look.
#include <QAction>
#include <QDockWidget>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QToolButton>
#include <fstream>

#include "app/StartUp.h"
#include "gui/AboutBox.h"
#include "gui/ApplicationLook.h"
#include "gui/CaptionBar.h"
#include "gui/QtControls.h"
#include "gui/StatusBar.h"
#include "tests/gui/GuiTest.h"

namespace quillmark::testing {
namespace {

using gui::MainWindow;

class WindowTest : public GuiTest {};

TEST_F(WindowTest, StartsAsTheFrameIsCreated) {
  MainWindow& window = Window();
  EXPECT_EQ(gui::Utf8(window.windowTitle()), "Quillmark v18.0");
  EXPECT_EQ(gui::Utf8(window.ribbon()->tabText(0)), "Quillmark");
  EXPECT_EQ(platform::Utf16ToUtf8(window.captionBar()->Text()),
            "Select MDF database file to continue the recovery process.");
  EXPECT_EQ(gui::Utf8(window.treeDock()->windowTitle()), "MS SQL Database Objects");
  EXPECT_EQ(gui::Utf8(window.logDock()->windowTitle()), "Output");
  EXPECT_TRUE(window.statusBarWidget()->progress()->isHidden());
  EXPECT_EQ(gui::Utf8(window.statusBarWidget()->pane()->text()), "Quillmark");
  EXPECT_EQ(window.statusBarWidget()->progress()->geometry(),
            QRect(250, 3, window.statusBarWidget()->width() - 560, 17));
  EXPECT_EQ(Panel().View(), platform::PanelView::kText);
  EXPECT_EQ(Titles(), std::vector<std::string>{""});
  EXPECT_FALSE(window.action(app::kCommandStop)->isEnabled());
  struct Button {
    int id;
    const char* text;
    const char* tip;
  };
  for (const Button& b : {Button{313, "Open", "Open Database file"}, Button{314, "Stop", "Stop running process"},
                          Button{319, "Help", "Help for Quillmark"}, Button{320, "About", "About Quillmark"},
                          Button{332, "Update", "Update"}, Button{340, "Export CSV", "Export CSV"},
                          Button{341, "Load Snapshot", "Load Snapshot"}, Button{342, "Save Snapshot", "Save Snapshot"}}) {
    SCOPED_TRACE(b.text);
    ASSERT_NE(window.button(b.id), nullptr);
    EXPECT_EQ(gui::Utf8(window.button(b.id)->text()), b.text);
    EXPECT_EQ(gui::Utf8(window.button(b.id)->toolTip()), b.tip);
  }
  EXPECT_EQ(gui::Utf8(Panel().previous()->toolTip()), "Previous Records");
  EXPECT_EQ(gui::Utf8(Panel().next()->toolTip()), "Next Records");
}

TEST_F(WindowTest, RecordsPanelLaysItsControlsOutFromItsSize) {
  gui::RecordsPanelWidget panel;
  panel.resize(900, 600);
  panel.ShowView(platform::PanelView::kRecords);
  panel.show();
  panel.status()->SetText(u"Page1 - [3](1-3) Records");
  panel.resize(800, 500);
  QApplication::processEvents();
  EXPECT_EQ(panel.records()->geometry(), QRect(0, 0, 800, 465));
  EXPECT_EQ(panel.previous()->geometry(), QRect(680, 469, 50, 25));
  EXPECT_EQ(panel.next()->geometry(), QRect(735, 469, 50, 25));
  EXPECT_EQ(panel.status()->geometry(), QRect(10, 469, 490, 25));
  EXPECT_EQ(panel.text()->geometry(), QRect(0, 0, 800, 500));
  EXPECT_EQ(panel.status()->Text(), u"Page1 - [3](1-3) Records");
  EXPECT_TRUE(panel.text()->isHidden());
  panel.ShowView(platform::PanelView::kText);
  EXPECT_TRUE(panel.records()->isHidden());
  EXPECT_TRUE(panel.status()->isHidden());
  EXPECT_TRUE(panel.next()->isHidden());
}

TEST_F(WindowTest, OpenThroughTheRibbonScansWithTheDialogsChoices) {
  QM_REQUIRE_REAL_FIXTURES();
  OpenByButton(RealFixture("sql2008r2_northwind.mdf"));
  EXPECT_EQ(answerer_.LastText(), "Scanning process completed.");
  EXPECT_EQ(answerer_.boxes.back().title, "Quillmark v18.0");
  EXPECT_EQ(answerer_.boxes.back().icon, QMessageBox::Information);
  EXPECT_TRUE(answerer_.boxes.back().owned);
  EXPECT_EQ(platform::Utf16ToUtf8(Window().captionBar()->Text()), "Scanning completed for selected mdf file");
  EXPECT_NE(Item({u"Tables", u"User Tables", u"Orders"}), nullptr);
  EXPECT_EQ(Settings().recoveryMode, 1);
  EXPECT_GT(Window().log()->count(), 5);
  EXPECT_TRUE(Window().statusBarWidget()->progress()->isHidden());
  // Stop follows the busy flag within a tick of its timer.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Window().action(app::kCommandStop)->isEnabled(); }, 2000));
}

TEST_F(WindowTest, OpenDialogKeepsItsRulesAndMessages) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string file = RealFixture("sql2008r2_northwind.mdf").string();
  int shown = 0;
  answerer_.onOpenDialog = [&](gui::OpenDatabaseDialog& dialog) {
    ++shown;
    EXPECT_EQ(gui::Utf8(dialog.windowTitle()), "Select Corrupted MDF file");
    EXPECT_EQ(dialog.modeList()->count(), 2);
    EXPECT_EQ(gui::Utf8(dialog.modeList()->currentText()), "Standard Mode");
    EXPECT_TRUE(dialog.autoDetect()->isChecked());
    EXPECT_FALSE(dialog.collationList()->isEnabled());
    EXPECT_FALSE(dialog.logFolderEdit()->text().isEmpty());
    EXPECT_GT(dialog.collationList()->count(), 10);
    QTest::mouseClick(dialog.manual(), Qt::LeftButton);
    EXPECT_TRUE(dialog.collationList()->isEnabled());
    EXPECT_EQ(Settings().autoDetectCollation, 0);
    // An empty path is refused and the dialog stays open.
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    dialog.pathEdit()->setText(QString::fromStdString(file));
    dialog.logFolderEdit()->setText(QString::fromStdString((dir_.path() / "missing").string()));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
  };
  Click(app::kCommandOpen);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(answerer_.Texts(), (std::vector<std::string>{
                                   "Please select valid SQL file path to continue the recovery process.",
                                   "Please select valid Log file path to continue the recovery process."}));
  EXPECT_FALSE(Window().frame().WorkerAlive());
  EXPECT_EQ(Window().tree()->Count(), 0u);
}

TEST_F(WindowTest, ATablesLabelListsItsFirstPageAndThePagingButtonsPage) {
  QM_REQUIRE_REAL_FIXTURES();
  Scan(RealFixture("sql2008r2_northwind.mdf"));
  app::HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2008r2_northwind.mdf"))));
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Order Details"}));

  ClickLabel({u"Tables", u"User Tables", u"Order Details"});
  EXPECT_EQ(Panel().View(), platform::PanelView::kRecords);
  EXPECT_EQ(Status(), "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(Titles(), (std::vector<std::string>{"OrderID", "ProductID", "UnitPrice", "Quantity", "Discount", ""}));
  ASSERT_EQ(Panel().records()->RowCount(), 1000);
  for (const int row : {0, 499, 999})
    for (int column = 0; column < 5; ++column)
      EXPECT_EQ(Panel().records()->Text(row, column), shell.window.records.Text(row, column)) << row << "," << column;
  EXPECT_FALSE(Panel().previous()->isEnabled());
  EXPECT_TRUE(Panel().next()->isEnabled());

  const std::pair<gui::PagingButton*, const char*> steps[] = {
      {Panel().next(), "Page2 - [1000](1001-2000) Records"},
      {Panel().next(), "Page3 - [155](2001-2155) Records"},
      {Panel().previous(), "Page2 - [1000](1001-2000) Records"},
      {Panel().previous(), "Page1 - [1000](1-1000) Records"},
  };
  for (const auto& [button, status] : steps) {
    SCOPED_TRACE(status);
    QTest::mouseClick(button, Qt::LeftButton);
    Wait();
    EXPECT_EQ(Status(), status);
  }
  EXPECT_FALSE(Panel().previous()->isEnabled());
  EXPECT_TRUE(answerer_.boxes.size() == 1u) << answerer_.LastText();
}

TEST_F(WindowTest, AProceduresLabelShowsItsText) {
  QM_REQUIRE_REAL_FIXTURES();
  Scan(RealFixture("sql2008r2_northwind.mdf"));
  app::HeadlessShell shell;
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2008r2_northwind.mdf"))));
  ASSERT_TRUE(shell.Select({u"Programmability", u"Store Procedure", u"CustOrderHist"}));
  ClickLabel({u"Programmability", u"Store Procedure", u"CustOrderHist"});
  EXPECT_EQ(Panel().View(), platform::PanelView::kText);
  EXPECT_TRUE(Panel().text()->isVisible());
  EXPECT_EQ(Panel().text()->Text(), shell.window.text.Text());
  EXPECT_NE(platform::Utf16ToUtf8(Panel().text()->Text()).find("CustOrderHist"), std::string::npos);
}

TEST_F(WindowTest, StopDuringAScanAnsweredYesEndsItAndNoLetsItComplete) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    answerer_.boxes.clear();
    answerer_.answers = {yes ? QMessageBox::Yes : QMessageBox::No};
    bool enabled = false;
    WhileMapping([&] {
      enabled = Window().action(app::kCommandStop)->isEnabled();
      QTest::mouseClick(Window().button(app::kCommandStop), Qt::LeftButton);
    });
    Scan(RealFixture("sql2014_pubs.mdf"));
    EXPECT_TRUE(enabled);
    ASSERT_GE(answerer_.boxes.size(), 2u);
    EXPECT_EQ(answerer_.boxes[0].text, "Are you sure to stop the running process?");
    EXPECT_TRUE(answerer_.boxes[0].yesNo);
    EXPECT_EQ(answerer_.LastText(), yes ? "Scanning process aborted." : "Scanning process completed.");
    EXPECT_EQ(Settings().busy, 0);
    Window().frame().onMessage = nullptr;
  }
}

TEST_F(WindowTest, HelpAboutAndUpdateAreRefusedWhileBusyAndWorkAfterwards) {
  QM_REQUIRE_REAL_FIXTURES();
  int abouts = 0;
  answerer_.onOtherDialog = [&](QDialog& dialog) {
    if (qobject_cast<gui::AboutBox*>(&dialog)) ++abouts;
    dialog.accept();
  };
  WhileMapping([&] {
    for (const int command : {app::kCommandHelp, app::kCommandAbout, app::kCommandUpdate}) Click(command);
  });
  Scan(RealFixture("sql2014_pubs.mdf"));
  EXPECT_EQ(answerer_.Count("Please stop the running process to continue the process."), 3);
  EXPECT_EQ(abouts, 0);
  EXPECT_TRUE(addresses_.empty());
  for (const int command : {app::kCommandHelp, app::kCommandAbout, app::kCommandUpdate}) Click(command);
  EXPECT_EQ(abouts, 1);
  // Help opens the guide when one ships beside the program; Update's address is empty.
  ASSERT_EQ(addresses_.size(), 2u);
  EXPECT_EQ(addresses_[1], "");
}

TEST_F(WindowTest, AboutBoxNamesTheProductAndIsDraggedByAnyPoint) {
  gui::AboutBox box(&Window());
  box.show();
  QApplication::processEvents();
  EXPECT_EQ(gui::Utf8(box.windowTitle()), "Quillmark v18.0");
  auto* product = box.findChild<QLabel*>(QStringLiteral("productLabel"));
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(gui::Utf8(product->text()), "Quillmark v18.0");
  EXPECT_TRUE(product->font().bold());
  const QPoint before = box.pos();
  const QPoint inside(box.width() / 2, box.height() / 2);
  QTest::mousePress(&box, Qt::LeftButton, {}, inside);
  QMouseEvent move(QEvent::MouseMove, QPointF(inside + QPoint(30, 20)), QPointF(box.mapToGlobal(inside + QPoint(30, 20))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&box, &move);
  QTest::mouseRelease(&box, Qt::LeftButton, {}, inside + QPoint(30, 20));
  EXPECT_EQ(box.pos(), before + QPoint(30, 20));
}

TEST_F(WindowTest, CsvExportAndSnapshotsGoThroughTheirButtons) {
  QM_REQUIRE_REAL_FIXTURES();
  Scan(RealFixture("sql2008r2_northwind.mdf"));
  const std::string tree = TreeText();
  ClickLabel({u"Tables", u"User Tables", u"Shippers"});
  const std::filesystem::path csv = dir_ / "Shippers.csv";
  const std::filesystem::path snapshot = dir_ / "northwind.MDBKSM";
  std::filesystem::path chosen = csv;
  answerer_.onFileDialog = [&](QFileDialog& dialog) {
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    // As a user types it: the folder, then the name into the name field.
    dialog.setDirectory(QString::fromStdString(chosen.parent_path().string()));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(chosen.filename().string()));
    static_cast<QDialog&>(dialog).accept();
  };
  Click(app::kCommandExportCsv);
  EXPECT_EQ(answerer_.LastText(), "File saved successfully.") << ::testing::PrintToString(answerer_.Texts());
  ASSERT_TRUE(std::filesystem::exists(csv));
  EXPECT_GT(std::filesystem::file_size(csv), 20u);

  chosen = snapshot;
  Click(app::kCommandSaveSnapshot);
  EXPECT_EQ(answerer_.LastText(), "Snapshot Saved successfully in path " + snapshot.string());
  ASSERT_TRUE(std::filesystem::exists(snapshot));

  Click(app::kCommandLoadSnapshot);
  Wait();
  EXPECT_EQ(answerer_.LastText(), "Scanning process completed.");
  EXPECT_EQ(Settings().snapshotMode, 1);
  EXPECT_EQ(TreeText().substr(TreeText().find('\n')), tree.substr(tree.find('\n')));
}

TEST_F(WindowTest, CloseIsRefusedWhileBusyAndAfterAYesShowsTheLogFile) {
  QM_REQUIRE_REAL_FIXTURES();
  WhileMapping([&] { Window().close(); });
  Scan(RealFixture("sql2014_pubs.mdf"));
  EXPECT_EQ(answerer_.Count("Please stop the running process to close the application."), 1);
  EXPECT_TRUE(Window().isVisible());

  answerer_.answers = {QMessageBox::No};
  Window().close();
  EXPECT_TRUE(Window().isVisible());
  EXPECT_EQ(answerer_.LastText(), "Do you want to close the application?");
  EXPECT_EQ(answerer_.boxes.back().icon, QMessageBox::Question);

  Window().close();
  EXPECT_FALSE(Window().isVisible());
  EXPECT_EQ(answerer_.LastText(), "Log file path : " + Settings().logFilePath);
  EXPECT_FALSE(Window().frame().opened().file);
  EXPECT_EQ(addresses_, std::vector<std::string>{""});
}

TEST_F(WindowTest, ASecondInstanceIsRefusedWithABoxOfItsOwn) {
  const app::SingleInstance first("quillmark-gui-test", dir_.path().string());
  ASSERT_TRUE(first.acquired());
  const app::SingleInstance second("quillmark-gui-test", dir_.path().string());
  gui::QtDialogs ownerless;
  EXPECT_FALSE(app::StartUp(second, ownerless));
  ASSERT_EQ(answerer_.boxes.size(), 1u);
  EXPECT_EQ(answerer_.boxes[0].text, "Another instance of application is already running");
  EXPECT_EQ(answerer_.boxes[0].title, "Quillmark v18.0");
  EXPECT_EQ(answerer_.boxes[0].icon, QMessageBox::Information);
  EXPECT_FALSE(answerer_.boxes[0].owned);
}

TEST_F(WindowTest, TheApplicationLookIsSwitchedAndStored) {
  EXPECT_EQ(Window().frame().applicationLook(), 216);
  EXPECT_TRUE(Window().action(216)->isChecked());
  Window().action(210)->trigger();
  EXPECT_EQ(Window().frame().applicationLook(), 210);
  EXPECT_EQ(QApplication::style()->name().toLower(), "windows");
  EXPECT_TRUE(Window().action(210)->isChecked());
  EXPECT_FALSE(Window().action(216)->isChecked());
  EXPECT_EQ(gui::StoredLook(), 210);
  Window().action(213)->trigger();
  EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
  window_.reset();
  EXPECT_EQ(Window().frame().applicationLook(), 213);
  EXPECT_TRUE(Window().action(213)->isChecked());
  Window().action(216)->trigger();
  EXPECT_EQ(gui::StoredLook(), 216);
}

TEST_F(WindowTest, CaptionBarHiddenIsShownAgainFromTheViewMenu) {
  MainWindow& window = Window();
  QTest::mouseClick(window.captionBar()->closeButton(), Qt::LeftButton);
  EXPECT_TRUE(window.captionBar()->isHidden());
  window.action(gui::kCommandCaptionBar)->trigger();
  EXPECT_FALSE(window.captionBar()->isHidden());
}

}  // namespace
}  // namespace quillmark::testing
