#include "zavctl/commands.h"

namespace zav::ctl {

Station& Context::Net() {
  if (!station_) station_ = std::make_unique<Station>();
  return *station_;
}

int RunCommand(Context& c) {
  const std::string& cmd = c.args.command;
  if (cmd == "list") return RunList(c);
  if (cmd == "show") return RunShow(c);
  if (cmd == "backup") return RunBackup(c);
  if (cmd == "diff") return RunDiff(c);
  if (cmd == "restore") return RunRestore(c);
  if (cmd == "report") return RunReport(c);
  if (cmd == "firmware") return RunFirmware(c);
  throw UsageError("unknown command " + cmd);
}

}  // namespace zav::ctl
