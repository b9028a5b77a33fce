#include "ui/io_selector_model.h"

#include "config/io_ref.h"

static_assert(IoSelectorModel::kCapacity == zav::kMaxChoices);
static_assert(IoSelectorModel::kNone == zav::kNone);

IoSelectorModel::IoSelectorModel(const zav::BusDeviceTable& table, int kind, QObject* parent)
    : QAbstractListModel(parent), table_(table), kind_(kind) {}

std::uint16_t IoSelectorModel::RefAt(int row) const {
  if (row < 0 || row >= count_) return kNone;
  return refs_[static_cast<std::size_t>(row)];
}

int IoSelectorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count_;
}

QString IoSelectorModel::Label(std::uint16_t ref) const {
  return QString::fromStdString(zav::ChoiceLabel(table_, static_cast<zav::PointKind>(kind_), ref));
}

QVariant IoSelectorModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= count_) return {};
  const std::uint16_t ref = refs_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
      return Label(ref);
    case Qt::UserRole:
      return QVariant::fromValue<quint16>(ref);
    default:
      return {};
  }
}
