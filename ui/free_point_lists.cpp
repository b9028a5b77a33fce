#include "ui/free_point_lists.h"

#include <algorithm>

#include "config/bus_device_table.h"
#include "config/io_ref.h"
#include "ui/io_selector_model.h"

static_assert(zav::kMaxFreePoints == 2560);
static_assert(zav::kMaxBusDevices == 128);

bool FreePointLists::SourceChanged(std::size_t k) {
  const auto kind = static_cast<zav::PointKind>(k);
  const int n = std::clamp(table_.activeCount, 0, zav::kMaxBusDevices);
  bool changed = n != sourceCount_[k];
  sourceCount_[k] = n;
  for (int j = 0; j < n; ++j) {
    const int pos = table_.order[j];
    const auto [points, taken] = zav::PointsOf(table_.devices[static_cast<std::size_t>(pos)], kind);
    const std::uint64_t key = (static_cast<std::uint64_t>(pos & 0xFF) << 48) |
                              (static_cast<std::uint64_t>(points & 0xFFFF) << 32) | taken;
    auto& slot = source_[k][static_cast<std::size_t>(j)];
    if (slot != key) {
      slot = key;
      changed = true;
    }
  }
  return changed;
}

void FreePointLists::LookAtNames() {
  namesLooked_ = true;
  bool changed = false;
  for (std::size_t i = 0; i < ids_.size(); ++i) {
    if (ids_[i] == table_.devices[i].id) continue;
    ids_[i] = table_.devices[i].id;
    changed = true;
  }
  if (changed) ++namesVersion_;
}

void FreePointLists::Fill(IoSelectorModel& model, std::uint16_t current, int filter,
                          std::uint16_t sameAs) {
  if (!namesLooked_) LookAtNames();
  const auto kind = static_cast<zav::PointKind>(model.Kind());
  const auto k = static_cast<std::size_t>(model.Kind());
  if (!(listedKinds_ & (1u << k)) && SourceChanged(k)) {
    const int n = zav::FreePoints(table_, kind, listing_.data());
    if (n != count_[k] || !std::equal(listing_.begin(), listing_.begin() + n, points_[k].begin())) {
      std::copy_n(listing_.begin(), n, points_[k].begin());
      count_[k] = n;
      ++version_[k];
    }
  }
  listedKinds_ |= 1u << k;
  const auto f = static_cast<zav::ChoiceFilter>(filter);
  const int wanted = f == zav::ChoiceFilter::DeviceZero ? 0 : zav::RefDevice(sameAs);
  // Everything the items below are made from besides the device names, which the model
  // checks itself.
  const std::uint64_t inputs = (std::uint64_t{version_[k]} << 32) | (std::uint64_t{current} << 16) |
                               (static_cast<std::uint64_t>(filter & 0xFF) << 8) |
                               static_cast<std::uint64_t>(wanted & 0xFF);
  model.Refill(
      [&](std::uint16_t* out) {
        int n = 0;
        if (current != zav::kNone) out[n++] = current;
        out[n++] = zav::kNone;
        const std::uint16_t* free = points_[k].data();
        if (f == zav::ChoiceFilter::None) {
          // Most rows take the whole free list: one block copy instead of a test per point.
          std::copy_n(free, count_[k], out + n);
          return n + count_[k];
        }
        for (int i = 0; i < count_[k]; ++i)
          if (zav::RefDevice(free[i]) == wanted) out[n++] = free[i];
        return n;
      },
      inputs, namesVersion_);
}
