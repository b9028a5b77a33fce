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

  // Sets the items. fill writes at most kCapacity references into the array it is given and
  // returns how many it wrote. A page is refilled after every choice, and a model reset
  // repaints its selector: so when the first item and the device names are the same as
  // before, only the rows that changed are removed and inserted, and nothing at all is done
  // for the same items. Returns true when the items changed.
  template <class Fill>
  bool Refill(Fill&& fill) {
    return Refill(fill, kAnyInputs);
  }
  // The same, when inputs sums up everything fill writes from: a refill with the inputs of
  // the last one and the same device names leaves the items without calling fill. The caller
  // must give other inputs whenever fill could write other references.
  // namesVersion, when not 0, stands for the device identifiers: the same version means the
  // same identifiers, so they need not be compared.
  template <class Fill>
  bool Refill(Fill&& fill, std::uint64_t inputs, std::uint32_t namesVersion = 0) {
    if (filled_ && inputs != kAnyInputs && inputs == inputs_ &&
        ((namesVersion != 0 && namesVersion == namesVersion_) || !NamesChanged())) {
      namesVersion_ = namesVersion;
      return false;
    }
    const int n = fill(scratch_.data());
    const bool changed = Commit(n < 0 ? 0 : (n > kCapacity ? kCapacity : n));
    inputs_ = inputs;
    namesVersion_ = namesVersion;
    return changed;
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
  // Takes the first n references of scratch_ as the new items.
  bool Commit(int n);
  // True when the device names the items' texts use differ from the ones they were made with.
  bool NamesChanged() const;
  void KeepNames();

  const zav::BusDeviceTable& table_;
  int kind_;
  int count_ = 0;
  bool filled_ = false;  // the items have been set at least once
  // What the last refill was made from; kAnyInputs: unknown, never matches.
  static constexpr std::uint64_t kAnyInputs = ~std::uint64_t{0};
  std::uint64_t inputs_ = kAnyInputs;
  std::uint32_t namesVersion_ = 0;  // of the identifiers the items were last checked against
  std::array<std::uint16_t, kCapacity> refs_{};
  // The identifiers of the table positions when the items were set; texts are made from them.
  std::array<std::uint32_t, 128> ids_{};  // one per bus device table position
  // One refill at a time runs on the user-interface thread, so the selectors share it.
  static std::array<std::uint16_t, kCapacity> scratch_;
};
