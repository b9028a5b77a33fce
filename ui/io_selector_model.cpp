#include "ui/io_selector_model.h"

#include <algorithm>

#include "config/bus_device_table.h"
#include "config/io_ref.h"

static_assert(IoSelectorModel::kCapacity == zav::kMaxChoices);
static_assert(IoSelectorModel::kNone == zav::kNone);

static_assert(zav::kMaxBusDevices == 128);

std::array<std::uint16_t, IoSelectorModel::kCapacity> IoSelectorModel::scratch_{};

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

bool IoSelectorModel::NamesChanged() const {
  for (std::size_t i = 0; i < ids_.size(); ++i)
    if (ids_[i] != table_.devices[i].id) return true;
  return false;
}

void IoSelectorModel::KeepNames() {
  for (std::size_t i = 0; i < ids_.size(); ++i) ids_[i] = table_.devices[i].id;
}

bool IoSelectorModel::Commit(int n) {
  const auto first = scratch_.begin();
  if (filled_ && n == count_ && std::equal(first, first + n, refs_.begin()) && !NamesChanged())
    return false;
  beginResetModel();
  std::copy(first, first + n, refs_.begin());
  count_ = n;
  filled_ = true;
  KeepNames();
  endResetModel();
  return true;
}
