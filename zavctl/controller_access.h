// Reading and writing a whole controller configuration with the core's operations, the ones
// the window runs, plus what a command line needs on top: an error for every reason a
// configuration cannot be had.
#pragma once

#include "core/loaded_config.h"
#include "link/udpdevset.h"

namespace zav::ctl {

using Loaded = core::LoadedConfig;

// The status poll, the mode check, the table and the configuration of its kind. Throws UErr,
// or std::runtime_error with the window's text when the controller's answers cannot be used,
// or when dev is no controller or its table is refused.
void LoadController(UdpDev& dev, Loaded& m);

// "Zapisz" for dev, a controller of set: late discovery replies first, then the write
// sequence of the configuration's kind. m must be a complete read of dev (or a restore made
// for it). Returns the controller as the set holds it afterwards (late replies may have
// moved it); throws std::runtime_error when the configuration does not fit dev.
UdpDev& WriteController(UdpDevSet& set, UdpDev& dev, Loaded& m);

}  // namespace zav::ctl
