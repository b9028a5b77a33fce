// Reading and writing a whole controller configuration the way the window does it. One place,
// so that zavctl follows the window's sequence and texts.
#pragma once

#include <memory>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "link/udpdev.h"

namespace zav::ctl {

// A controller's bus table and configuration. The records keep a reference to the table, so
// the table lives on the heap and the whole stays where it was made.
struct Loaded {
  Loaded() : doors(*table), lift(*table) {}
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;

  std::unique_ptr<BusDeviceTable> table = std::make_unique<BusDeviceTable>();
  PassageConfig doors;
  LiftConfig lift;
};

// The status poll, the mode check, the table and the configuration of its kind. Throws UErr,
// or std::runtime_error with the window's text when the controller's answers cannot be used.
void LoadController(UdpDev& dev, Loaded& m);

// The write sequence of "Zapisz" for the configuration held in m, which must be writable to
// dev (a complete read of it, or a restore prepared for it).
void WriteController(UdpDev& dev, Loaded& m);

}  // namespace zav::ctl
