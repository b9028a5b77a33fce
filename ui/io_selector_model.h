// The item list of one selector: the present binding, "  -----" and the free points, kept as a
// fixed array of references. Texts are made only when the view asks for them, so a refill costs
// one pass over the references and no allocation per item.
#pragma once

#include <QAbstractListModel>
#include <array>
#include <cstdint>

namespace zav {
class BusDeviceTable;
}

class IoSelectorModel : public QAbstractListModel {
  Q_OBJECT
 public:
  // The present binding, "  -----", and up to 2560 free points.
  static constexpr int kCapacity = 2 + 2560;
  static constexpr std::uint16_t kNone = 0xFFFF;

  // kind is a zav::PointKind value; it decides the label prefix (none for output sets).
  IoSelectorModel(const zav::BusDeviceTable& table, int kind, QObject* parent = nullptr);

  // Replaces every item with one model reset. fill writes at most kCapacity references into
  // the array it is given and returns how many it wrote.
  template <class Fill>
  void Refill(Fill&& fill) {
    beginResetModel();
    const int n = fill(refs_.data());
    count_ = n < 0 ? 0 : (n > kCapacity ? kCapacity : n);
    endResetModel();
  }

  // The reference of item row; kNone for a row outside the list.
  std::uint16_t RefAt(int row) const;
  int Count() const { return count_; }
  int Kind() const { return kind_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // The text of one reference as the selectors show it.
  QString Label(std::uint16_t ref) const;

 private:
  const zav::BusDeviceTable& table_;
  int kind_;
  int count_ = 0;
  std::array<std::uint16_t, kCapacity> refs_{};
};
