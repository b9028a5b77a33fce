// zavsim in the controller namespace of a scripts/netns network, driven over its control
// socket, and the namespace helpers the test binaries running on that network share.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace zav::testnet {

// The variable's value, or "" when it is not set.
std::string Env(const char* name);

// Moves the calling thread into the named namespace of /run/netns; false when it cannot.
bool EnterNetns(const std::string& ns);

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
  // Starts zavsim in NET-ctl (ip netns exec) with the given extra options, writing its datagram
  // log unless withLog is false; false when it did not answer its control socket within five
  // seconds or ended before. An empty net starts it in a network namespace of its own with
  // nothing but a loopback that is down: for tests of the simulator itself, no network needed.
  // Its files are in a new private run directory (runDir()).
  bool Start(const std::string& net, const std::string& bin, const std::vector<std::string>& args,
             bool withLog = true);
  // Asks it to quit; true when it ended with status 0 (killed after two seconds otherwise, see
  // quitInTime()). Its datagram log is removed then, unless keepLog.
  bool Stop(bool keepLog = false);
  // One control line; the answer up to "ok", "END" or an error line.
  std::string Ask(const std::string& line);
  SimDump Dump();
  bool running() const { return pid_ > 0; }
  const std::string& runDir() const { return dir_; }
  std::string socketPath() const { return dir_ + "/control.sock"; }
  // How the last Stop() found it: whether it quit by itself, and its wait status.
  bool quitInTime() const { return quitInTime_; }
  int status() const { return status_; }
  ~SimProcess();

 private:
  std::string dir_, log_;
  pid_t pid_ = -1;
  bool quitInTime_ = false;
  int status_ = 0;
};

}  // namespace zav::testnet
