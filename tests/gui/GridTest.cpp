// The records list as a grid: whole texts kept, Ctrl+C as tab-separated
// text, the viewer of a whole value, fitted column widths; the dispatcher and
// the file dialogs' filters.
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QThread>
#include <atomic>
#include <thread>

#include "gui/QtDialogs.h"
#include "gui/QtDispatcher.h"
#include "gui/RecordsView.h"
#include "gui/ValueViewer.h"
#include "tests/gui/GuiTest.h"

namespace quillmark::testing {
namespace {

class GridTest : public GuiTest {
 protected:
  // Three columns and the list's own untitled one, two rows.
  void Fill(gui::RecordsView& view) {
    view.InsertColumn(0, u"", 1500);
    view.InsertColumn(0, u"Id", 200);
    view.InsertColumn(1, u"Name", 200);
    view.InsertColumn(2, u"Doc", 200);
    view.InsertRow(0, {u"1", u"Ada", u"<a><b>x</b></a>"});
    view.InsertRow(1, {u"2", u"tab\there", u"line one " + std::u16string(3000, u'w') + u"\nline two"});
  }
};

TEST_F(GridTest, HoldsWholeTextsAndShowsTheirFirstLine) {
  gui::RecordsView view;
  Fill(view);
  EXPECT_EQ(view.ColumnCount(), 4);
  EXPECT_EQ(view.Text(1, 2).size(), 3018u);
  EXPECT_EQ(gui::Utf8(view.model()->data(view.model()->index(1, 2)).toString()), "line one " + std::string(3000, 'w'));
  view.SetSubItem(0, 1, u"Grace");
  EXPECT_EQ(view.Text(0, 1), u"Grace");
  view.DeleteColumn(0);
  EXPECT_EQ(view.ColumnTitle(0), u"Name");
  EXPECT_EQ(view.Text(0, 0), u"Grace");
  view.DeleteRow(0);
  EXPECT_EQ(view.RowCount(), 1);
  view.DeleteAllRows();
  EXPECT_EQ(view.RowCount(), 0);
  EXPECT_EQ(view.ColumnCount(), 3);
}

TEST_F(GridTest, CtrlCCopiesTheSelectedCellsAsTabSeparatedText) {
  gui::RecordsView view;
  Fill(view);
  view.show();
  view.SetSelected(0, true);
  view.SetSelected(1, true);
  EXPECT_EQ(view.SelectedRows(), (std::vector<int>{0, 1}));
  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  const std::string expected = "1\tAda\t<a><b>x</b></a>\n2\t\"tab\there\"\t\"line one " + std::string(3000, 'w') +
                               "\nline two\"\n";
  EXPECT_EQ(gui::Utf8(QApplication::clipboard()->text()), expected);
}

TEST_F(GridTest, EnterOpensAViewerOfTheWholeValueAsTextHexAndXml) {
  gui::RecordsView view;
  Fill(view);
  view.show();
  std::vector<QWidget*> opened;
  QObject::connect(&view, &gui::RecordsView::viewerOpened, [&](QWidget* viewer) { opened.push_back(viewer); });
  view.setCurrentIndex(view.model()->index(0, 2));
  QTest::keyClick(&view, Qt::Key_Return);
  ASSERT_EQ(opened.size(), 1u);
  auto* viewer = qobject_cast<gui::ValueViewer*>(opened[0]);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(gui::Utf8(viewer->TextView()), "<a><b>x</b></a>");
  EXPECT_EQ(viewer->views()->count(), 3);
  EXPECT_NE(viewer->XmlView().indexOf(QStringLiteral("\n    <b>x</b>")), -1) << gui::Utf8(viewer->XmlView());
  EXPECT_TRUE(viewer->HexView().startsWith(QStringLiteral("00000000  3c 61 3e")));
  viewer->close();

  // A cell whose grid text is a placeholder: the hook gives the stored bytes.
  view.wholeValue = [](int row, int column) -> std::optional<std::string> {
    if (row == 1 && column == 1) return std::string("\x01\x02zz", 4);
    return std::nullopt;
  };
  const QRect cell = view.visualRect(view.model()->index(1, 1));
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(opened.size(), 2u);
  auto* binary = qobject_cast<gui::ValueViewer*>(opened[1]);
  EXPECT_TRUE(binary->HexView().startsWith(QStringLiteral("00000000  01 02 7a 7a")));
  EXPECT_EQ(gui::Utf8(binary->XmlView()), "(not XML)");
  binary->close();
}

TEST_F(GridTest, ColumnsFitTheirContentsUpToAMaximumOnceAPageIsListed) {
  gui::RecordsView view;
  Fill(view);
  view.show();
  view.Redraw();
  EXPECT_LT(view.columnWidth(0), 100);
  EXPECT_GT(view.columnWidth(1), view.columnWidth(0));
  EXPECT_EQ(view.columnWidth(2), gui::RecordsView::kMaxFittedWidth);
  EXPECT_EQ(view.columnWidth(3), 1500);
}

TEST_F(GridTest, AWorkersInvokeRunsOnTheUserInterfaceThreadAndWaits) {
  QObject context;
  gui::QtDispatcher ui(context);
  EXPECT_TRUE(ui.OnUiThread());
  bool direct = false;
  ui.Invoke([&] { direct = true; });
  EXPECT_TRUE(direct);

  std::atomic<int> calls{0};
  std::atomic<bool> ended{false};
  std::vector<bool> onUi;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      int seen = -1;
      // The call returns only after the work ran: `seen` lives on this stack.
      ui.Invoke([&] {
        onUi.push_back(QThread::currentThread() == context.thread());
        seen = calls.fetch_add(1);
      });
      if (seen != i) break;
    }
    ended = true;
  });
  EXPECT_TRUE(ui.PumpUntil([&] { return ended.load(); }, std::chrono::seconds(60)));
  worker.join();
  EXPECT_EQ(calls.load(), 200);
  EXPECT_EQ(std::count(onUi.begin(), onUi.end(), true), 200);
  EXPECT_FALSE(ui.PumpUntil([] { return false; }, std::chrono::milliseconds(20)));
}

TEST_F(GridTest, WindowsFiltersBecomeQtFiltersInBothCases) {
  EXPECT_EQ(gui::NameFilters(".mdf Files (*.mdf)|*mdf||"), QStringList{QStringLiteral(".mdf Files (*mdf *MDF)")});
  EXPECT_EQ(gui::NameFilters("*.csv||"), QStringList{QStringLiteral("*.csv (*.csv *.CSV)")});
  EXPECT_EQ(gui::NameFilters(".KestrumMDB Files (*.MDBKSM)|*MDBKSM||"),
            QStringList{QStringLiteral(".KestrumMDB Files (*mdbksm *MDBKSM)")});
}

}  // namespace
}  // namespace quillmark::testing
