// backup, diff and restore of a controller's configuration.
#include <sys/stat.h>

#include <cstring>
#include <ostream>

#include "config/backup_file.h"
#include "config/config_diff.h"
#include "config/restore_check.h"
#include "core/controller_ops.h"
#include "zavctl/commands.h"
#include "zavctl/controller_access.h"

#ifndef ZAV_VERSION
#define ZAV_VERSION "0"
#endif

namespace zav::ctl {

namespace {

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void Load(Context& c, const std::string& operand, Loaded& m) {
  if (NamesController(operand)) {
    LoadController(c.Net().Resolve(operand), m);
  } else {
    DecodeBackup(ReadBackupFile(operand), m.table, m.doors, m.lift);
  }
}

std::vector<FieldChange> Changes(const Loaded& before, const Loaded& after) {
  return DiffFields(DescribeConfig(before.table, before.doors, before.lift),
                    DescribeConfig(after.table, after.doors, after.lift));
}

void PrintChanges(std::ostream& out, const std::vector<FieldChange>& changes) {
  for (const FieldChange& ch : changes) out << ChangeLine(ch) << "\n";
}

}  // namespace

bool NamesController(const std::string& operand) {
  return LooksLikeDev(operand) && !IsFile(operand);
}

int RunBackup(Context& c) {
  UdpDev& dev = c.Net().Resolve(c.args.operands[0]);
  Loaded m;
  LoadController(dev, m);
  const Backup b = BackupFromModel(m.table, m.doors, m.lift, dev.id, dev.ip, dev.mode & 0x03,
                                   dev.ModeName(), ZAV_VERSION, NowIso());
  WriteBackupFile(*c.args.output, b);
  c.out << DevName(dev.id) << ": " << b.blocks.size() << " configuration blocks saved in "
        << *c.args.output << "\n";
  return 0;
}

int RunDiff(Context& c) {
  Loaded before;
  Loaded after;
  Load(c, c.args.operands[0], before);
  Load(c, c.args.operands[1], after);
  const auto changes = Changes(before, after);
  PrintChanges(c.out, changes);
  return changes.empty() ? 0 : 1;
}

int RunRestore(Context& c) {
  const std::string& file = c.args.operands[1];
  const Backup backup = ReadBackupFile(file);
  UdpDev& dev = c.Net().Resolve(c.args.operands[0]);
  Loaded target;
  LoadController(dev, target);

  Loaded saved;
  DecodeBackup(backup, saved.table, saved.doors, saved.lift);
  const auto mismatches = RestoreMismatches(saved.table, saved.doors, saved.lift, backup.id,
                                            target.table, dev.id);
  if (!mismatches.empty()) {
    c.err << "zavctl: " << file << " (" << DevName(backup.id) << ") does not fit "
          << DevName(dev.id) << "; nothing was written:\n";
    for (const std::string& m : mismatches) c.err << "  " << m << "\n";
    return 1;
  }
  // The backup's records over the target's own table: the same points, named as the target
  // names them, and written as a configuration read from the target.
  Backup onTarget = backup;
  onTarget.id = dev.id;
  onTarget.busTable = target.table.raw;
  Loaded restore;
  DecodeBackup(onTarget, restore.table, restore.doors, restore.lift);

  const auto changes = Changes(target, restore);
  if (changes.empty()) {
    c.out << DevName(dev.id) << ": the configuration equals the backup\n";
  } else {
    c.out << DevName(dev.id) << " → " << file << ":\n";
    PrintChanges(c.out, changes);
  }
  if (!c.args.yes) {
    c.out << "Nothing was written; restore with --yes to write the backup to " << DevName(dev.id)
          << ".\n";
    return 0;
  }
  UdpDev& written = WriteController(c.Net().set(), dev, restore);
  Loaded check;
  LoadController(written, check);
  if (core::SameRecords(restore, check)) {
    c.out << DevName(dev.id) << ": written and read back; the configuration equals the backup\n";
    return 0;
  }
  c.err << "zavctl: " << DevName(dev.id)
        << ": the configuration read back after the write differs from the backup:\n";
  PrintChanges(c.err, Changes(restore, check));
  return 1;
}

}  // namespace zav::ctl
