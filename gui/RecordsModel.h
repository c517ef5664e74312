// The rows of the shown page, as the records list holds them: the column
// titles and widths and the whole text of every cell (no cut). The grid shows
// a cell's first line; the whole text stays readable through Text().
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace quillmark::gui {

class RecordsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  void InsertColumn(int index, const QString& title, int width);
  void DeleteColumn(int index);
  int InsertRow(int index, std::vector<QString> texts);
  void SetText(int row, int column, const QString& text);
  void DeleteRow(int index);
  void DeleteAllRows();

  const QString& Text(int row, int column) const;
  const QString& Title(int column) const;
  int Width(int column) const;
  int Columns() const { return static_cast<int>(columns_.size()); }
  int Rows() const { return static_cast<int>(rows_.size()); }

  // What a cell of one line shows of `text`: its first line, at most a few
  // thousand characters.
  static QString OneLine(const QString& text);

 private:
  struct Column {
    QString title;
    int width = 0;
  };
  std::vector<Column> columns_;
  std::vector<std::vector<QString>> rows_;
};

}  // namespace quillmark::gui
