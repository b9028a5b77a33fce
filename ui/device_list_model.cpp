#include "ui/device_list_model.h"

void DeviceListModel::Show(const zav::BusDeviceTable& table) {
  const int n = std::clamp(table.activeCount, 0, zav::kMaxBusDevices);
  std::vector<Device> devices(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const zav::BusDevice& d = table.devices[table.order[i]];
    devices[static_cast<std::size_t>(i)] = {d.id, d.state, d.suffixNo};
  }
  // A tick or a reselection mostly finds every device as it was.
  if (devices == shown_) return;
  Update(n, [&](int row, bool added) -> std::optional<QString> {
    const auto r = static_cast<std::size_t>(row);
    if (!added && devices[r] == shown_[r]) return std::nullopt;
    return QString::fromStdString(table.DeviceLine(table.order[row]));
  });
  shown_ = std::move(devices);
}
