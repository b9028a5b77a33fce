// The backup file parser: any text is either refused with BackupError or gives a backup that
// decodes into the model, writes out again and reads back as the same backup.
#include <memory>
#include <string_view>

#include "config/backup_file.h"
#include "fuzz/fuzz_support.h"

namespace zav::fuzz {

int FuzzBackup(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), data ? size : 0);
  Backup b;
  try {
    b = ParseBackup(text);
  } catch (const BackupError&) {
    return 0;
  }
  auto table = std::make_unique<BusDeviceTable>();
  PassageConfig doors(*table);
  LiftConfig lift(*table);
  DecodeBackup(b, *table, doors, lift);  // accepted once, it must decode without complaint
  ZAV_FUZZ_CHECK(table->controllerKind == b.controllerKind);
  ZAV_FUZZ_CHECK(table->passageCount == b.passages);
  ZAV_FUZZ_CHECK(b.controllerKind == kLiftKind ? lift.complete : doors.complete);
  ZAV_FUZZ_CHECK(ParseBackup(BackupToJson(b)) == b);
  return 0;
}

}  // namespace zav::fuzz
