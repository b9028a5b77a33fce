// zavctl: the controllers' configuration from the command line. See zavctl(1).
#include <iostream>
#include <string>
#include <vector>

#include "link/uerr.h"
#include "zavctl/cli_args.h"
#include "zavctl/commands.h"

#ifndef ZAV_VERSION
#define ZAV_VERSION "0"
#endif

int main(int argc, char** argv) {
  using namespace zav::ctl;
  std::vector<std::string> words(argv + 1, argv + argc);
  CliArgs args;
  try {
    args = ParseArgs(words);
  } catch (const UsageError& e) {
    std::cerr << "zavctl: " << e.what() << "\n" << UsageText();
    return 2;
  }
  if (args.help) {
    std::cout << UsageText();
    return 0;
  }
  if (args.version) {
    std::cout << "zavctl " << ZAV_VERSION << "\n";
    return 0;
  }
  InstallInterruptHandlers();
  // diff reports trouble as 2, since 1 means "different".
  const int failure = args.command == "diff" ? 2 : 1;
  int status = failure;
  {
    Context c(args, std::cout, std::cerr);
    try {
      status = RunCommand(c);
    } catch (const UsageError& e) {
      std::cerr << "zavctl: " << e.what() << "\n";
      status = 2;
    } catch (const zav::UErr& e) {
      std::cerr << zav::UErrText(e);
    } catch (const Interrupted&) {
      std::cerr << "zavctl: interrupted\n";
      status = 130;
    } catch (const std::exception& e) {
      std::cerr << "zavctl: " << e.what() << "\n";
    }
    // Leaving the block closes every session the run opened.
  }
  std::cout.flush();
  return status;
}
