// The operations on one controller, as both front ends run them: selecting and loading it, and
// writing its configuration back. They wait on the network and so run on the core's worker
// thread (or in a command-line run). Link errors pass through as zav::UErr.
#pragma once

#include <functional>

#include "core/loaded_config.h"
#include "link/udpdevset.h"

namespace zav::core {

// The error text of a configuration block that is not a record of its kind.
extern const char* const kBadBlockText;

// Told after each block of a load: blocks read so far (the device table first) of the blocks
// the load takes. The total is known once the device table is read.
using LoadProgress = std::function<void(int done, int total)>;

// Selecting a controller: its status, then for a controller of the family its device table and
// configuration. A controller that does not answer leaves an empty table (UErr 1); one outside
// Serwis and Instalacja raises UErr 8 with the table empty.
void SelectController(UdpDev& dev, LoadedConfig& cfg, const LoadProgress& progress = {});

// The device table and the configuration of its kind. Until a whole read succeeds neither
// configuration may be written back. A block that is not a record of its kind raises
// std::runtime_error(kBadBlockText).
void LoadConfig(UdpDev& dev, LoadedConfig& cfg, const LoadProgress& progress = {});

// True when the pair is one that the table offers now: "Zastąp" never sends a pair the table
// in memory no longer holds.
bool OffersPair(const BusDeviceTable& table, ReplacementPair pair);

struct WriteOutcome {
  bool listChanged = false;  // late discovery replies changed the set
  bool refused = false;      // nothing sent: no selection, or not a complete read of it
};

// "Zapisz": takes in late discovery replies, then writes the door (doors true) or the lift
// configuration of written to the selected controller with the controller's write sequence.
WriteOutcome WriteSelected(UdpDevSet& set, LoadedConfig& written, bool doors);

// Whether two configurations hold the same records: the images the write sequence sends, byte
// for byte, for the same kind and passage count.
bool SameRecords(const LoadedConfig& a, const LoadedConfig& b);

}  // namespace zav::core
