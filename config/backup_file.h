// A controller's configuration kept in a file (.zavcfg, JSON): the device table and every
// configuration block exactly as the controller delivered them, with the bus devices and the
// passage names readable beside them for people. On restore the raw bytes are the truth.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "config/raw_block.h"
#include "link/wire.h"

namespace zav {

inline constexpr const char* kBackupFormat = "zavconfig-backup";
inline constexpr int kBackupVersion = 1;
inline constexpr const char* kBackupSuffix = ".zavcfg";

struct Backup {
  std::string toolVersion;
  std::string created;  // local date and time of the read, ISO 8601
  DeviceId id = 0;
  std::uint32_t ip = 0;
  int mode = 0;
  std::string modeName;
  int controllerKind = 0;  // 1 door, 2 lift
  int passages = 0;        // 2, 8 or 16 doors; 1 for a lift
  std::vector<std::uint8_t> busTable;  // the "D" payload
  std::vector<RawBlock> blocks;        // the "C" payloads in read order

  bool operator==(const Backup&) const = default;
};

// A file that is not a usable backup; the text names the problem.
class BackupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The backup of a complete read held in the model. Throws BackupError when the model does not
// hold a complete read of a door or lift controller.
Backup BackupFromModel(const BusDeviceTable& table, const PassageConfig& doors,
                       const LiftConfig& lift, DeviceId id, std::uint32_t ip, int mode,
                       const std::string& modeName, const std::string& toolVersion,
                       const std::string& created);

// Decodes a backup into the model (table, then the records that fit its kind) as a complete
// read of controller b.id. Throws BackupError when the table, the kind, the passage count and
// the blocks do not fit together; the model is then unspecified.
void DecodeBackup(const Backup& b, BusDeviceTable& table, PassageConfig& doors, LiftConfig& lift);

std::string BackupToJson(const Backup& b);
// Parses and checks the whole file before anything may use it. Throws BackupError.
Backup ParseBackup(std::string_view text);

// Reads and parses; BackupError names the file. Writes through a new file that takes the name
// only when complete; std::runtime_error names the file and the system's reason.
Backup ReadBackupFile(const std::string& path);
// flush false leaves the data to the system's own write-back (measurements only).
void WriteBackupFile(const std::string& path, const Backup& b, bool flush = true);

// Kind in the file's words: "door", "lift".
const char* BackupKindName(int controllerKind);

}  // namespace zav
