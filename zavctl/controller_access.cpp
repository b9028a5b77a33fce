#include "zavctl/controller_access.h"

#include <stdexcept>

#include "core/controller_ops.h"
#include "link/wire.h"

namespace zav::ctl {

void LoadController(UdpDev& dev, Loaded& m) {
  core::SelectController(dev, m);
  if (!IsController(dev.id))
    throw std::runtime_error(DevName(dev.id) + " is not a controller and has no configuration");
  if (m.table.passageCount == 0)
    throw std::runtime_error(DevName(dev.id) +
                             ": the controller sent a bus device table that cannot be used");
}

UdpDev& WriteController(UdpDevSet& set, UdpDev& dev, Loaded& m) {
  const DeviceId id = dev.id;
  set.selected = static_cast<int>(&dev - set.devs.data());
  const core::WriteOutcome out = core::WriteSelected(set, m, m.table.controllerKind == 1);
  if (out.refused)
    throw std::runtime_error(DevName(id) + ": the configuration does not fit this controller");
  for (int i = 0; i < set.count; ++i)
    if (set.devs[i].id == id) return set.devs[i];
  return dev;
}

}  // namespace zav::ctl
