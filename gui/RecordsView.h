// The records list over a QTableView: grid lines, whole rows selected, the
// model holding the shown page's texts. Beyond the list itself, what a user of
// a table grid expects: Ctrl+C copies the selected cells as tab-separated text,
// a double click (or Enter) on a cell opens a viewer of the whole value, and
// the columns fit their contents (up to a maximum) once a page is listed.
#pragma once

#include <QTableView>
#include <functional>
#include <optional>
#include <string>

#include "gui/RecordsModel.h"
#include "platform/Controls.h"

namespace quillmark::gui {

class RecordsView : public QTableView, public platform::RecordsList {
  Q_OBJECT
 public:
  // The widest a column grows when it fits its contents.
  static constexpr int kMaxFittedWidth = 400;

  explicit RecordsView(QWidget* parent = nullptr);

  void InsertColumn(int index, const std::u16string& title, int width) override;
  void DeleteColumn(int index) override;
  int ColumnCount() const override { return model_.Columns(); }
  std::u16string ColumnTitle(int index) const override;
  int InsertRow(int index, const std::vector<std::u16string>& texts) override;
  void SetSubItem(int row, int column, const std::u16string& text) override;
  void DeleteRow(int index) override;
  void DeleteAllRows() override { model_.DeleteAllRows(); }
  int RowCount() const override { return model_.Rows(); }
  std::u16string Text(int row, int column) const override;
  void SetSelected(int row, bool selected) override;
  std::vector<int> SelectedRows() const override;
  // A page is complete: the columns fit their contents.
  void Redraw() override;

  // The selected cells as tab-separated lines (the list's own untitled last
  // column left out); a cell holding a tab, a line break or a quote is quoted.
  QString SelectedCellsText() const;
  void CopySelection() const;
  void OpenViewer(const QModelIndex& index);
  void FitColumns();

  // The whole stored value of a cell, read from the file where the grid shows
  // only a placeholder; nothing when it cannot be had (then the cell's text
  // stands for the value).
  std::function<std::optional<std::string>(int row, int column)> wholeValue;

 signals:
  void viewerOpened(QWidget* viewer);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  RecordsModel model_;
};

}  // namespace quillmark::gui
