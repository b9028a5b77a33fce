#include "ui/line_list_model.h"

int LineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
    return lines_[static_cast<std::size_t>(index.row())];
  return {};
}

QString LineListModel::Line(int row) const {
  return row >= 0 && row < rowCount() ? lines_[static_cast<std::size_t>(row)] : QString();
}
