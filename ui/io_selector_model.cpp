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
  const std::uint16_t* next = scratch_.data();
  // A different first item (the present binding) or other device names change the text the
  // selector shows: it is reset and repainted.
  if (!filled_ || n == 0 || count_ == 0 || next[0] != refs_[0] || NamesChanged()) {
    beginResetModel();
    std::copy(next, next + n, refs_.begin());
    count_ = n;
    filled_ = true;
    KeepNames();
    endResetModel();
    return true;
  }
  // The same items: the common case of a refill by the poll or by reselecting the controller.
  if (n == count_ && std::equal(next, next + n, refs_.begin())) return false;
  // Otherwise a choice elsewhere on the page took or gave back a point: only the rows that
  // differ are removed and inserted, which leaves the shown item, and the selector's picture,
  // as they are.
  const int common = std::min(n, count_);
  int prefix = 0;
  while (prefix < common && next[prefix] == refs_[static_cast<std::size_t>(prefix)]) ++prefix;
  if (prefix == n && n == count_) return false;
  int suffix = 0;
  while (suffix < common - prefix &&
         next[n - 1 - suffix] == refs_[static_cast<std::size_t>(count_ - 1 - suffix)])
    ++suffix;
  const int oldEnd = count_ - suffix;
  const int newEnd = n - suffix;
  const auto at = refs_.begin() + prefix;
  if (oldEnd > prefix) {
    beginRemoveRows(QModelIndex(), prefix, oldEnd - 1);
    std::copy(refs_.begin() + oldEnd, refs_.begin() + count_, at);
    count_ -= oldEnd - prefix;
    endRemoveRows();
  }
  if (newEnd > prefix) {
    beginInsertRows(QModelIndex(), prefix, newEnd - 1);
    std::copy_backward(at, refs_.begin() + count_, refs_.begin() + count_ + (newEnd - prefix));
    std::copy(next + prefix, next + newEnd, at);
    count_ += newEnd - prefix;
    endInsertRows();
  }
  return true;
}
