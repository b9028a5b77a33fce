// Many simulated controllers behind one socket: routes each datagram by the local address it
// was sent to, applies the fault switches to the answers, and runs the line-based control
// commands. The socket itself lives in main.cpp.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sim/sim_controller.h"

namespace zav::sim {

struct Faults {
  double drop = 0;              // fraction of answers lost
  bool duplicate = false;       // every answer sent twice
  int delayMs = 0;              // answers held back this long
  bool corruptCrc = false;      // plain answers carry a wrong checksum
  bool wrongSignature = false;  // signed answers carry a wrong signature
  // Countdowns of answers still sent (-1: off). At 0 the controller falls silent (cutoff), or
  // loses its session as on a restart (reboot), just after that answer went out; both switch
  // themselves off then. They let a test break a sequence of commands at an exact point.
  int silentAfter = -1;
  int rebootAfter = -1;
  bool Any() const {
    return drop > 0 || duplicate || delayMs > 0 || corruptCrc || wrongSignature ||
           silentAfter >= 0 || rebootAfter >= 0;
  }
};

struct Outgoing {
  std::uint32_t from = 0;  // the answering controller's address
  Peer to;
  Bytes bytes;
  std::uint64_t dueMs = 0;
};

class SimNetwork {
 public:
  SimController& AddController(std::unique_ptr<SimController> c);

  // One datagram that reached the socket: the sender, and the destination address of its IP
  // header (255.255.255.255 or a subnet broadcast reaches every controller).
  std::vector<Outgoing> Receive(const std::uint8_t* d, std::size_t len, const Peer& from,
                                std::uint32_t dst, std::uint64_t nowMs);

  // One control line; returns the answer text (one or more lines ending in '\n').
  std::string Control(const std::string& line, std::uint64_t nowMs);
  // The stored state: one DEV line per controller, its BUS entries and BLOCK images in hex.
  std::string Dump(std::uint64_t nowMs);

  // Finds a controller by printed name (K108_00202), hex id (0x...) or dotted address.
  SimController* Find(const std::string& sel);
  bool quitRequested = false;

  // The run's private directory (sim/run_dir.h), where "dump FILE" writes; -1: none, and
  // "dump FILE" is refused.
  int runDirFd = -1;

  // One decoded line per datagram in and out, when set.
  std::function<void(const std::string&)> log;

  std::vector<std::unique_ptr<SimController>> devices;
  Faults faults;                            // for every controller without its own
  std::map<DeviceId, Faults> deviceFaults;  // per controller
  std::mt19937 rng{12345};

 private:
  void Route(SimController& c, const std::uint8_t* d, std::size_t len, const Peer& from,
             std::uint64_t nowMs, std::vector<Outgoing>& out);
};

// Decodes one datagram for the log: letter, identifier, sequence, sizes, status mode.
std::string DescribeDatagram(const std::uint8_t* d, std::size_t len);

}  // namespace zav::sim
