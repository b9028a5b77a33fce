// Whether a backed-up configuration fits a controller: the same kind and passage count, and for
// another controller every bus device point the configuration uses at the same table position
// on a device of the same type.
#pragma once

#include <string>
#include <vector>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "link/wire.h"

namespace zav {

// One line per problem; empty when the configuration may be written to the target. doors and
// lift hold the backup, decoded against backupTable; target is the controller's table as read.
std::vector<std::string> RestoreMismatches(const BusDeviceTable& backupTable,
                                           const PassageConfig& doors, const LiftConfig& lift,
                                           DeviceId backupId, const BusDeviceTable& target,
                                           DeviceId targetId);

}  // namespace zav
