#include "gui/RecordsModel.h"

#include <algorithm>

namespace quillmark::gui {
namespace {

constexpr qsizetype kShownCharacters = 4000;

const QString& Empty() {
  static const QString empty;
  return empty;
}

}  // namespace

int RecordsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int RecordsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns(); }

QString RecordsModel::OneLine(const QString& text) {
  qsizetype end = std::min(text.size(), kShownCharacters);
  for (qsizetype i = 0; i < end; ++i)
    if (text[i] == u'\n' || text[i] == u'\r') end = i;
  return end == text.size() ? text : text.left(end);
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole) return OneLine(Text(index.row(), index.column()));
  if (role == Qt::ToolTipRole) {
    const QString& text = Text(index.row(), index.column());
    return text.size() > 200 ? text.left(200) + QStringLiteral("\u2026") : text;
  }
  return {};
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return Title(section);
}

void RecordsModel::InsertColumn(int index, const QString& title, int width) {
  index = std::clamp(index, 0, Columns());
  beginInsertColumns({}, index, index);
  columns_.insert(columns_.begin() + index, Column{title, width});
  for (std::vector<QString>& row : rows_)
    if (static_cast<int>(row.size()) >= index) row.insert(row.begin() + index, QString());
  endInsertColumns();
}

void RecordsModel::DeleteColumn(int index) {
  if (index < 0 || index >= Columns()) return;
  beginRemoveColumns({}, index, index);
  columns_.erase(columns_.begin() + index);
  for (std::vector<QString>& row : rows_)
    if (index < static_cast<int>(row.size())) row.erase(row.begin() + index);
  endRemoveColumns();
}

int RecordsModel::InsertRow(int index, std::vector<QString> texts) {
  index = std::clamp(index, 0, Rows());
  // A list keeps no more sub-items than it has columns (at least the item itself).
  texts.resize(std::max<std::size_t>(1, columns_.size()));
  beginInsertRows({}, index, index);
  rows_.insert(rows_.begin() + index, std::move(texts));
  endInsertRows();
  return index;
}

void RecordsModel::SetText(int row, int column, const QString& text) {
  if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  emit dataChanged(index(row, column), index(row, column));
}

void RecordsModel::DeleteRow(int index) {
  if (index < 0 || index >= Rows()) return;
  beginRemoveRows({}, index, index);
  rows_.erase(rows_.begin() + index);
  endRemoveRows();
}

void RecordsModel::DeleteAllRows() {
  if (rows_.empty()) return;
  // Not a reset: a reset would give every column its default width again.
  beginRemoveRows({}, 0, Rows() - 1);
  rows_.clear();
  endRemoveRows();
}

const QString& RecordsModel::Text(int row, int column) const {
  if (row < 0 || row >= Rows() || column < 0) return Empty();
  const std::vector<QString>& texts = rows_[static_cast<std::size_t>(row)];
  return column < static_cast<int>(texts.size()) ? texts[static_cast<std::size_t>(column)] : Empty();
}

const QString& RecordsModel::Title(int column) const {
  return column >= 0 && column < Columns() ? columns_[static_cast<std::size_t>(column)].title : Empty();
}

int RecordsModel::Width(int column) const {
  return column >= 0 && column < Columns() ? columns_[static_cast<std::size_t>(column)].width : 0;
}

}  // namespace quillmark::gui
