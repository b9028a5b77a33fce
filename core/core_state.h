// What the core publishes after each operation: the controller set as it stands and the
// selected controller's table and configuration as read. Published states are immutable and
// shared; a front end keeps the last one and works on copies.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/loaded_config.h"
#include "link/udpdev.h"

namespace zav::core {

// The controller set as a plain list: count and selected as in UdpDevSet.
struct ControllerList {
  std::vector<UdpDev> devs;
  int count = 0;
  int selected = -1;  // -1 when none

  bool HasSelected() const { return selected >= 0 && selected < count; }
  const UdpDev* Selected() const {
    return HasSelected() ? &devs[static_cast<std::size_t>(selected)] : nullptr;
  }
};

struct CoreState {
  ControllerList set;
  LoadedConfig config;  // the selected controller's, without the front end's unsaved edits
};

enum class Op {
  Search,          // the start-up search and "Przeszukaj sieć"
  Select,          // a row of the controller list chosen
  Tick,            // the once-a-second poll
  WriteDoors,      // "Zapisz" of the controller and passage pages
  WriteLift,       // "Zapisz" of the lift page
  DeleteInactive,  // "Usuń nieaktywne"
  Replace,         // "Zastąp"
  Firmware,        // the firmware upload
  Restore,         // a backup written like "Zapisz", then read back and compared
  Run,             // a step given by a test or a tool
};

struct CoreEvent {
  enum class Kind { Progress, Done };
  Op op = Op::Search;
  Kind kind = Kind::Done;
  // Done: the state after the operation, whatever it reached.
  std::shared_ptr<const CoreState> state;
  // Controllers or their modes changed; for a selection, the selected controller answered its
  // status, so its row shows what it said.
  bool listChanged = false;
  bool tableChanged = false;  // the poll decoded a new device table; the configuration stays
  bool reloaded = false;      // the table and configuration were (or began to be) read again
  bool refused = false;       // a write found no complete configuration of that controller
  // Restore: the configuration was read back after the write; differences lists, in the
  // report's words, what the controller holds otherwise than what was written (empty: equal).
  bool verified = false;
  std::vector<std::string> differences;
  std::string error;          // the error box text (UTF-8), empty when none
  bool localText = false;     // error is a system text in the local encoding
  // Progress: blocks or firmware blocks done of total.
  int done = 0;
  int total = 0;
};

}  // namespace zav::core
