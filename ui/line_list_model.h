// A list of text lines for a list view. The lines are set as a whole, and the model tells the
// view only what differs from the lines before: rows removed at the end, rows whose text
// changed, rows added at the end. A view over it repaints those rows alone.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <algorithm>
#include <optional>
#include <vector>

class LineListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // The text of row, empty outside the list.
  QString Line(int row) const;

 protected:
  // Makes the list n rows long. lineOf(row, added) gives a row's text; for a row that was
  // already there it may give nothing, meaning the row stays as it is.
  template <class LineOf>
  void Update(int n, LineOf&& lineOf) {
    const int old = static_cast<int>(lines_.size());
    if (n < old) {
      beginRemoveRows(QModelIndex(), n, old - 1);
      lines_.resize(static_cast<std::size_t>(n));
      endRemoveRows();
    }
    for (int row = 0; row < std::min(n, old); ++row) {
      std::optional<QString> text = lineOf(row, false);
      if (!text || *text == lines_[static_cast<std::size_t>(row)]) continue;
      lines_[static_cast<std::size_t>(row)] = std::move(*text);
      const QModelIndex at = index(row);
      emit dataChanged(at, at, {Qt::DisplayRole});
    }
    if (n > old) {
      beginInsertRows(QModelIndex(), old, n - 1);
      for (int row = old; row < n; ++row) lines_.push_back(lineOf(row, true).value_or(QString()));
      endInsertRows();
    }
  }

 private:
  std::vector<QString> lines_;
};
