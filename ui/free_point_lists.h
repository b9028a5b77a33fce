// The free points of each zav::PointKind, for the selectors of a page. The rows of a page differ
// only in their binding and filter, and the table does not change during one fill: so the free
// points of a kind are listed once per fill, and each row's choice list is made from them as
// zav::ChoiceList makes it.
#pragma once

#include <array>
#include <cstdint>

class IoSelectorModel;
namespace zav {
class BusDeviceTable;
}

class FreePointLists {
 public:
  explicit FreePointLists(const zav::BusDeviceTable& table) : table_(table) {}

  // A page fill begins: each kind is listed again at its first use.
  void NewFill() {
    listedKinds_ = 0;
    namesLooked_ = false;
  }
  // Sets model's items to the choice list of current: current, "  -----" and the free points
  // of the model's kind that pass filter (a zav::ChoiceFilter value; sameAs is the binding
  // whose device SameDevice keeps). A model refilled from the same listing, binding and filter
  // keeps its items untouched.
  void Fill(IoSelectorModel& model, std::uint16_t current, int filter, std::uint16_t sameAs);

 private:
  // True when what kind k is listed from (each listed device's position, point count and
  // taken points) differs from the last listing's, which it then records. Far cheaper than
  // listing the points: a refill by the poll or a reselection finds the table as it was.
  bool SourceChanged(std::size_t k);
  // namesVersion_ changes whenever the devices' identifiers, which the items' texts are made
  // from, differ from those of the fill before: the selectors need not each compare them.
  void LookAtNames();

  const zav::BusDeviceTable& table_;
  // Bit k: kind k is listed for the fill under way. version_ of a kind changes whenever a
  // listing differs from the one before.
  unsigned listedKinds_ = 0;
  std::array<int, 4> count_{};
  std::array<std::array<std::uint16_t, 2560>, 4> points_{};
  std::array<std::uint32_t, 4> version_{};
  std::array<std::uint16_t, 2560> listing_{};
  bool namesLooked_ = false;  // LookAtNames ran for the fill under way
  std::uint32_t namesVersion_ = 1;
  std::array<std::uint32_t, 128> ids_{};
  std::array<int, 4> sourceCount_{-1, -1, -1, -1};
  std::array<std::array<std::uint64_t, 128>, 4> source_{};
};
