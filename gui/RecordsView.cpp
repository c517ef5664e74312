#include "gui/RecordsView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <map>
#include <set>

#include "gui/QtText.h"
#include "gui/ValueViewer.h"

namespace quillmark::gui {
namespace {

// Rows measured to fit a column: enough to judge a page, quick on 1000 rows.
constexpr int kMeasuredRows = 200;

QString TsvField(const QString& text) {
  if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r') && !text.contains(u'"')) return text;
  QString quoted = text;
  quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

}  // namespace

RecordsView::RecordsView(QWidget* parent) : QTableView(parent) {
  setModel(&model_);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void RecordsView::InsertColumn(int index, const std::u16string& title, int width) {
  index = std::clamp(index, 0, ColumnCount());
  model_.InsertColumn(index, Q(title), width);
  setColumnWidth(index, width);
}

void RecordsView::DeleteColumn(int index) { model_.DeleteColumn(index); }

std::u16string RecordsView::ColumnTitle(int index) const { return U16(model_.Title(index)); }

int RecordsView::InsertRow(int index, const std::vector<std::u16string>& texts) {
  std::vector<QString> row;
  row.reserve(texts.size());
  for (const std::u16string& text : texts) row.push_back(Q(text));
  return model_.InsertRow(index, std::move(row));
}

void RecordsView::SetSubItem(int row, int column, const std::u16string& text) { model_.SetText(row, column, Q(text)); }

void RecordsView::DeleteRow(int index) { model_.DeleteRow(index); }

std::u16string RecordsView::Text(int row, int column) const { return U16(model_.Text(row, column)); }

void RecordsView::SetSelected(int row, bool selected) {
  if (row < 0 || row >= RowCount()) return;
  selectionModel()->select(model_.index(row, 0), (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                                     QItemSelectionModel::Rows);
}

std::vector<int> RecordsView::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void RecordsView::Redraw() {
  FitColumns();
  viewport()->update();
}

void RecordsView::FitColumns() {
  const QFontMetrics cells = fontMetrics();
  const QFontMetrics titles = horizontalHeader()->fontMetrics();
  const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
  const int rows = std::min(RowCount(), kMeasuredRows);
  for (int column = 0; column < ColumnCount(); ++column) {
    // The list's own untitled column keeps its width.
    if (model_.Title(column).isEmpty()) continue;
    int width = titles.horizontalAdvance(model_.Title(column)) + padding + 8;
    for (int row = 0; row < rows && width < kMaxFittedWidth; ++row)
      width = std::max(width, cells.horizontalAdvance(RecordsModel::OneLine(model_.Text(row, column)).left(200)) + padding);
    setColumnWidth(column, std::min(width, kMaxFittedWidth));
  }
}

QString RecordsView::SelectedCellsText() const {
  std::map<int, std::set<int>> cells;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) cells[index.row()].insert(index.column());
  const int last = ColumnCount() - 1;
  const bool ownColumn = last >= 0 && model_.Title(last).isEmpty();
  QString text;
  for (const auto& [row, columns] : cells) {
    QStringList fields;
    for (const int column : columns)
      if (!(ownColumn && column == last)) fields << TsvField(model_.Text(row, column));
    text += fields.join(u'\t') + u'\n';
  }
  return text;
}

void RecordsView::CopySelection() const { QApplication::clipboard()->setText(SelectedCellsText()); }

void RecordsView::OpenViewer(const QModelIndex& index) {
  if (!index.isValid()) return;
  std::optional<std::string> bytes;
  if (wholeValue) bytes = wholeValue(index.row(), index.column());
  auto* viewer = new ValueViewer(model_.Title(index.column()), model_.Text(index.row(), index.column()), bytes, this);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->show();
  emit viewerOpened(viewer);
}

void RecordsView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) {
    OpenViewer(index);
    event->accept();
    return;
  }
  QTableView::mouseDoubleClickEvent(event);
}

void RecordsView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    OpenViewer(currentIndex());
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

}  // namespace quillmark::gui
