// One zavsim process in the controller namespace of a scripts/netns network, driven over its
// control socket, and the parts of its dump the fault tests compare.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace zav::faults {

struct SimDump {
  // "NAME kind index" -> record bytes in hex
  std::map<std::string, std::string> blocks;
  // "NAME" -> entries "position id attr" in table order
  std::map<std::string, std::vector<std::string>> bus;
  // "NAME" -> key=value fields of the DEV line
  std::map<std::string, std::map<std::string, std::string>> dev;
};

class SimProcess {
 public:
  // Starts zavsim in NET-ctl (ip netns exec) with the given extra options; false when it did
  // not answer its control socket within five seconds.
  bool Start(const std::string& net, const std::string& bin, const std::vector<std::string>& args);
  // Asks it to quit; true when it ended with status 0 (killed after two seconds otherwise).
  // Its datagram log is removed then, unless keepLog.
  bool Stop(bool keepLog = false);
  // One control line; the answer up to "ok", "END" or an error line.
  std::string Ask(const std::string& line);
  SimDump Dump();
  bool running() const { return pid_ > 0; }
  ~SimProcess();

 private:
  std::string sock_, log_;
  pid_t pid_ = -1;
};

}  // namespace zav::faults
