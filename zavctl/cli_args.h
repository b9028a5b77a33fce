// The command line of zavctl: which command, its operands and its options.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zav::ctl {

// A command line that cannot be carried out as written: exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CliArgs {
  std::string command;  // list show backup diff restore report firmware; "" with --help/--version
  std::vector<std::string> operands;
  bool json = false;
  bool yes = false;
  bool all = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> output;    // -o FILE (a folder for report --all)
  std::optional<std::string> location;  // report --location TEXT
};

// Throws UsageError naming what is wrong. Options may stand before or after the operands;
// "--" ends the options.
CliArgs ParseArgs(const std::vector<std::string>& argv);

const char* UsageText();

}  // namespace zav::ctl
