// A few scripted controllers on the scripted network, enough to drive the main window: status,
// sessions, the device table, configuration blocks and the acknowledged commands. Every signed
// request is checked against the session key the controller handed out.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/wire.h"
#include "tests/support/scripted_endpoint.h"

namespace zav::testing {

struct BusEntry {
  DeviceId id;
  std::uint8_t state = 0;  // a1
  std::uint8_t a2 = 4;     // outputs
  std::uint8_t a4 = 4;     // inputs
  std::uint8_t a5 = 0;     // reader ports
};

// The "D" payload for a header byte and entries.
std::vector<std::uint8_t> DeviceTablePayload(std::uint8_t header,
                                             const std::vector<BusEntry>& entries);

struct SimCtl {
  DeviceId id = 0;
  std::string addr;
  std::uint8_t mode = 2;  // bits 1-0; bit 7 is added while a session is open
  bool silent = false;
  bool answersDiscovery = true;
  bool sessionOpen = false;
  bool silentSigned = false;         // status answers, signed commands get nothing
  std::map<int, bool> silentConfig;  // "C" of a passage index gets no answer
  std::map<int, int> shortConfig;    // "C" of a passage index is answered with so many bytes
  std::array<std::uint8_t, 16> key{};
  std::vector<BusEntry> bus;
  std::uint8_t header = 0x22;  // door controller, 2 passages
  // Signed requests taken, letter and payload, in order.
  std::vector<std::pair<char, std::vector<std::uint8_t>>> signedSeen;
  int statusPolls = 0;
  int timeStamps = 0;

  int Count(char letter) const;
};

class SimNet {
 public:
  explicit SimNet(ScriptedEndpoint& ep);
  SimCtl& Add(DeviceId id, const std::string& addr, std::uint8_t mode);
  // Both sides hold a session with key k, as if the tool had opened it.
  void GiveSession(SimCtl& ctl, std::uint8_t k);
  // A status reply from ctl that is already waiting at the socket (a late discovery answer).
  void QueueStatus(const SimCtl& ctl);

  std::vector<std::unique_ptr<SimCtl>> ctls;

 private:
  void OnSend(const Datagram& d);
  void Answer(SimCtl& ctl, const std::vector<std::uint8_t>& req);
  void ReplySigned(SimCtl& ctl, std::uint16_t seq, char letter,
                   const std::vector<std::uint8_t>& payload);
  std::vector<std::uint8_t> Status(const SimCtl& ctl) const;

  ScriptedEndpoint& ep_;
};

}  // namespace zav::testing
