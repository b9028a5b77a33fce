// The selected controller's bus device table and the configuration read from it, kept together
// so that a copy of the configuration is marked against its own copy of the table.
#pragma once

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"

namespace zav::core {

struct LoadedConfig {
  LoadedConfig() = default;
  LoadedConfig(const LoadedConfig& other);
  LoadedConfig& operator=(const LoadedConfig& other);

  BusDeviceTable table;
  PassageConfig doors{table};
  LiftConfig lift{table};
};

}  // namespace zav::core
