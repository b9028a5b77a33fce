// The commands of zavctl. Each returns the exit status; errors it cannot handle itself (UErr,
// std::exception, Interrupted) pass to main, which prints them and closes the sessions.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "zavctl/cli_args.h"
#include "zavctl/station.h"

namespace zav::ctl {

class Context {
 public:
  Context(const CliArgs& a, std::ostream& o, std::ostream& e) : args(a), out(o), err(e) {}
  // The network end, opened on first use: comparing two files needs no socket.
  Station& Net();
  bool HasNet() const { return station_ != nullptr; }

  const CliArgs& args;
  std::ostream& out;
  std::ostream& err;

 private:
  std::unique_ptr<Station> station_;
};

int RunList(Context& c);
int RunShow(Context& c);
int RunBackup(Context& c);
int RunDiff(Context& c);
int RunRestore(Context& c);
int RunReport(Context& c);
int RunFirmware(Context& c);

// An operand that names a controller rather than a backup file: it looks like a controller's
// name or address and no such file exists.
bool NamesController(const std::string& operand);

// Dispatches on args.command.
int RunCommand(Context& c);

// Local date and time with the offset from UTC, "2026-12-10T05:12:33+0100".
std::string NowIso();

}  // namespace zav::ctl
