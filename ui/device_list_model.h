// The rows of the bus devices panel: one line per active device of the selected controller's
// table, in display order.
#pragma once

#include <cstdint>
#include <vector>

#include "config/bus_device_table.h"
#include "ui/line_list_model.h"

class DeviceListModel : public LineListModel {
  Q_OBJECT
 public:
  using LineListModel::LineListModel;
  // Formatting the lines is most of what a tick or a reselection that changed nothing would
  // cost, so a row's line is made again only when its device differs.
  void Show(const zav::BusDeviceTable& table);

 private:
  // What each row's line was made from: a line depends on nothing else.
  struct Device {
    zav::DeviceId id = 0;
    std::uint8_t state = 0;
    std::uint8_t suffixNo = 0;
    bool operator==(const Device&) const = default;
  };
  std::vector<Device> shown_;
};
